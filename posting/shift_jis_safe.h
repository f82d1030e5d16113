#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace koron {

// The bytes a post may hold on most Shift_JIS text boards.
inline constexpr std::uint64_t kPostByteBudget = 4096;

// A text as a Shift_JIS text board keeps it: every character that code page 932 cannot encode
// (by its round-trip mappings only) is written as a decimal reference "&#N;" of its code point.
// A character outside the BMP is one reference; a lone surrogate becomes "&#65533;". U+001A,
// U+001C and U+007F encode as the bytes 0x1A, 0x1C and 0x7F, as the list reader reads them.
struct ShiftJisSafeText {
  std::u16string text;
  // Length of `text` in code page 932: two bytes for CR LF, one for each character of a reference.
  std::uint64_t bytes = 0;
};

ShiftJisSafeText MakeShiftJisSafe(std::u16string_view text);

// MakeShiftJisSafe(text).bytes without building the text: what a byte-count readout needs.
std::uint64_t ShiftJisSafeByteCount(std::u16string_view text);

// The bytes one code point takes in MakeShiftJisSafe(text).bytes: 1 or 2 for a character code
// page 932 has, the length of its reference (4 or more) for one it lacks; a lone surrogate takes
// that of "&#65533;". So a result above 2 tells that the character is not in code page 932.
// ShiftJisSafeBytes of every code unit below U+10000, for a loop that asks it of each
// character.
const std::uint8_t* ShiftJisSafeBmpBytes();
std::uint8_t ShiftJisSafeBytes(char32_t c);

// The code page 932 bytes of MakeShiftJisSafe(text).text.
std::string EncodeShiftJisSafe(std::u16string_view text);

// The code page 932 bytes of a text, with nothing replaced. When a character has no form, `ok`
// is false, `bytes` is empty, and `unmapped` (its code point; a lone surrogate is named by its
// own code unit, 0xD800 to 0xDFFF) and `line` (1-based, lines ending at CR LF, CR or LF) say
// which and where.
struct Cp932Encoding {
  bool ok = true;
  std::string bytes;
  char32_t unmapped = 0;
  std::size_t line = 0;
};

Cp932Encoding EncodeCp932(std::u16string_view text);

}  // namespace koron
