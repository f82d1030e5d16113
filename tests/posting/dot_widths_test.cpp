#include "posting/dot_widths.h"

#include <gtest/gtest.h>

#include <ostream>

#include <map>
#include <string>

namespace koron {
namespace {

using Lines = std::vector<std::u16string_view>;
using Widths = std::vector<std::uint32_t>;

struct LineCase {
  const char* name;
  std::u16string text;
  Lines lines;
  Widths widths;  // with the advances of Advance64 below
  friend void PrintTo(const LineCase& c, std::ostream* os) { *os << c.name; }
};

// Advances in 1/64 dot chosen so that rounding up shows: 'a' 1.5625, 'b' 0.4375, U+3000 11.
std::int32_t Advance64(char32_t c) {
  static const std::map<char32_t, std::int32_t> advances = {
      {U'a', 100},      {U'b', 28},       {U'\u3000', 704},
      {U'\u00E9', 320}, {U'\uFFFD', 640}, {U'\U0001F600', 1000}};
  const auto found = advances.find(c);
  return found == advances.end() ? 64 : found->second;
}

class LineSplitting : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineSplitting, SplitAndMeasured) {
  std::map<char32_t, int> asked;
  AdvanceCache cache([&](char32_t c) {
    ++asked[c];
    return Advance64(c);
  });
  EXPECT_EQ(SplitLines(GetParam().text), GetParam().lines);
  EXPECT_EQ(LineWidths(GetParam().text, cache), GetParam().widths);
  EXPECT_EQ(LineWidths(GetParam().text, cache), GetParam().widths);
  for (const auto& [c, times] : asked) EXPECT_EQ(times, 1) << "U+" << std::hex << c;
  EXPECT_EQ(cache.MeasuredCount(), asked.size());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LineSplitting,
    ::testing::Values(
        LineCase{"EmptyTextHasNoLines", u"", {}, {}}, LineCase{"OneLine", u"ab", {u"ab"}, {2}},
        LineCase{"RoundsUpEachLine", u"a\r\naa\r\nab", {u"a", u"aa", u"ab"}, {2, 4, 2}},
        LineCase{"FinalBreakStartsNoLine", u"a\r\n", {u"a"}, {2}},
        LineCase{"LoneBreakIsOneEmptyLine", u"\r\n", {u""}, {0}},
        LineCase{"CrAndLfAloneEndLines", u"a\rb\n\u3000", {u"a", u"b", u"\u3000"}, {2, 1, 11}},
        LineCase{"CrCrLfIsTwoLines", u"a\r\r\nb", {u"a", u"", u"b"}, {2, 0, 1}},
        LineCase{"LfCrIsTwoBreaks", u"\n\r", {u"", u""}, {0, 0}},
        LineCase{"PairIsOneCodePoint", u"\U0001F600\U0001F600", {u"\U0001F600\U0001F600"}, {32}},
        LineCase{"LoneSurrogatesCountAsReplacement",
                 u"\xD83D"
                 u"a\xDE00",
                 {u"\xD83D"
                  u"a\xDE00"},
                 {22}},
        // Measured as composed: e + U+0301 is é; a mark that composes with nothing adds nothing,
        // at the start of a line too. The lines themselves stay as written.
        LineCase{"MarkComposesWithItsBase", u"e\u0301", {u"e\u0301"}, {5}},
        LineCase{
            "MarkLeftApartAddsNoWidth", u"\u0301b\u0301\u20DD", {u"\u0301b\u0301\u20DD"}, {1}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AdvanceCache, NegativeAndOutOfRangeAnswers) {
  AdvanceCache cache([](char32_t c) { return c == U'-' ? -64 : c == 0xFFFD ? 7 : 64; });
  EXPECT_EQ(cache.Advance(U'-'), 0);
  EXPECT_EQ(cache.Advance(0x110000), 7);
  EXPECT_EQ(cache.Advance(U'\U0010FFFF'), 64);
}

}  // namespace
}  // namespace koron
