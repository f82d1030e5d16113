#include "posting/post_check.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "posting/post_split.h"

namespace koron {
namespace {

// A problem as one short word: kind, line:column, and its figure.
std::string Describe(const PostProblem& p) {
  const char* kinds[] = {"lead", "run", "lost", "bytes", "lines"};
  const std::uint64_t figure = p.kind == PostProblemKind::kLostCharacter ? p.character
                               : p.count != 0                            ? p.count
                                                                         : p.spaces;
  return std::string(kinds[static_cast<int>(p.kind)]) + " " + std::to_string(p.line) + ":" +
         std::to_string(p.column) + " " + std::to_string(figure);
}

BoardProfile Small(bool referencesPass = true, bool dropsSpaces = true) {
  BoardProfile profile = DefaultBoardProfile();
  profile.byteLimit = 20;
  profile.lineLimit = 3;
  profile.referencesPass = referencesPass;
  profile.dropsSpaces = dropsSpaces;
  return profile;
}

struct CheckCase {
  const char* name;
  std::u16string text;
  BoardProfile profile;
  std::vector<std::string> problems;
  friend void PrintTo(const CheckCase& c, std::ostream* os) { *os << c.name; }
};

class Check : public ::testing::TestWithParam<CheckCase> {};

TEST_P(Check, FindsEachProblem) {
  std::vector<std::string> found;
  for (const PostProblem& p : CheckPost(GetParam().text, GetParam().profile)) {
    found.push_back(Describe(p));
  }
  EXPECT_EQ(found, GetParam().problems);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Check,
    ::testing::Values(
        CheckCase{"Clean", u"a b\r\n\u3000x\r\n", Small(), {}},
        // Columns count code points: the emoji before the run is one column.
        CheckCase{"Spaces",
                  u"  a \U0001F600  b\n \n   ",
                  DefaultBoardProfile(),
                  {"lead 1:1 2", "run 1:6 2", "lead 2:1 1", "lead 3:1 3"}},
        CheckCase{"SpacesKept", u"  a  b", Small(true, false), {}},
        CheckCase{"LostOnlyWithoutReferences",
                  u"\u2665a\xD800",
                  Small(false),
                  {"lost 1:1 9829", "lost 1:3 55296"}},
        CheckCase{"ReferencesPass", u"\u2665", Small(), {}},
        // 16 bytes and 4 of its break; the break after the last line is not posted.
        CheckCase{"AtTheByteLimit", u"<<<<\r\n", Small(), {}},
        CheckCase{"OverBoth", u"<<<<\r\n\r\n\r\n\r\n", Small(), {"bytes 0:0 28", "lines 0:0 4"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct SplitCase {
  const char* name;
  std::u16string text;
  std::vector<std::u16string> parts;
  std::vector<std::size_t> oversized = {};
  friend void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.name; }
};

class Split : public ::testing::TestWithParam<SplitCase> {};

TEST_P(Split, PartsFitAndGiveBackTheText) {
  const PostSplit split = SplitPost(GetParam().text, Small());
  std::vector<std::u16string> parts;
  for (const std::u16string_view part : split.parts) parts.emplace_back(part);
  EXPECT_EQ(parts, GetParam().parts);
  EXPECT_EQ(split.oversized, GetParam().oversized);
}

// Small(): 20 bytes and 3 lines; a line break counts 4.
INSTANTIATE_TEST_SUITE_P(
    Texts, Split,
    ::testing::Values(
        SplitCase{"Empty", u"", {u""}}, SplitCase{"Fits", u"a\nb\nc\n", {u"a\nb\nc\n"}},
        SplitCase{"ByLines", u"a\nb\nc\nd", {u"a\nb\nc\n", u"d"}},
        SplitCase{"AtABlankLine", u"a\n\nb\nc\nd\n", {u"a\n\n", u"b\nc\nd\n"}},
        SplitCase{"LeadingBlankLineIsNoPart", u"\na\nb\nc\nd", {u"\na\nb\n", u"c\nd"}},
        SplitCase{"ByBytes", u"aaaaaaaa\r\nbbbbbbbb\r\nc", {u"aaaaaaaa\r\nbbbbbbbb\r\n", u"c"}},
        SplitCase{"OversizedLine", u"a\r\n<<<<<<\r\nb", {u"a\r\n", u"<<<<<<\r\n", u"b"}, {1}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace koron
