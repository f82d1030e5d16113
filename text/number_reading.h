#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace koron {

// Reads the number a text begins with (after leading blanks: optional sign, digits with an
// optional point and fraction, optional exponent), rounded to the nearest integer with halves
// going to the even neighbour. Reading stops at the first character that does not fit; a text
// that does not begin with a number gives 0. The point is the decimal separator whatever the
// locale. A value outside the signed 32-bit range gives std::nullopt.
std::optional<std::int32_t> ReadNumber(std::u16string_view text);

// The count typed into a count list: ReadNumber, with an out-of-range value counting as 0.
std::int32_t ReadCount(std::u16string_view text);

}  // namespace koron
