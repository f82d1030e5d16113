#include "posting/post_check.h"

#include "posting/code_points.h"
#include "posting/shift_jis_safe.h"

namespace koron {

std::vector<PostProblem> CheckPost(std::u16string_view text, const BoardProfile& profile) {
  std::vector<PostProblem> found;
  std::uint64_t bytes = 0;
  std::uint64_t lines = 0;
  std::size_t line = 1;
  std::size_t column = 0;  // of the code point last read
  std::size_t runStart = 0;
  std::size_t run = 0;  // half-width spaces before the current code point
  const auto endRun = [&] {
    if (run >= 2 || (run >= 1 && runStart == 1)) {
      PostProblem problem;
      problem.kind = runStart == 1 ? PostProblemKind::kLeadingSpace : PostProblemKind::kSpaceRun;
      problem.line = line;
      problem.column = runStart;
      problem.spaces = run;
      found.push_back(problem);
    }
    run = 0;
  };
  const std::uint8_t* safeBytes = ShiftJisSafeBmpBytes();
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n;) {
    const char16_t unit = text[i];
    if (unit == u'\r' || unit == u'\n') {
      if (profile.dropsSpaces) endRun();
      if (unit == u'\r' && i + 1 < n && text[i + 1] == u'\n') ++i;
      ++i;
      bytes += profile.lineBreakBytes;
      ++lines;
      ++line;
      column = 0;
      continue;
    }
    ++column;
    const char32_t c = NextCodePoint(text, i);
    if (c == U' ') {
      if (profile.dropsSpaces && run++ == 0) runStart = column;
      ++bytes;
      continue;
    }
    if (run != 0) endRun();
    const std::uint8_t size = c < 0x10000 ? safeBytes[c] : ShiftJisSafeBytes(c);
    bytes += BoardCharacterBytes(c, profile, size);
    if (size > 2 && !profile.referencesPass) {  // past two bytes: a reference
      PostProblem problem;
      problem.kind = PostProblemKind::kLostCharacter;
      problem.line = line;
      problem.column = column;
      problem.character = c;
      found.push_back(problem);
    }
  }
  if (profile.dropsSpaces) endRun();
  if (column != 0) {
    ++lines;  // a last line without a break
  } else if (lines != 0) {
    bytes -= profile.lineBreakBytes;  // the break after the last line is not posted
  }

  std::vector<PostProblem> whole;
  const auto over = [&](PostProblemKind kind, std::uint64_t count, std::uint64_t limit) {
    if (count <= limit) return;
    PostProblem problem;
    problem.kind = kind;
    problem.count = count;
    problem.limit = limit;
    whole.push_back(problem);
  };
  over(PostProblemKind::kOverByteLimit, bytes, profile.byteLimit);
  over(PostProblemKind::kOverLineLimit, lines, profile.lineLimit);
  if (whole.empty()) return found;
  whole.insert(whole.end(), found.begin(), found.end());
  return whole;
}

}  // namespace koron
