#include "posting/spacing_fix.h"

#include <array>
#include <cstdlib>
#include <limits>

#include "posting/board_spaces.h"

namespace koron {
namespace {

// Runs are planned up to this width; a wider one is full-width spaces and then a plan of the
// last part, which U+3000 and U+0020 alone always make exactly from 149 dots on.
constexpr std::uint32_t kPlanned = 200;
constexpr std::uint32_t kTail = 150;

constexpr char16_t kHalf = 0x0020;
constexpr char16_t kFull = 0x3000;
// The thin spaces, widest first, so that a plan holds as few as it can.
constexpr char16_t kThin[] = {0x2003, 0x2007, 0x2002, 0x2004, 0x2005, 0x2006, 0x2009, 0x200A};

// What a plan costs: thin spaces first (each is a reference of 7 bytes on the board), then
// bytes, then characters.
struct Cost {
  std::uint32_t thin = std::numeric_limits<std::uint32_t>::max();
  std::uint32_t bytes = 0;
  std::uint32_t chars = 0;
  bool Reached() const { return thin != std::numeric_limits<std::uint32_t>::max(); }
  bool operator<(const Cost& other) const {
    if (thin != other.thin) return thin < other.thin;
    if (bytes != other.bytes) return bytes < other.bytes;
    return chars < other.chars;
  }
};

// The cheapest run of each width up to kPlanned, for one way of starting and one board: state
// (width, whether the last blank is a half-width space).
class RunPlans {
 public:
  RunPlans(bool afterHalf, bool thinAllowed, bool halvesApart) {
    cost_[0][afterHalf ? 1 : 0] = Cost{0, 0, 0};
    for (std::uint32_t w = 0; w <= kPlanned; ++w) {
      for (int h = 0; h < 2; ++h) {
        const Cost here = cost_[w][h];
        if (!here.Reached()) continue;
        const auto step = [&](char16_t c, std::uint32_t bytes) {
          const std::uint32_t to = w + BoardSpaceDots(c);
          if (to > kPlanned) return;
          const bool half = c == kHalf;
          if (half && h == 1 && halvesApart) return;
          const bool thin = IsThinSpace(c);
          const Cost next{here.thin + (thin ? 1u : 0u), here.bytes + bytes, here.chars + 1};
          Cost& there = cost_[to][half ? 1 : 0];
          if (next < there) {
            there = next;
            from_[to][half ? 1 : 0] = {static_cast<std::uint16_t>(w), static_cast<std::uint8_t>(h),
                                       c};
          }
        };
        step(kFull, 2);
        step(kHalf, 1);
        if (thinAllowed) {
          for (const char16_t c : kThin) step(c, 7);
        }
      }
    }
  }

  // The plan of the width nearest `width` that can be made (the narrower one on a tie).
  std::u16string Nearest(std::uint32_t width) const {
    for (std::uint32_t off = 0; off <= kPlanned; ++off) {
      if (width >= off && Reached(width - off)) return Plan(width - off);
      if (width + off <= kPlanned && Reached(width + off)) return Plan(width + off);
    }
    return std::u16string();
  }

 private:
  struct Step {
    std::uint16_t width = 0;
    std::uint8_t half = 0;
    char16_t c = 0;
  };

  bool Reached(std::uint32_t w) const { return cost_[w][0].Reached() || cost_[w][1].Reached(); }

  std::u16string Plan(std::uint32_t w) const {
    int h = cost_[w][1] < cost_[w][0] ? 1 : 0;
    std::u16string run;
    while (w > 0) {
      const Step& step = from_[w][h];
      run.insert(run.begin(), step.c);
      w = step.width;
      h = step.half;
    }
    return run;
  }

  std::array<std::array<Cost, 2>, kPlanned + 1> cost_{};
  std::array<std::array<Step, 2>, kPlanned + 1> from_{};
};

const RunPlans& PlansFor(bool atLineStart, bool thinAllowed, bool halvesApart) {
  // One table per case, built on first use (thread-safe: function statics).
  static const RunPlans plans[2][2][2] = {
      {{RunPlans(false, false, false), RunPlans(false, false, true)},
       {RunPlans(false, true, false), RunPlans(false, true, true)}},
      {{RunPlans(true, false, false), RunPlans(true, false, true)},
       {RunPlans(true, true, false), RunPlans(true, true, true)}}};
  return plans[atLineStart ? 1 : 0][thinAllowed ? 1 : 0][halvesApart ? 1 : 0];
}

std::uint32_t Width(std::u16string_view run) {
  std::uint32_t width = 0;
  for (const char16_t c : run) width += BoardSpaceDots(c);
  return width;
}

// Whether the board draws `run` as written.
bool Survives(std::u16string_view run, bool atLineStart, const BoardProfile& profile) {
  for (std::size_t i = 0; i < run.size(); ++i) {
    if (profile.dropsSpaces && run[i] == kHalf &&
        ((i == 0 && atLineStart) || (i > 0 && run[i - 1] == kHalf))) {
      return false;
    }
    if (!profile.referencesPass && IsThinSpace(run[i])) return false;
  }
  return true;
}

// The same width as the board will draw it.
std::u16string Replan(std::uint32_t width, bool atLineStart, const BoardProfile& profile) {
  const bool halvesApart = profile.dropsSpaces;
  std::u16string run;
  bool start = atLineStart && halvesApart;
  if (width > kPlanned) {
    run.assign((width - kTail) / BoardSpaceDots(kFull), kFull);
    width -= static_cast<std::uint32_t>(run.size()) * BoardSpaceDots(kFull);
    start = false;
  }
  return run + PlansFor(start, profile.referencesPass, halvesApart).Nearest(width);
}

}  // namespace

SpacingFix FixSpacing(std::u16string_view text, const BoardProfile& profile) {
  SpacingFix fix;
  fix.text.reserve(text.size());
  std::size_t line = 1;
  std::size_t column = 1;  // of the code point at i
  std::size_t i = 0;
  while (i < text.size()) {
    const char16_t c = text[i];
    if (c == u'\r' || c == u'\n') {
      fix.text += c;
      ++i;
      if (c == u'\r' && i < text.size() && text[i] == u'\n') fix.text += text[i++];
      ++line;
      column = 1;
      continue;
    }
    if (!IsBoardSpace(c)) {
      // Every blank is a single code unit; what lies between them is copied at once, a column
      // for each code point.
      const std::size_t from = i;
      while (i < text.size() && text[i] != u'\r' && text[i] != u'\n' && !IsBoardSpace(text[i])) {
        const char16_t unit = text[i++];
        if (unit >= 0xD800 && unit <= 0xDBFF && i < text.size() && text[i] >= 0xDC00 &&
            text[i] <= 0xDFFF) {
          ++i;
        }
        ++column;
      }
      fix.text.append(text.substr(from, i - from));
      continue;
    }
    std::size_t end = i;
    while (end < text.size() && IsBoardSpace(text[end])) ++end;
    const std::u16string_view run = text.substr(i, end - i);
    const bool atLineStart = column == 1;
    if (Survives(run, atLineStart, profile)) {
      fix.text.append(run);
    } else {
      const std::uint32_t width = Width(run);
      const std::u16string planned = Replan(width, atLineStart, profile);
      const std::uint32_t made = Width(planned);
      if (made != width) {
        fix.misses.push_back(
            {line, column, static_cast<std::int32_t>(made) - static_cast<std::int32_t>(width)});
      }
      fix.text += planned;
      fix.edits.push_back({i, run.size(), planned});
    }
    column += run.size();
    i = end;
  }
  return fix;
}

}  // namespace koron
