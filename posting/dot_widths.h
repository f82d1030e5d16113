#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

namespace koron {

// Advances in 1/64 of a dot, the unit fonts are measured in, so that sums are exact.
inline constexpr std::int32_t kAdvanceUnitsPerDot = 64;

// The advance of each character in the text-art font, asked of `measure` once per code point and
// kept for every later line. A negative answer counts as 0; a code point beyond U+10FFFF is
// measured as U+FFFD. Not thread-safe: one cache belongs to one thread at a time.
class AdvanceCache {
 public:
  using Measure = std::function<std::int32_t(char32_t)>;

  explicit AdvanceCache(Measure measure);

  std::int32_t Advance(char32_t c) {
    if (c < 0x10000 && !bmp_.empty() && bmp_[c] >= 0) return bmp_[c];
    return AdvanceSlow(c);
  }

  // How many code points have been measured so far.
  std::size_t MeasuredCount() const { return measured_; }

 private:
  std::int32_t AdvanceSlow(char32_t c);
  std::int32_t Measured(char32_t c);

  Measure measure_;
  std::vector<std::int32_t> bmp_;                          // by code unit; negative until measured
  std::vector<std::pair<char32_t, std::int32_t>> beyond_;  // supplementary planes, sorted
  std::size_t measured_ = 0;
};

// The lines of a text as boards and the picture export take them: a line ends at CR LF, at CR
// or at LF; a break at the very end starts no further line; the empty text has no lines.
std::vector<std::u16string_view> SplitLines(std::u16string_view text);

// The width in dots of each line of SplitLines(text): the sum of the advances of the code points
// of its NFC (LineComposer), rounded up to a whole dot. A mark left apart adds nothing; a lone
// surrogate counts as U+FFFD.
std::vector<std::uint32_t> LineWidths(std::u16string_view text, AdvanceCache& advances);

}  // namespace koron
