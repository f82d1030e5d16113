#include "posting/spacing_fix.h"

#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <string>

#include "posting/board_spaces.h"

namespace koron {
namespace {

BoardProfile Board(bool referencesPass, bool dropsSpaces) {
  BoardProfile board;
  board.referencesPass = referencesPass;
  board.dropsSpaces = dropsSpaces;
  return board;
}

struct FixCase {
  const char* name;
  std::u16string text;
  bool referencesPass;
  std::u16string fixed;
  std::vector<std::int32_t> misses;  // dots off, in order
  friend void PrintTo(const FixCase& c, std::ostream* os) { *os << c.name; }
};

class SpacingFixes : public ::testing::TestWithParam<FixCase> {};

TEST_P(SpacingFixes, AsTheBoardDrawsIt) {
  const FixCase& c = GetParam();
  const SpacingFix fix = FixSpacing(c.text, Board(c.referencesPass, true));
  EXPECT_EQ(fix.text, c.fixed);
  std::vector<std::int32_t> misses;
  for (const SpacingMiss& miss : fix.misses) misses.push_back(miss.dots);
  EXPECT_EQ(misses, c.misses);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, SpacingFixes,
    ::testing::Values(
        FixCase{"KeptAsWritten", u"a b\u3000 c\r\n\u3000 d", true, u"a b\u3000 c\r\n\u3000 d", {}},
        FixCase{"TwoHalvesAreTenDots", u"a  b", true, u"a\u2007b", {}},
        FixCase{"ThreeHalvesTakeOneThinSpace", u"a   b", true, u"a \u2007b", {}},
        FixCase{"LeadingHalfTakesAThinSpaceOfFive", u" a", true, u"\u2004a", {}},
        FixCase{"FullAndHalvesWhereTheyMakeIt", u"a \u3000 \u3000b", true, u"a \u3000 \u3000b", {}},
        FixCase{"TwentyOneDotsAtLineStart", u"  \u3000x", true, u"\u2003 x", {}},
        FixCase{"NoReferencesNearestWidth", u"a  b", false, u"a\u3000b", {1}},
        FixCase{"NoReferencesThinSpaceLost", u"a\u2006\u2006b", false, u"a b", {-1}},
        FixCase{"NoReferencesLeadingHalfGoes", u" a", false, u"a", {-5}},
        FixCase{"OtherCharactersUntouched",
                u"\U0001F600  \u2008  \r\n",
                true,
                u"\U0001F600\u2007\u2008\u2007\r\n",
                {}},
        FixCase{"LongRunExactWithoutThinSpaces",
                std::u16string(40, u' ') + u"|",
                true,
                u"\u3000 \u3000 \u3000 \u3000 \u3000 \u3000 \u3000 \u3000" +
                    std::u16string(7, u'\u3000') + u"|",
                {}},
        FixCase{"VeryLongRunExact",
                std::u16string(400, u'\u3000') + u" x",
                false,
                std::u16string(400, u'\u3000') + u" x",
                {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BoardSpaces, QuickTestAgreesWithTheTable) {
  for (char32_t c = 0; c < 0x10000; ++c) {
    ASSERT_EQ(IsBoardSpace(c), BoardSpaceDots(c) != 0) << std::hex << c;
  }
}

// Over many generated lines, on each kind of board: the blanks of each line are as wide as
// before, or the line is reported by how much it is not; the rules hold; nothing else moves;
// and a second pass finds nothing more to do.
TEST(SpacingFix, KeepsEveryLinesWidthOnEveryBoard) {
  const std::u16string alphabet =
      u"ab\u3042 \u3000\u2002\u2003\u2004\u2005\u2006\u2007\u2009\u200A";
  std::mt19937 random(20261208);
  for (const bool referencesPass : {true, false}) {
    for (const bool dropsSpaces : {true, false}) {
      const BoardProfile board = Board(referencesPass, dropsSpaces);
      for (int round = 0; round < 3000; ++round) {
        std::u16string line;
        const int length = static_cast<int>(random() % 40);
        for (int k = 0; k < length; ++k) {
          // Mostly blanks, so that long runs come up.
          const std::size_t pick = random() % 3 == 0 ? random() % 3 : 3 + random() % 10;
          line += alphabet[pick];
        }
        if (random() % 8 == 0) line += std::u16string(random() % 60, u' ');
        const std::u16string text = line + u"\r\nz";
        const SpacingFix fix = FixSpacing(text, board);
        ASSERT_EQ(fix.text.substr(fix.text.size() - 3), u"\r\nz");
        const std::u16string after = fix.text.substr(0, fix.text.size() - 3);
        const auto dots = [](const std::u16string& s) {
          std::int64_t sum = 0;
          for (const char16_t c : s) sum += BoardSpaceDots(c);
          return sum;
        };
        const auto others = [](const std::u16string& s) {
          std::u16string kept;
          for (const char16_t c : s) {
            if (BoardSpaceDots(c) == 0) kept += c;
          }
          return kept;
        };
        std::int64_t reported = 0;
        for (const SpacingMiss& miss : fix.misses) {
          ASSERT_EQ(miss.line, 1u);
          reported += miss.dots;
        }
        const std::string context = "line " + std::to_string(round);
        ASSERT_EQ(dots(after) - dots(line), reported) << context;
        ASSERT_EQ(others(after), others(line)) << context;
        if (dropsSpaces) {
          ASSERT_NE(after.substr(0, 1), u" ") << context;
          ASSERT_EQ(after.find(u"  "), std::u16string::npos) << context;
        }
        if (referencesPass) {
          ASSERT_TRUE(fix.misses.empty()) << context;  // thin spaces make every width
        } else {
          for (const char16_t c : after) ASSERT_FALSE(IsThinSpace(c)) << context;
        }
        ASSERT_EQ(FixSpacing(fix.text, board).text, fix.text) << context;
        std::u16string edited = text;  // the edits, applied from the last, give the same text
        for (auto edit = fix.edits.rbegin(); edit != fix.edits.rend(); ++edit) {
          edited.replace(edit->offset, edit->length, edit->run);
        }
        ASSERT_EQ(edited, fix.text) << context;
      }
    }
  }
}

}  // namespace
}  // namespace koron
