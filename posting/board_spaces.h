#pragma once

#include <cstdint>

namespace koron {

// The advances, in dots at 16 px, that the board font gives the blanks text art lines pictures
// up with: U+0020, U+3000 and the thin spaces U+2002 to U+200A that have a width of their own.
// Zero for every other character. This is the one table of them: widths, pictures and the
// spacing that survives a board all read it.
constexpr std::uint32_t BoardSpaceDots(char32_t c) {
  switch (c) {
    case 0x0020:
      return 5;
    case 0x3000:
      return 11;
    case 0x2002:
      return 8;
    case 0x2003:
      return 16;
    case 0x2004:
      return 5;
    case 0x2005:
      return 4;
    case 0x2006:
      return 3;
    case 0x2007:
      return 10;
    case 0x2009:
      return 2;
    case 0x200A:
      return 1;
    default:
      return 0;
  }
}

// Whether BoardSpaceDots(c) is not zero, in fewer steps.
constexpr bool IsBoardSpace(char32_t c) {
  return c == 0x0020 || c == 0x3000 || (c >= 0x2002 && c <= 0x200A && c != 0x2008);
}

// The thin spaces of that table: the ones Shift_JIS lacks, which reach a board as references.
constexpr bool IsThinSpace(char32_t c) {
  return c != 0x0020 && c != 0x3000 && BoardSpaceDots(c) != 0;
}

}  // namespace koron
