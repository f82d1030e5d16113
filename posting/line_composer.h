#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace koron {

// A mark that stands over the character before it and adds no width of its own (general
// category Mn or Me), as a board's browser draws a mark that composes with nothing.
bool IsCombiningMark(char32_t c);

// Lines as they are measured and drawn: in NFC, so that a base and a mark that compose (e and
// U+0301, か and U+3099 as text pasted from macOS arrives) are the one character a board's
// browser draws. The text itself is never changed; only its measure and its picture follow NFC.
class LineComposer {
 public:
  // The NFC of `line`: `line` itself when it is NFC already and holds no mark (nearly every
  // line, told by one table lookup per code unit), else a view of a buffer that the next call
  // reuses. A line too long for ICU, or one it fails on, stands as written.
  std::u16string_view Compose(std::u16string_view line);

  // False when the line last composed holds no mark for IsCombiningMark to find.
  bool MayHoldMarks() const { return mayHoldMarks_; }

 private:
  std::u16string buffer_;
  bool mayHoldMarks_ = false;
};

}  // namespace koron
