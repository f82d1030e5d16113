#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "posting/board_profile.h"

namespace koron {

enum class PostProblemKind {
  kLeadingSpace,   // a half-width space starts the line: the board drops it
  kSpaceRun,       // two or more half-width spaces in a row: the board keeps one
  kLostCharacter,  // outside code page 932 on a board that lets no reference pass
  // The whole post, counted as the board counts (BoardByteCount), without the line break after
  // its last line: the board stores no line after it.
  kOverByteLimit,
  kOverLineLimit,  // the whole post
};

// One place where the board would not show the text as it stands. Lines (as SplitLines cuts
// them) and columns (in code points) count from 1; a problem of the whole post is at 0:0.
struct PostProblem {
  PostProblemKind kind = PostProblemKind::kLeadingSpace;
  std::size_t line = 0;
  std::size_t column = 0;
  std::size_t spaces = 0;   // the spaces of the run (kLeadingSpace, kSpaceRun)
  char32_t character = 0;   // kLostCharacter; a lone surrogate as its own code unit
  std::uint64_t count = 0;  // bytes or lines of the post (kOverByteLimit, kOverLineLimit)
  std::uint64_t limit = 0;  // the profile's limit of the same
};

// Every problem of `text` on the board of `profile`: first the whole post's (bytes, then lines),
// then the others in the order of the text. A run of spaces at the start of a line is one
// kLeadingSpace, not also a kSpaceRun. Spaces are looked at only when profile.dropsSpaces, lost
// characters only when !profile.referencesPass. One pass over the text.
std::vector<PostProblem> CheckPost(std::u16string_view text, const BoardProfile& profile);

}  // namespace koron
