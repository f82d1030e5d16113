// A plain reader of text files for the fuzz targets, written apart from the line reader: it
// decides the encoding and the line ends from the first 64 KiB at once, splits the whole input
// into lines and converts each line whole (a UTF-16 input is converted whole, then split).
#pragma once

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ucnv_err.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "text/code_page_932.h"
#include "text/icu_converter.h"

namespace plain {

using Lines = std::vector<std::u16string>;

constexpr std::size_t kBlock = 64 * 1024;

// Whether some code point in [low, high] may be encoded: not a surrogate, not past U+10FFFF.
inline bool AnyValid(std::uint32_t low, std::uint32_t high) {
  high = std::min<std::uint32_t>(high, 0x10FFFF);
  if (low > high) return false;
  return low < 0xD800 || high > 0xDFFF;
}

// Strict UTF-8 by code point values: each sequence, or the part of it before the block ends, must
// be able to stand for a code point that needs its length.
inline bool IsJapaneseUtf8(std::string_view block, bool mayBeCut) {
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

inline void WriteReplacement(const void*, UConverterToUnicodeArgs* args, const char*, int32_t,
                             UConverterCallbackReason reason, UErrorCode* error) {
  if (reason > UCNV_IRREGULAR) return;
  static const UChar kReplacement = 0xFFFD;
  *error = U_ZERO_ERROR;
  ucnv_cbToUWriteUChars(args, &kReplacement, 1, 0, error);
}

// Held for the whole run; the holder closes it at exit, as everywhere else.
inline koron::Converter OpenReplacingConverter(const char* name) {
  UErrorCode error = U_ZERO_ERROR;
  koron::Converter converter = koron::OpenConverter(name, &error);
  if (U_FAILURE(error)) __builtin_trap();
  ucnv_setToUCallBack(converter.get(), WriteReplacement, nullptr, nullptr, nullptr, &error);
  if (U_FAILURE(error)) __builtin_trap();
  return converter;
}

inline std::u16string ConvertWhole(UConverter* converter, std::string_view bytes) {
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

struct File {
  bool utf8 = false;
  bool utf16 = false;
  bool lf = false;
  bool nul = false;  // the file holds a NUL, which no text does
  Lines lines;
};

// Where the lines of `text` begin and end: at CR LF, a CR alone, and a LF alone when `lf`.
template <typename Char>
inline std::vector<std::basic_string_view<Char>> SplitLines(std::basic_string_view<Char> text,
                                                            bool lf) {
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
inline File ReadUtf16(std::string_view bytes) {
  static const koron::Converter littleEndian = OpenReplacingConverter("UTF-16LE");
  static const koron::Converter bigEndian = OpenReplacingConverter("UTF-16BE");
  File file;
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
  file.nul = text.find(u'\0') != text.npos;  // a NUL character, not the zero bytes of UTF-16
  for (std::u16string_view line : SplitLines(std::u16string_view(text), file.lf)) {
    file.lines.emplace_back(line);
  }
  return file;
}

inline File Read(std::string_view bytes) {
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
    return ReadUtf16(bytes);
  }
  File file;
  file.nul = bytes.find('\0') != bytes.npos;
  const bool mark = bytes.substr(0, 3) == "\xEF\xBB\xBF";
  if (mark) bytes.remove_prefix(3);
  const std::string_view block = bytes.substr(0, kBlock);
  file.utf8 = mark || IsJapaneseUtf8(block, block.size() == kBlock);
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

}  // namespace plain
