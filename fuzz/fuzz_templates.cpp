// Template listing and lookup on arbitrary list file bytes, read from memory. Each result is
// checked against a plain reader written apart from the line reader: it decides the encoding
// and the line ends from the first 64 KiB at once, splits the whole input into lines and converts
// each line whole (a UTF-16 input is converted whole, then split). Readers that take the bytes in
// tiny chunks must agree too.
//
// An input that begins with 0xFF 0xFF gets a filler of about 64 KiB in front of the rest, so that
// the rest meets the edge of the first block; the third byte says how, and whether in UTF-16.

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ucnv_err.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "templates/template_list.h"
#include "text/code_page_932.h"
#include "text/icu_converter.h"
#include "text/line_reader.h"

namespace {

using Lines = std::vector<std::u16string>;

constexpr std::size_t kBlock = 64 * 1024;

// --- The plain reader ---

// Whether some code point in [low, high] may be encoded: not a surrogate, not past U+10FFFF.
bool AnyValid(std::uint32_t low, std::uint32_t high) {
  high = std::min<std::uint32_t>(high, 0x10FFFF);
  if (low > high) return false;
  return low < 0xD800 || high > 0xDFFF;
}

// Strict UTF-8 by code point values: each sequence, or the part of it before the block ends, must
// be able to stand for a code point that needs its length.
bool PlainIsJapaneseUtf8(std::string_view block, bool mayBeCut) {
  bool longSequence = false;
  for (std::size_t i = 0; i < block.size();) {
    const auto lead = static_cast<unsigned char>(block[i]);
    std::size_t length = 0;
    std::uint32_t value = 0;
    std::uint32_t smallest = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2, value = lead & 0x1F, smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3, value = lead & 0x0F, smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4, value = lead & 0x07, smallest = 0x10000;
    } else {
      return false;
    }
    std::size_t have = 1;
    for (; have < length && i + have < block.size(); ++have) {
      const auto next = static_cast<unsigned char>(block[i + have]);
      if ((next & 0xC0) != 0x80) return false;
      value = (value << 6) | (next & 0x3F);
    }
    // The code points the sequence may still become.
    const std::size_t missing = length - have;
    const std::uint32_t low = value << (6 * missing);
    const std::uint32_t high = low | ((1u << (6 * missing)) - 1);
    if (!AnyValid(std::max(low, smallest), high)) return false;
    if (missing > 0) return mayBeCut && longSequence;  // only at the block's end; not counted
    longSequence = longSequence || length >= 3;
    i += length;
  }
  return longSequence;
}

void WriteReplacement(const void*, UConverterToUnicodeArgs* args, const char*, int32_t,
                      UConverterCallbackReason reason, UErrorCode* error) {
  if (reason > UCNV_IRREGULAR) return;
  static const UChar kReplacement = 0xFFFD;
  *error = U_ZERO_ERROR;
  ucnv_cbToUWriteUChars(args, &kReplacement, 1, 0, error);
}

// Held for the whole run; the holder closes it at exit, as everywhere else.
koron::Converter OpenReplacingConverter(const char* name) {
  UErrorCode error = U_ZERO_ERROR;
  koron::Converter converter = koron::OpenConverter(name, &error);
  if (U_FAILURE(error)) __builtin_trap();
  ucnv_setToUCallBack(converter.get(), WriteReplacement, nullptr, nullptr, nullptr, &error);
  if (U_FAILURE(error)) __builtin_trap();
  return converter;
}

std::u16string ConvertWhole(UConverter* converter, std::string_view bytes) {
  static std::vector<UChar> room;
  if (room.size() < bytes.size() * 2 + 2) room.resize(bytes.size() * 2 + 2);
  UChar* target = room.data();
  const char* source = bytes.data();
  UErrorCode error = U_ZERO_ERROR;
  ucnv_resetToUnicode(converter);
  ucnv_toUnicode(converter, &target, room.data() + room.size(), &source,
                 bytes.data() + bytes.size(), nullptr, true, &error);
  if (U_FAILURE(error)) __builtin_trap();
  return std::u16string(reinterpret_cast<const char16_t*>(room.data()),
                        static_cast<std::size_t>(target - room.data()));
}

struct PlainFile {
  bool utf8 = false;
  bool utf16 = false;
  bool lf = false;
  Lines lines;
};

// Where the lines of `text` begin and end: at CR LF, a CR alone, and a LF alone when `lf`.
template <typename Char>
std::vector<std::basic_string_view<Char>> SplitLines(std::basic_string_view<Char> text, bool lf) {
  std::vector<std::basic_string_view<Char>> raw;
  const auto npos = text.npos;
  std::size_t start = 0;
  std::size_t cr = text.find(Char('\r'));
  std::size_t lfAt = lf ? text.find(Char('\n')) : npos;
  while (start < text.size()) {
    if (cr < start) cr = text.find(Char('\r'), start);
    if (lfAt < start) lfAt = text.find(Char('\n'), start);
    const std::size_t i = std::min(cr, lfAt);
    if (i == npos) {
      raw.push_back(text.substr(start));
      break;
    }
    raw.push_back(text.substr(start, i - start));
    start =
        i + 1 < text.size() && text[i] == Char('\r') && text[i + 1] == Char('\n') ? i + 2 : i + 1;
  }
  return raw;
}

// After a UTF-16 mark: the whole text through ICU, the line ends from the first block of its
// UTF-8.
PlainFile PlainReadUtf16(std::string_view bytes) {
  static const koron::Converter littleEndian = OpenReplacingConverter("UTF-16LE");
  static const koron::Converter bigEndian = OpenReplacingConverter("UTF-16BE");
  PlainFile file;
  file.utf8 = file.utf16 = true;
  const std::u16string text =
      ConvertWhole((bytes[0] == '\xFE' ? bigEndian : littleEndian).get(), bytes.substr(2));
  std::string utf8(text.size() * 3, '\0');
  int32_t length = 0;
  UErrorCode error = U_ZERO_ERROR;
  u_strToUTF8(utf8.data(), static_cast<int32_t>(utf8.size()), &length,
              reinterpret_cast<const UChar*>(text.data()), static_cast<int32_t>(text.size()),
              &error);
  if (U_FAILURE(error)) __builtin_trap();
  const std::string_view block =
      std::string_view(utf8.data(), static_cast<std::size_t>(length)).substr(0, kBlock);
  file.lf = block.find('\n') != block.npos && block.find('\r') == block.npos;
  for (std::u16string_view line : SplitLines(std::u16string_view(text), file.lf)) {
    file.lines.emplace_back(line);
  }
  return file;
}

PlainFile PlainRead(std::string_view bytes) {
  static const koron::Converter utf8Converter = OpenReplacingConverter("UTF-8");
  static const koron::Converter cp932Converter = OpenReplacingConverter(koron::kCp932ConverterName);
  static UConverter* const utf8 = utf8Converter.get();
  static UConverter* const cp932 = cp932Converter.get();
  // ICU's table moves three control characters around; they stand for themselves.
  static const std::u16string swapped = [] {
    std::u16string back(128, u'\0');
    for (char c : {'\x1A', '\x1C', '\x7F'}) {
      const std::u16string out = ConvertWhole(cp932, std::string_view(&c, 1));
      if (out.size() != 1 || out[0] >= 128) __builtin_trap();
      back[out[0]] = static_cast<char16_t>(c);
    }
    return back;
  }();

  if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF") {
    return PlainReadUtf16(bytes);
  }
  PlainFile file;
  const bool mark = bytes.substr(0, 3) == "\xEF\xBB\xBF";
  if (mark) bytes.remove_prefix(3);
  const std::string_view block = bytes.substr(0, kBlock);
  file.utf8 = mark || PlainIsJapaneseUtf8(block, block.size() == kBlock);
  file.lf = block.find('\n') != block.npos && block.find('\r') == block.npos;

  for (std::string_view line : SplitLines(bytes, file.lf)) {
    std::u16string text = ConvertWhole(file.utf8 ? utf8 : cp932, line);
    if (!file.utf8) {
      for (char16_t& c : text) {
        if (c < 128 && swapped[c] != 0) c = swapped[c];
      }
    }
    file.lines.push_back(std::move(text));
  }
  return file;
}

// --- Plain listing and lookup on the converted lines ---

bool IsHeader(const std::u16string& line) {
  return line.size() >= 2 && line.front() == u'[' && line.back() == u']';
}

std::u16string NameOf(const std::u16string& line) { return line.substr(1, line.size() - 2); }

std::vector<std::u16string> PlainNames(const Lines& lines) {
  std::vector<std::u16string> names;
  for (const std::u16string& line : lines) {
    if (IsHeader(line) && line.size() - 2 <= koron::kMaxTemplateNameLength) {
      names.push_back(NameOf(line));
    }
  }
  return names;
}

std::u16string PlainBody(const Lines& lines, const std::u16string& name) {
  if (name.empty()) return {};
  std::size_t i = 0;
  while (i < lines.size()) {
    const std::u16string& line = lines[i++];
    if (!IsHeader(line) || NameOf(line) != name) continue;
    std::u16string body;
    while (i < lines.size() && !IsHeader(lines[i])) body += lines[i++] + u"\r\n";
    if (!body.empty()) return body;
    // The header that ended the entry is the next candidate.
  }
  return {};
}

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

// Compares by memory: a character loop is slow in an instrumented build.
bool Same(const std::u16string& a, const std::u16string& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof a[0]) == 0;
}

bool Same(const Lines& a, const Lines& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (!Same(a[i], b[i])) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::string padded;
  if (size >= 3 && data[0] == 0xFF && data[1] == 0xFF) {
    // A filler that ends a few bytes before or after the block's edge, in ASCII or UTF-8, or
    // in UTF-16 that turns into the same first block (then the rest is UTF-16 too).
    const std::size_t length = kBlock - 4 + data[2] % 8;
    if (data[2] & 32) {
      std::u16string filler(length, u'a');
      if (data[2] & 8) filler.replace(0, 3, u"\u3042");
      if (data[2] & 16) filler[0] = u'\n';
      const bool big = data[2] & 64;
      padded = big ? "\xFE\xFF" : "\xFF\xFE";
      for (char16_t unit : filler) {
        padded += static_cast<char>(big ? unit >> 8 : unit & 0xFF);
        padded += static_cast<char>(big ? unit & 0xFF : unit >> 8);
      }
    } else {
      padded.assign(length, 'a');
      if (data[2] & 8) padded.replace(0, 3, "\xE3\x81\x82");
      if (data[2] & 16) padded[0] = '\n';
    }
    padded.append(bytes.substr(3));
    bytes = padded;
  }
  // Tiny chunks meet every boundary in a short input; the padded ones get a few per chunk.
  const std::size_t chunk = padded.empty() ? 1 + size % 7 : 1000 + size % 7;

  const PlainFile plain = PlainRead(bytes);
  for (std::size_t chunkSize : {padded.empty() ? koron::LineReader::kDefaultChunkSize : 0, chunk}) {
    if (chunkSize == 0) continue;  // padded inputs are long: only what the edge changes
    koron::LineReader reader(chunkSize);
    Check(reader.OpenBytes(bytes));
    Check(reader.IsUtf8() == plain.utf8 && reader.IsUtf16() == plain.utf16 &&
          reader.LfEndsLines() == plain.lf);
    Lines lines;
    std::u16string line;
    while (reader.NextLine(line)) lines.push_back(line);
    Check(!reader.failed() && Same(lines, plain.lines));
  }

  koron::LineReader reader;
  koron::LineReader small(chunk);
  Check(reader.OpenBytes(bytes) && small.OpenBytes(bytes));
  const std::vector<std::u16string> names = koron::ListTemplateNames(reader);
  Check(Same(names, PlainNames(plain.lines)));
  Check(Same(koron::ListTemplateNames(small), names));
  if (!padded.empty()) {
    koron::LineReader one(chunk);
    Check(one.OpenBytes(bytes));
    const std::u16string sought = names.empty() ? u"a" : names.back();
    const std::u16string body = PlainBody(plain.lines, sought);
    Check(Same(koron::FindTemplateBody(one, sought), body));
    // Lines longer than the pieces are handed over part by part, across chunk boundaries.
    koron::LineReader pieces(chunk);
    Check(pieces.OpenBytes(bytes));
    std::u16string streamed;
    koron::StreamTemplateBody(
        pieces, sought,
        [&](std::u16string_view piece) {
          streamed += piece;
          return true;
        },
        1 + data[2] % 4 * 700);
    Check(!pieces.failed() && Same(streamed, body));
    return 0;
  }

  // A few listed names, one never listed and the empty one; the tiny chunks for the first only.
  std::vector<std::u16string> sought(names.begin(),
                                     names.begin() + std::min<std::size_t>(names.size(), 4));
  sought.push_back(u"\uFFFF");
  sought.push_back(u"");
  for (std::size_t i = 0; i < sought.size(); ++i) {
    koron::LineReader one;
    Check(one.OpenBytes(bytes));
    const std::u16string body = koron::FindTemplateBody(one, sought[i]);
    Check(Same(body, PlainBody(plain.lines, sought[i])));
    Check(body.empty() || body.compare(body.size() - 2, 2, u"\r\n") == 0);
    if (i == 0) {
      koron::LineReader tiny(chunk);
      Check(tiny.OpenBytes(bytes) && Same(koron::FindTemplateBody(tiny, sought[i]), body));
      // Streamed in pieces of a few bytes, which cut characters and sequences anywhere.
      koron::LineReader pieces(chunk);
      Check(pieces.OpenBytes(bytes));
      std::u16string streamed;
      const koron::BodyLookup found = koron::StreamTemplateBody(
          pieces, sought[i],
          [&](std::u16string_view piece) {
            streamed += piece;
            return !piece.empty();
          },
          1 + size % 5);
      Check(!pieces.failed() && Same(streamed, body) &&
            (found == koron::BodyLookup::kFound) == !body.empty());
    }
    // Within limits around the body's length, and small ones that cut long lines short.
    const std::uint64_t length = body.size();
    for (std::uint64_t limit : {length, length - 1, std::uint64_t{size % 64}}) {
      koron::LineReader within(i == 0 ? chunk : koron::LineReader::kDefaultChunkSize);
      Check(within.OpenBytes(bytes));
      const std::optional<std::u16string> found =
          koron::FindTemplateBodyWithin(within, sought[i], limit);
      Check(length <= limit ? found && Same(*found, body) : !found.has_value());
    }
  }
  return 0;
}
