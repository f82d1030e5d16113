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

}  // namespace koron
