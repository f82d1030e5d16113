#include "composer/procession_rows.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "composer/composer.h"
#include "composer/fragments.h"
#include "composer_test_support.h"

namespace koron {
namespace {

using testing::BuildLines;
using testing::Cat;
using testing::Choices;
using testing::kFaceItem1;

// What a picture's lines gain from one more figure: the fragments of that figure.
struct Gain {
  std::u16string top, face, body, legs;
};

Gain GainOfLastFigure(const ProcessionChoices& before, const ProcessionChoices& after) {
  const PictureLines a = BuildLines(before);
  const PictureLines b = BuildLines(after);
  const auto tail = [](const std::u16string& shorter, const std::u16string& longer) {
    EXPECT_EQ(longer.compare(0, shorter.size(), shorter), 0) << "lines must only grow";
    return longer.substr(shorter.size());
  };
  return {tail(a.TopLine, b.TopLine), tail(a.FaceLine, b.FaceLine), tail(a.BodyLine, b.BodyLine),
          tail(a.LegLine, b.LegLine)};
}

struct MarcherCase {
  std::int16_t face;
  std::int32_t marcher;
  std::u16string_view ears, spacer, body, legs;
};

void PrintTo(const MarcherCase& c, std::ostream* out) {
  *out << "face " << c.face << " marcher " << c.marcher;
}

class MarcherRowTest : public ::testing::TestWithParam<MarcherCase> {};

TEST_P(MarcherRowTest, MarcherGetsTheFragmentsOfItsRow) {
  const MarcherCase& c = GetParam();
  const std::u16string face = kFaceItem1.substr(0, 5);
  const Gain gain = GainOfLastFigure(Choices(c.marcher - 1, c.face, true, 0, 0),
                                     Choices(c.marcher, c.face, true, 0, 0));
  EXPECT_EQ(gain.top, std::u16string(c.ears));
  EXPECT_EQ(gain.face, Cat({c.spacer, face}));
  EXPECT_EQ(gain.body, std::u16string(c.body));
  EXPECT_EQ(gain.legs, std::u16string(c.legs));
}

constexpr std::u16string_view kNoSpacer = u"";

INSTANTIATE_TEST_SUITE_P(Rows, MarcherRowTest,
                         ::testing::Values(
                             // Face 0 repeats every four marchers.
                             MarcherCase{0, 1, EarsSpace, SpacerSpace, BodyFirst, LegsFirst},
                             MarcherCase{0, 2, EarsPlain, kNoSpacer, BodyDot, LegsDot},
                             MarcherCase{0, 3, EarsPlain, kNoSpacer, BodyDot, LegsDot},
                             MarcherCase{0, 4, EarsPlain, SpacerDot, BodyDot, LegsDot},
                             MarcherCase{0, 6, EarsPlain, kNoSpacer, BodyDot, LegsDot},
                             MarcherCase{0, 8, EarsPlain, SpacerDot, BodyDot, LegsDot},
                             // The general rows, every three marchers.
                             MarcherCase{1, 1, EarsSpace, SpacerSpace, BodyFirst, LegsFirst},
                             MarcherCase{1, 2, EarsDot, kNoSpacer, BodyWide, LegsWide},
                             MarcherCase{1, 3, EarsDot, SpacerDot, BodyWide, LegsDotWide},
                             MarcherCase{1, 4, EarsDot, kNoSpacer, BodyWide, LegsWide},
                             MarcherCase{1, 6, EarsDot, SpacerDot, BodyWide, LegsDotWide},
                             MarcherCase{2, 3, EarsDot, SpacerDot, BodyWide, LegsDotWide},
                             MarcherCase{3, 5, EarsDot, kNoSpacer, BodyWide, LegsWide},
                             MarcherCase{-1, 1, EarsSpace, SpacerSpace, BodyFirst, LegsFirst},
                             MarcherCase{-1, 3, EarsDot, SpacerDot, BodyWide, LegsDotWide},
                             MarcherCase{6, 2, EarsDot, kNoSpacer, BodyWide, LegsWide},
                             MarcherCase{-7, 9, EarsDot, SpacerDot, BodyWide, LegsDotWide},
                             // Face 4 swaps where the spacer dot goes.
                             MarcherCase{4, 1, EarsWide, SpacerSpaceDot, BodyFirst, LegsFirst},
                             MarcherCase{4, 2, EarsDot, SpacerDot, BodyWide, LegsWide},
                             MarcherCase{4, 3, EarsDot, kNoSpacer, BodyWide, LegsDotWide},
                             MarcherCase{4, 4, EarsDot, SpacerDot, BodyWide, LegsWide},
                             MarcherCase{4, 6, EarsDot, kNoSpacer, BodyWide, LegsDotWide},
                             // Face 5 keeps the spaced ears.
                             MarcherCase{5, 1, EarsSpace, SpacerSpace, BodyFirst, LegsFirst},
                             MarcherCase{5, 2, EarsSpace, kNoSpacer, BodyDotWide, LegsDotWide},
                             MarcherCase{5, 3, EarsSpace, SpacerDot, BodyWide, LegsDotWide},
                             MarcherCase{5, 4, EarsSpace, kNoSpacer, BodyDotWide, LegsDotWide},
                             MarcherCase{5, 6, EarsSpace, SpacerDot, BodyWide, LegsDotWide}));

TEST(MarcherRowTest, WithoutEarsTheTopLineKeepsTheCap) {
  for (int face = -1; face <= 6; ++face) {
    for (int marchers : {1, 2, 7, 500}) {
      const PictureLines lines =
          BuildLines(Choices(marchers, static_cast<std::int16_t>(face), false, 3, 3));
      EXPECT_EQ(lines.TopLine, std::u16string(TopLineStart)) << face << " " << marchers;
    }
  }
}

TEST(MarcherRowTest, EarsOfFace4StartWideThenDotted) {
  const PictureLines lines = BuildLines(Choices(5, 4, true, 0, 0));
  EXPECT_EQ(lines.TopLine, Cat({TopLineStart, EarsWide, EarsDot, EarsDot, EarsDot, EarsDot}));
}

TEST(MarcherRowTest, FaceIsTheFirstFiveCodeUnitsOfTheItem) {
  const auto faceLine = [](std::u16string faceText) {
    return BuildLines(Choices(2, 1, false, 0, 0, std::move(faceText))).FaceLine;
  };
  EXPECT_EQ(faceLine(u"(abc) name"), Cat({FaceLineStart, SpacerSpace, u"(abc)", u"(abc)"}));
  EXPECT_EQ(faceLine(u"(ab"), Cat({FaceLineStart, SpacerSpace, u"(ab", u"(ab"}));
  EXPECT_EQ(faceLine(u""), Cat({FaceLineStart, SpacerSpace}));
  // Five code units even where that splits a surrogate pair.
  EXPECT_EQ(faceLine(u"abcd\U0001F600"),
            Cat({FaceLineStart, SpacerSpace, u"abcd\xD83D", u"abcd\xD83D"}));
  // Only spacers remain of an empty face, on the rows that have them.
  EXPECT_EQ(BuildLines(Choices(4, 4, false, 0, 0, u"")).FaceLine,
            Cat({FaceLineStart, SpacerSpaceDot, SpacerDot, SpacerDot}));
}

struct FigureCase {
  const char* name;
  ProcessionChoices before, after;  // after: one more figure than before
  std::u16string_view body, legs;
};

void PrintTo(const FigureCase& c, std::ostream* out) { *out << c.name; }

class FigureRowTest : public ::testing::TestWithParam<FigureCase> {};

TEST_P(FigureRowTest, FigureGetsTheFragmentsOfItsRow) {
  const FigureCase& c = GetParam();
  const Gain gain = GainOfLastFigure(c.before, c.after);
  EXPECT_EQ(gain.top, u"");
  EXPECT_EQ(gain.face, u"");
  EXPECT_EQ(gain.body, std::u16string(c.body));
  EXPECT_EQ(gain.legs, std::u16string(c.legs));
}

FigureCase Cheerer(const char* name, std::int32_t marchers, std::int32_t figure,
                   std::u16string_view body, std::u16string_view legs) {
  return {name, Choices(marchers, 1, true, figure - 1, 0), Choices(marchers, 1, true, figure, 0),
          body, legs};
}

FigureCase Bearer(const char* name, std::int32_t marchers, std::int32_t cheers, std::int32_t figure,
                  std::u16string_view body, std::u16string_view legs) {
  return {name, Choices(marchers, 1, true, cheers, figure - 1),
          Choices(marchers, 1, true, cheers, figure), body, legs};
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FigureRowTest,
    ::testing::Values(
        Cheerer("FirstCheererAlone", 0, 1, CheerFirstAlone, CheerLegsFirstAlone),
        Cheerer("FirstCheererAfterMarchers", 3, 1, CheerBody, CheerLegsFirst),
        Cheerer("FirstCheererAfterNegativeMarchers", -1, 1, CheerBody, CheerLegsFirst),
        Cheerer("Cheerer2", 0, 2, CheerBody, CheerLegs),
        Cheerer("Cheerer3", 2, 3, CheerBody, CheerLegs),
        Cheerer("Cheerer4", 0, 4, CheerBodyDots, CheerLegs),
        Cheerer("Cheerer5", 1, 5, CheerBody, CheerLegs),
        Cheerer("Cheerer7", 0, 7, CheerBody, CheerLegs),
        Cheerer("Cheerer8", 4, 8, CheerBodyDots, CheerLegs),
        Bearer("FirstBearerAlone", 0, 0, 1, SignFirstAlone, SignLegsFirstAlone),
        Bearer("FirstBearerAfterCheerers", 0, 2, 1, SignBody, SignLegsAfterCheer),
        Bearer("FirstBearerAfterNegativeCheerers", 0, -1, 1, SignBody, SignLegsAfterCheer),
        Bearer("FirstBearerAfterMarchers", 2, 0, 1, SignBody, SignLegsAfterMarch),
        Bearer("FirstBearerAfterMarchersAndCheerers", 2, 3, 1, SignBody, SignLegsAfterMarch),
        Bearer("FirstBearerAfterNegativeMarchers", -1, 0, 1, SignBody, SignLegsAfterMarch),
        Bearer("FirstBearerAfterNegativeCounts", -3, -2, 1, SignBody, SignLegsAfterMarch),
        Bearer("FirstBearerAfterNegativeMarchersAndCheerers", -3, 4, 1, SignBody,
               SignLegsAfterMarch),
        Bearer("Bearer2", 0, 0, 2, SignBody, SignLegsEven),
        Bearer("Bearer3", 0, 0, 3, SignBodyDot, SignLegsOdd),
        Bearer("Bearer4", 1, 1, 4, SignBody, SignLegsEven),
        Bearer("Bearer5", 1, 0, 5, SignBodyDot, SignLegsOdd)),
    [](const ::testing::TestParamInfo<FigureCase>& info) { return std::string(info.param.name); });

TEST(FigureRowTest, NoFiguresKeepTheUpperLines) {
  const PictureLines lines = BuildLines(Choices(0, 1, true, 9, 9));
  EXPECT_EQ(lines.TopLine, std::u16string(TopLineStart));
  EXPECT_EQ(lines.FaceLine, std::u16string(FaceLineStart));
}

}  // namespace
}  // namespace koron
