// What a board does with a post, checked on arbitrary input: the spacing fix keeps every other
// character and every width it does not report, needs no second pass and is what its edits
// make; the split gives the text back; the check and a board's SETTING.TXT never fail.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "posting/board_profile.h"
#include "posting/board_spaces.h"
#include "posting/post_check.h"
#include "posting/post_split.h"
#include "posting/spacing_fix.h"

namespace {

void Require(bool holds) {
  if (!holds) std::abort();
}

std::int64_t BlankDots(std::u16string_view text) {
  std::int64_t dots = 0;
  for (const char16_t c : text) dots += koron::BoardSpaceDots(c);
  return dots;
}

std::u16string Others(std::u16string_view text) {
  std::u16string kept;
  for (const char16_t c : text) {
    if (!koron::IsBoardSpace(c)) kept += c;
  }
  return kept;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const koron::BoardProfileResult parsed = koron::ParseBoardSettings(bytes);
  if (parsed.ok) {
    Require(!parsed.profile.name.empty());
    Require(parsed.profile.byteLimit >= 1 && parsed.profile.byteLimit <= koron::kMaxBoardByteLimit);
    Require(parsed.profile.lineLimit >= 1 && parsed.profile.lineLimit <= koron::kMaxBoardLineLimit);
  }
  if (size < 2) return 0;

  // The first byte chooses the board; the rest is UTF-16, blanks made likely.
  koron::BoardProfile board;
  board.referencesPass = (data[0] & 1) != 0;
  board.dropsSpaces = (data[0] & 2) != 0;
  board.byteLimit = 1 + (data[0] >> 2) * 8;
  board.lineLimit = 1 + (data[0] >> 5);
  static constexpr char16_t kCommon[] = {u' ',  u'\u3000', u'\u2006', u'\u200A', u'\u2007',
                                         u'\r', u'\n',     u'a',      u'\u3042', u'<'};
  std::u16string text;
  for (std::size_t i = 1; i + 1 < size; i += 2) {
    const char16_t unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    text += data[i + 1] == 0xFF ? kCommon[data[i] % 10] : unit;
  }

  const koron::SpacingFix fix = koron::FixSpacing(text, board);
  Require(Others(fix.text) == Others(text));
  std::int64_t reported = 0;
  for (const koron::SpacingMiss& miss : fix.misses) reported += miss.dots;
  Require(BlankDots(fix.text) - BlankDots(text) == reported);
  Require(koron::FixSpacing(fix.text, board).text == fix.text);
  std::u16string edited = text;
  for (auto edit = fix.edits.rbegin(); edit != fix.edits.rend(); ++edit) {
    edited.replace(edit->offset, edit->length, edit->run);
  }
  Require(edited == fix.text);
  if (board.referencesPass) Require(fix.misses.empty());

  const koron::PostSplit split = koron::SplitPost(text, board);
  std::u16string joined;
  for (const std::u16string_view part : split.parts) joined += part;
  Require(joined == text);

  koron::CheckPost(text, board);
  return 0;
}
