#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace koron {

// What a text board does with a post: how much it takes, how it counts it, and what it keeps.
struct BoardProfile {
  std::string name;
  std::uint64_t byteLimit = 4096;  // bytes of one post, counted as the board counts them
  std::uint32_t lineLimit = 60;
  // The bytes the board counts for each of these, as it stores them: a line break as "<br>",
  // "<" as "&lt;" and so on.
  std::uint32_t lineBreakBytes = 4;
  std::uint32_t lessThanBytes = 4;
  std::uint32_t greaterThanBytes = 4;
  std::uint32_t quoteBytes = 6;
  std::uint32_t ampersandBytes = 1;
  // Whether a character outside Shift_JIS passes as a reference "&#N;"; when not, it is lost.
  bool referencesPass = true;
  // Whether the board drops a half-width space at the start of a line and merges a run of them.
  bool dropsSpaces = true;
};

// The profile every post is checked against unless another is chosen: "5ch", counted cautiously
// so that a board that counts less still takes what fits it.
BoardProfile DefaultBoardProfile();

}  // namespace koron
