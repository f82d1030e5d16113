#include "posting/dot_widths.h"

#include <algorithm>
#include <limits>

#include "posting/code_points.h"
#include "posting/line_composer.h"

namespace koron {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Calls `onLine(begin, end)` for each line of SplitLines, by code unit offsets.
template <typename OnLine>
void ForEachLine(std::u16string_view text, OnLine onLine) {
  const std::size_t n = text.size();
  std::size_t begin = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t c = text[i];
    if (c != u'\r' && c != u'\n') continue;
    onLine(begin, i);
    if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n') ++i;
    begin = i + 1;
  }
  if (begin < n) onLine(begin, n);
}

}  // namespace

AdvanceCache::AdvanceCache(Measure measure) : measure_(std::move(measure)) {}

std::int32_t AdvanceCache::Measured(char32_t c) {
  ++measured_;
  const std::int32_t advance = measure_ ? measure_(c) : 0;
  return std::max<std::int32_t>(advance, 0);
}

std::int32_t AdvanceCache::AdvanceSlow(char32_t c) {
  if (c > 0x10FFFF) c = kReplacement;
  if (c < 0x10000) {
    if (bmp_.empty()) bmp_.assign(0x10000, -1);
    if (bmp_[c] < 0) bmp_[c] = Measured(c);
    return bmp_[c];
  }
  auto found = std::lower_bound(beyond_.begin(), beyond_.end(), c,
                                [](const auto& entry, char32_t key) { return entry.first < key; });
  if (found == beyond_.end() || found->first != c) {
    found = beyond_.insert(found, {c, Measured(c)});
  }
  return found->second;
}

std::vector<std::u16string_view> SplitLines(std::u16string_view text) {
  std::vector<std::u16string_view> lines;
  ForEachLine(text, [&](std::size_t begin, std::size_t end) {
    lines.push_back(text.substr(begin, end - begin));
  });
  return lines;
}

std::vector<std::uint32_t> LineWidths(std::u16string_view text, AdvanceCache& advances) {
  std::vector<std::uint32_t> widths;
  LineComposer composer;
  ForEachLine(text, [&](std::size_t begin, std::size_t end) {
    const std::u16string_view line = composer.Compose(text.substr(begin, end - begin));
    const bool marks = composer.MayHoldMarks();
    std::int64_t sum = 0;
    for (std::size_t i = 0; i < line.size();) {
      const char32_t c = NextCodePoint(line, i);
      if (marks && IsCombiningMark(c)) continue;
      sum += advances.Advance(IsSurrogate(c) ? kReplacement : c);
    }
    const std::int64_t dots = (sum + kAdvanceUnitsPerDot - 1) / kAdvanceUnitsPerDot;
    widths.push_back(static_cast<std::uint32_t>(
        std::min<std::int64_t>(dots, std::numeric_limits<std::uint32_t>::max())));
  });
  return widths;
}

}  // namespace koron
