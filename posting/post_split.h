#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "posting/board_profile.h"

namespace koron {

// A text cut into posts. The parts, put together again, are the text; each part but the last
// holds the line break after its last line, which the board does not count against it.
struct PostSplit {
  std::vector<std::u16string_view> parts;
  // The parts (0-based, in order) that are one line over the byte limit on its own.
  std::vector<std::size_t> oversized;
};

// Cuts `text` (lines as SplitLines cuts them) into parts that each fit the profile's byte limit
// (BoardByteCount, without the break after the part's last line) and line limit. Each part holds
// as many lines as fit, but ends at a blank line (empty, or of spaces alone) or just before one
// when there is one among them; never inside a line. A text that fits, and the empty text, is
// one part. The parts view `text`.
PostSplit SplitPost(std::u16string_view text, const BoardProfile& profile);

}  // namespace koron
