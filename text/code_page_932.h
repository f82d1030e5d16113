#pragma once

namespace koron {

// ICU's name for Microsoft's code page 932 (its aliases windows-31j and cp932 lead here too).
// Reading and writing use the same table, so a text read from a list file encodes back to the
// bytes it came from.
inline constexpr char kCp932ConverterName[] = "ibm-943_P15A-2003";

// ICU's table follows IBM in swapping three control characters (0x1A, 0x1C, 0x7F); Microsoft's
// maps them to themselves like every other byte below 0x80. None of them can be part of a
// double-byte character, so readers and writers pass them through unchanged.
constexpr bool IsSwappedControl(unsigned c) { return c == 0x1A || c == 0x1C || c == 0x7F; }

// A lead byte, followed by any byte in the trail range, makes one double-byte character (or
// one bad sequence when the pair is unassigned); before any other byte it is a bad byte alone.
// The lead range lies inside the trail range.
constexpr bool IsCp932LeadByte(unsigned c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}
constexpr bool IsCp932TrailByte(unsigned c) {
  return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

}  // namespace koron
