#include "posting/post_split.h"

#include <cstdint>

namespace koron {
namespace {

struct Line {
  std::size_t begin = 0;  // code units
  std::size_t end = 0;    // past the line's break, if any
  std::uint64_t bytes = 0;
  bool blank = false;
};

std::vector<Line> ReadLines(std::u16string_view text, const BoardProfile& profile) {
  std::vector<Line> lines;
  const std::size_t n = text.size();
  std::size_t begin = 0;
  const auto add = [&](std::size_t contentEnd, std::size_t end) {
    Line line;
    line.begin = begin;
    line.end = end;
    const std::u16string_view content = text.substr(begin, contentEnd - begin);
    line.bytes = BoardByteCount(content, profile);
    line.blank = content.find_first_not_of(u" \u3000\t") == std::u16string_view::npos;
    lines.push_back(line);
    begin = end;
  };
  for (std::size_t i = 0; i < n; ++i) {
    if (text[i] != u'\r' && text[i] != u'\n') continue;
    const std::size_t contentEnd = i;
    if (text[i] == u'\r' && i + 1 < n && text[i + 1] == u'\n') ++i;
    add(contentEnd, i + 1);
  }
  if (begin < n) add(n, n);
  return lines;
}

}  // namespace

PostSplit SplitPost(std::u16string_view text, const BoardProfile& profile) {
  PostSplit split;
  const std::vector<Line> lines = ReadLines(text, profile);
  const std::size_t count = lines.size();
  std::size_t start = 0;
  while (start < count) {
    // As many lines as fit, at least one.
    std::size_t end = start + 1;
    std::uint64_t bytes = lines[start].bytes;
    while (end < count && end - start < profile.lineLimit) {
      const std::uint64_t more = bytes + profile.lineBreakBytes + lines[end].bytes;
      if (more > profile.byteLimit) break;
      bytes = more;
      ++end;
    }
    if (end < count) {
      // The last place among them that a blank line ends, or that one begins after, leaving a
      // part that is not blank alone.
      std::size_t first = start;
      while (first < end && lines[first].blank) ++first;
      for (std::size_t cut = end; cut > first; --cut) {
        if (lines[cut - 1].blank || lines[cut].blank) {
          end = cut;
          break;
        }
      }
    }
    if (end == start + 1 && lines[start].bytes > profile.byteLimit) {
      split.oversized.push_back(split.parts.size());
    }
    split.parts.push_back(text.substr(lines[start].begin, lines[end - 1].end - lines[start].begin));
    start = end;
  }
  if (split.parts.empty()) split.parts.push_back(text);
  return split;
}

}  // namespace koron
