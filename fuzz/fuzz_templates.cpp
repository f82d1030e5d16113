// Template listing and lookup on arbitrary list file bytes, read from memory. Each result is
// checked against a plain reader written apart from the line reader: it decides the encoding
// and the line ends from the first 64 KiB at once, splits the whole input into lines and converts
// each line whole (a UTF-16 input is converted whole, then split). Readers that take the bytes in
// tiny chunks must agree too.
//
// An input that begins with 0xFF 0xFF gets a filler of about 64 KiB in front of the rest, so that
// the rest meets the edge of the first block; the third byte says how, and whether in UTF-16.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/plain_file.h"
#include "templates/template_list.h"
#include "text/line_reader.h"

namespace {

using Lines = plain::Lines;

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
    const std::size_t length = plain::kBlock - 4 + data[2] % 8;
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

  const plain::File model = plain::Read(bytes);
  for (std::size_t chunkSize : {padded.empty() ? koron::LineReader::kDefaultChunkSize : 0, chunk}) {
    if (chunkSize == 0) continue;  // padded inputs are long: only what the edge changes
    koron::LineReader reader(chunkSize);
    Check(reader.OpenBytes(bytes));
    Check(reader.IsUtf8() == model.utf8 && reader.IsUtf16() == model.utf16 &&
          reader.LfEndsLines() == model.lf);
    Lines lines;
    std::u16string line;
    while (reader.NextLine(line)) lines.push_back(line);
    Check(!reader.failed() && Same(lines, model.lines));
  }

  koron::LineReader reader;
  koron::LineReader small(chunk);
  Check(reader.OpenBytes(bytes) && small.OpenBytes(bytes));
  const std::vector<std::u16string> names = koron::ListTemplateNames(reader);
  Check(Same(names, PlainNames(model.lines)));
  Check(Same(koron::ListTemplateNames(small), names));
  if (!padded.empty()) {
    koron::LineReader one(chunk);
    Check(one.OpenBytes(bytes));
    const std::u16string sought = names.empty() ? u"a" : names.back();
    const std::u16string body = PlainBody(model.lines, sought);
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
    Check(Same(body, PlainBody(model.lines, sought[i])));
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
