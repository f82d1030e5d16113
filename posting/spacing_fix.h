#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "posting/board_profile.h"

namespace koron {

// A run of blanks whose width could not be kept: where it starts (line and column from 1,
// columns in code points) and how many dots wider (negative: narrower) it now is.
struct SpacingMiss {
  std::size_t line = 0;
  std::size_t column = 0;
  std::int32_t dots = 0;
};

// One run rewritten: `length` code units at `offset` of the text given became `run`.
struct SpacingEdit {
  std::size_t offset = 0;
  std::size_t length = 0;
  std::u16string run;
};

struct SpacingFix {
  std::u16string text;
  std::vector<SpacingMiss> misses;
  std::vector<SpacingEdit> edits;  // in the order of the text, for an editor to apply in place
};

// `text` with every run of blanks (U+0020, U+3000 and the thin spaces of BoardSpaceDots) that
// the board would not draw as written rewritten to the same width in the board font: no
// half-width space at the start of a line and never two in a row where the board drops them,
// and no thin space where references are lost. U+3000 and U+0020 are used alone wherever they
// make the width, then as few thin spaces as can, then the nearest width, reported. A run the
// board already keeps, and every other character, stays as it is.
SpacingFix FixSpacing(std::u16string_view text, const BoardProfile& profile);

}  // namespace koron
