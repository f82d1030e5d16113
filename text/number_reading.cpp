#include "text/number_reading.h"

#include <cstddef>

namespace koron {
namespace {

// Leading blanks are spaces and tabs only; anything else, a full-width space included, ends the
// search for a number.
bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

// Only ASCII digits count; full-width digits are not read as numbers.
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// Beyond this magnitude an exponent only decides between "far too large" and "far too small", so
// it is clamped; that keeps every position below inside std::int64_t for any input length.
constexpr std::int64_t kExponentClamp = 1'000'000'000'000'000;

// The digits of a number, before and after its point, seen as one sequence; positions past either
// end read as 0.
class DigitSequence {
 public:
  DigitSequence(std::u16string_view whole, std::u16string_view fraction)
      : whole_(whole), fraction_(fraction) {}

  std::int64_t size() const { return Size(whole_) + Size(fraction_); }

  int At(std::int64_t position) const {
    if (position < 0 || position >= size()) return 0;
    if (position < Size(whole_)) return whole_[static_cast<std::size_t>(position)] - u'0';
    return fraction_[static_cast<std::size_t>(position - Size(whole_))] - u'0';
  }

 private:
  static std::int64_t Size(std::u16string_view digits) {
    return static_cast<std::int64_t>(digits.size());
  }

  std::u16string_view whole_;
  std::u16string_view fraction_;
};

std::u16string_view TakeDigits(std::u16string_view text, std::size_t& position) {
  const std::size_t start = position;
  while (position < text.size() && IsDigit(text[position])) ++position;
  return text.substr(start, position - start);
}

}  // namespace

// The value is rounded straight from its decimal digits, without going through a floating-point
// type, so long digit strings and halves round exactly.
std::optional<std::int32_t> ReadNumber(std::u16string_view text) {
  std::size_t position = 0;
  while (position < text.size() && IsBlank(text[position])) ++position;

  bool negative = false;
  if (position < text.size() && (text[position] == u'-' || text[position] == u'+')) {
    negative = text[position] == u'-';
    ++position;
  }

  const std::u16string_view whole = TakeDigits(text, position);
  std::u16string_view fraction;
  if (position < text.size() && text[position] == u'.') {
    std::size_t afterPoint = position + 1;
    fraction = TakeDigits(text, afterPoint);
    // A lone point with no digit on either side is not part of a number.
    if (!whole.empty() || !fraction.empty()) position = afterPoint;
  }
  if (whole.empty() && fraction.empty()) return 0;

  // An exponent counts only when digits follow its letter (and sign); "1e" reads as 1.
  std::int64_t exponent = 0;
  if (position < text.size() && (text[position] == u'e' || text[position] == u'E')) {
    std::size_t cursor = position + 1;
    bool negativeExponent = false;
    if (cursor < text.size() && (text[cursor] == u'-' || text[cursor] == u'+')) {
      negativeExponent = text[cursor] == u'-';
      ++cursor;
    }
    const std::u16string_view exponentDigits = TakeDigits(text, cursor);
    for (char16_t c : exponentDigits) {
      exponent = exponent * 10 + (c - u'0');
      if (exponent > kExponentClamp) {
        exponent = kExponentClamp;
        break;
      }
    }
    if (negativeExponent) exponent = -exponent;
  }

  const DigitSequence digits(whole, fraction);
  std::int64_t lead = 0;  // first non-zero digit
  while (lead < digits.size() && digits.At(lead) == 0) ++lead;
  if (lead == digits.size()) return 0;
  std::int64_t last = digits.size() - 1;  // last non-zero digit
  while (digits.At(last) == 0) --last;

  // The point stands before this position of the digit sequence once the exponent is applied.
  const std::int64_t point = static_cast<std::int64_t>(whole.size()) + exponent;
  // Eleven or more whole digits are at least 10^10, far outside the 32-bit range.
  if (point - lead > 10) return std::nullopt;

  std::uint64_t magnitude = 0;
  for (std::int64_t i = lead; i < point; ++i) {
    magnitude = magnitude * 10 + static_cast<std::uint64_t>(digits.At(i));
  }

  // Round to nearest, halves to the even neighbour.
  const int firstDropped = digits.At(point);
  const bool moreDropped = last > point;
  if (firstDropped > 5 || (firstDropped == 5 && (moreDropped || magnitude % 2 == 1))) {
    ++magnitude;
  }

  if (negative) {
    if (magnitude > 2147483648u) return std::nullopt;
    return static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude));
  }
  if (magnitude > 2147483647u) return std::nullopt;
  return static_cast<std::int32_t>(magnitude);
}

std::int32_t ReadCount(std::u16string_view text) { return ReadNumber(text).value_or(0); }

}  // namespace koron
