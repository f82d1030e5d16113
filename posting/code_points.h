#pragma once

#include <cstddef>
#include <string_view>

namespace koron {

constexpr bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// The code point that starts at text[i], with i moved past it: a surrogate pair gives the one
// code point it stands for, a lone surrogate its own code unit.
inline char32_t NextCodePoint(std::u16string_view text, std::size_t& i) {
  const char32_t c = text[i++];
  if (c >= 0xD800 && c <= 0xDBFF && i < text.size() && text[i] >= 0xDC00 && text[i] <= 0xDFFF) {
    return 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(text[i++]) - 0xDC00);
  }
  return c;
}

}  // namespace koron
