#include "composer/composer.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "composer/fragments.h"
#include "composer_test_support.h"

namespace koron {
namespace {

using testing::BuildLines;
using testing::Cat;
using testing::Choices;
using testing::kFaceItem0;
using testing::kFaceItem1;
using testing::kFaceItem4;
using testing::kFaceItem5;

// The face worn by the marchers of each item.
const std::u16string kFace0 = kFaceItem0;
const std::u16string kFace1 = kFaceItem1.substr(0, 5);
const std::u16string kFace4 = kFaceItem4.substr(0, 5);
const std::u16string kFace5 = kFaceItem5.substr(0, 5);

// Typed as they look, so that a wrong code point in a fragment shows up here.
const std::u16string kPolicemanAlone =
    u"__[警]\r\n"
    u"　(　 )\r\n"
    u"　(　 )\r\n"
    u"　 | |　";
const std::u16string kThreeMarchersOfFace0 =
    u"__[警]"
    u"\r\n"
    u"　(　 ) ('Ａ`)('Ａ`)('Ａ`)"
    u"\r\n"
    u"　(　 )Ｖノ ）. ノ ）. ノ ）"
    u"\r\n"
    u"　 | |　　| | .　| | .　| | ";

const std::u16string kThreeMarchersOfFace0WithEars =
    u"__[警] ∧∧∧∧∧∧\r\n"
    u"　(　 ) ('Ａ`)('Ａ`)('Ａ`)\r\n"
    u"　(　 )Ｖノ ）. ノ ）. ノ ）\r\n"
    u"　 | |　　| | .　| | .　| | ";
const std::u16string kFourMarchersOfFace4 =
    u"__[警]　∧∧.∧∧.∧∧.∧∧\r\n"
    u"　(　 ) .(ﾟーﾟ).(ﾟーﾟ)(ﾟーﾟ).(ﾟーﾟ)\r\n"
    u"　(　 )Ｖノ ） ノ　） ノ　） ノ　）\r\n"
    u"　 | |　　| | 　 | | .　 | | 　 | | ";
const std::u16string kThreeMarchersOfFace5 =
    u"__[警] ∧∧ ∧∧ ∧∧\r\n"
    u"　(　 ) ('∀`)('∀`).('∀`)\r\n"
    u"　(　 )Ｖノ ）. ノ　） ノ　）\r\n"
    u"　 | |　　| | .　 | | .　 | | ";
const std::u16string kCheerersAndBearers =
    u"__[警]\r\n"
    u"　(　 )\r\n"
    u"　(　 )＼_(ﾟ∀ﾟ)ノヽ(ﾟ∀ﾟ)ノヽ(ﾟ∀ﾟ)ノヽ国ノヽ国ノ\r\n"
    u"　 | |　　　.<　>　　 <　>　 　 <　>　  .<　>　<　>";
const std::u16string kAllThreeRows =
    u"__[警]\r\n"
    u"　(　 ) ('Ａ`)('Ａ`)\r\n"
    u"　(　 )Ｖノ ）. ノ ）ヽ(ﾟ∀ﾟ)ノヽ(ﾟ∀ﾟ)ノヽ(ﾟ∀ﾟ)ノ.ヽ(ﾟ∀ﾟ)ノ.ヽ国ノヽ国ノ.ヽ国ノ\r\n"
    u"　 | |　　| | .　| | 　. <　>　　 <　>　 　 <　>　 　 <　>　 . <　>　<　>　 <　>";
const std::u16string kOneBearerAlone =
    u"__[警]\r\n"
    u"　(　 )\r\n"
    u"　(　 )＼_国ノ\r\n"
    u"　 | |　　.<　>";

struct KnownPicture {
  const char* name;
  ProcessionChoices choices;
  PictureLines lines;  // expected
  std::uint64_t length;
};

void PrintTo(const KnownPicture& example, std::ostream* out) { *out << example.name; }

std::vector<KnownPicture> KnownPictures() {
  const std::u16string_view top = TopLineStart, face = FaceLineStart, body = BodyLineStart,
                            legs = LegLineStart;
  return {
      {"ThreeMarchersFace0",
       Choices(3, 0, false, 0, 0, kFaceItem0),
       {Cat({top}), Cat({face, SpacerSpace, kFace0, kFace0, kFace0}),
        Cat({body, BodyFirst, BodyDot, BodyDot}), Cat({legs, LegsFirst, LegsDot, LegsDot})},
       74},
      {"ThreeMarchersFace0WithEars",
       Choices(3, 0, true, 0, 0, kFaceItem0),
       {Cat({top, EarsSpace, EarsPlain, EarsPlain}),
        Cat({face, SpacerSpace, kFace0, kFace0, kFace0}), Cat({body, BodyFirst, BodyDot, BodyDot}),
        Cat({legs, LegsFirst, LegsDot, LegsDot})},
       81},
      {"FourMarchersFace4WithEars",
       Choices(4, 4, true, 0, 0, kFaceItem4),
       {Cat({top, EarsWide, EarsDot, EarsDot, EarsDot}),
        Cat({face, SpacerSpaceDot, kFace4, SpacerDot, kFace4, kFace4, SpacerDot, kFace4}),
        Cat({body, BodyFirst, BodyWide, BodyWide, BodyWide}),
        Cat({legs, LegsFirst, LegsWide, LegsDotWide, LegsWide})},
       103},
      {"ThreeMarchersFace5WithEars",
       Choices(3, 5, true, 0, 0, kFaceItem5),
       {Cat({top, EarsSpace, EarsSpace, EarsSpace}),
        Cat({face, SpacerSpace, kFace5, kFace5, SpacerDot, kFace5}),
        Cat({body, BodyFirst, BodyDotWide, BodyWide}),
        Cat({legs, LegsFirst, LegsDotWide, LegsDotWide})},
       85},
      {"FiveMarchersFace1",
       Choices(5, 1, false, 0, 0, kFaceItem1),
       {Cat({top}), Cat({face, SpacerSpace, kFace1, kFace1, SpacerDot, kFace1, kFace1, kFace1}),
        Cat({body, BodyFirst, BodyWide, BodyWide, BodyWide, BodyWide}),
        Cat({legs, LegsFirst, LegsWide, LegsDotWide, LegsWide, LegsWide})},
       5 + 32 + 25 + 36 + 6},
      {"CheerersAndSignsWithoutMarchers",
       Choices(0, 0, true, 3, 2, kFaceItem0),
       {Cat({top}), Cat({face}),
        Cat({body, CheerFirstAlone, CheerBody, CheerBody, SignBody, SignBody}),
        Cat({legs, CheerLegsFirstAlone, CheerLegs, CheerLegs, SignLegsAfterCheer, SignLegsEven})},
       85},
      {"AllThreeRows",
       Choices(2, 0, false, 4, 3, kFaceItem0),
       {Cat({top}), Cat({face, SpacerSpace, kFace0, kFace0}),
        Cat({body, BodyFirst, BodyDot, CheerBody, CheerBody, CheerBody, CheerBodyDots, SignBody,
             SignBody, SignBodyDot}),
        Cat({legs, LegsFirst, LegsDot, CheerLegsFirst, CheerLegs, CheerLegs, CheerLegs,
             SignLegsAfterMarch, SignLegsEven, SignLegsOdd})},
       140},
      {"OneSignBearerAlone",
       Choices(0, 0, false, 0, 1, kFaceItem0),
       {Cat({top}), Cat({face}), Cat({body, SignFirstAlone}), Cat({legs, SignLegsFirstAlone})},
       36},
      {"OneCheererAlone",
       Choices(0, 0, false, 1, 0, kFaceItem0),
       {Cat({top}), Cat({face}), Cat({body, CheerFirstAlone}), Cat({legs, CheerLegsFirstAlone})},
       42},
  };
}

class KnownPictureTest : public ::testing::TestWithParam<KnownPicture> {};

TEST_P(KnownPictureTest, ComposesTheWholeText) {
  const KnownPicture& example = GetParam();
  const PictureLines built = BuildLines(example.choices);
  EXPECT_EQ(built.TopLine, example.lines.TopLine);
  EXPECT_EQ(built.FaceLine, example.lines.FaceLine);
  EXPECT_EQ(built.BodyLine, example.lines.BodyLine);
  EXPECT_EQ(built.LegLine, example.lines.LegLine);

  const std::u16string picture = ComposePicture(example.choices);
  EXPECT_EQ(picture, JoinPicture(example.lines));
  EXPECT_EQ(picture.size(), example.length);
  EXPECT_EQ(PictureLength(example.choices), example.length);
}

INSTANTIATE_TEST_SUITE_P(Examples, KnownPictureTest, ::testing::ValuesIn(KnownPictures()),
                         [](const ::testing::TestParamInfo<KnownPicture>& info) {
                           return std::string(info.param.name);
                         });

TEST(ComposePictureTest, MatchesTextTypedAsItLooks) {
  EXPECT_EQ(ComposePicture(Choices(3, 0, false, 0, 0, kFaceItem0)), kThreeMarchersOfFace0);
  EXPECT_EQ(ComposePicture(Choices(0, 0, false, 0, 0)), kPolicemanAlone);
  EXPECT_EQ(ComposePicture(Choices(3, 0, true, 0, 0, kFaceItem0)), kThreeMarchersOfFace0WithEars);
  EXPECT_EQ(ComposePicture(Choices(4, 4, true, 0, 0, kFaceItem4)), kFourMarchersOfFace4);
  EXPECT_EQ(ComposePicture(Choices(3, 5, true, 0, 0, kFaceItem5)), kThreeMarchersOfFace5);
  EXPECT_EQ(ComposePicture(Choices(0, 0, false, 3, 2)), kCheerersAndBearers);
  EXPECT_EQ(ComposePicture(Choices(2, 0, false, 4, 3, kFaceItem0)), kAllThreeRows);
  EXPECT_EQ(ComposePicture(Choices(0, 0, false, 0, 1)), kOneBearerAlone);
}

TEST(ComposePictureTest, PolicemanStandsAloneWhenNoCountIsPositive) {
  for (const auto& [marchers, cheers, signs] :
       std::vector<std::tuple<int, int, int>>{{0, 0, 0}, {-1, 0, 0}, {0, -1, -1}, {-5, -2, -7}}) {
    for (bool ears : {false, true}) {
      const std::u16string picture = ComposePicture(Choices(marchers, 1, ears, cheers, signs));
      EXPECT_EQ(picture, kPolicemanAlone) << marchers << " " << cheers << " " << signs;
      EXPECT_EQ(picture.size(), 27u);
    }
  }
}

TEST(ComposePictureTest, IgnoresTemplateChoices) {
  ProcessionChoices choices = Choices(4, 2, true, 3, 3);
  const std::u16string plain = ComposePicture(choices);
  choices.TemplateName.push_back(u'x');
  choices.TemplateOnly = true;
  EXPECT_EQ(ComposePicture(choices), plain);
}

// ComposePicture writes the lines straight into the result; it must agree with building the
// lines row by row and joining them, and PictureLength must predict both.
TEST(ComposePictureTest, AgreesWithRowsAndPredictedLength) {
  const std::vector<std::u16string> faceTexts = {kFaceItem1, u"", u"ab", kFaceItem0};
  for (int face = -1; face <= 6; ++face) {
    for (bool ears : {false, true}) {
      const std::u16string& faceText = faceTexts[static_cast<std::size_t>(face + 1) % 4];
      for (int marchers = -3; marchers <= 13; ++marchers) {
        for (int cheers = -3; cheers <= 13; ++cheers) {
          for (int signs = -3; signs <= 13; ++signs) {
            const ProcessionChoices choices =
                Choices(marchers, static_cast<std::int16_t>(face), ears, cheers, signs, faceText);
            const std::u16string picture = ComposePicture(choices);
            const PictureLines lines = BuildLines(choices);
            ASSERT_EQ(picture, JoinPicture(lines))
                << face << " " << ears << " " << marchers << " " << cheers << " " << signs;
            ASSERT_EQ(PictureLength(choices), picture.size());
            const LineLengths lengths = PictureLineLengths(choices);
            ASSERT_EQ(lengths.Top, lines.TopLine.size());
            ASSERT_EQ(lengths.Face, lines.FaceLine.size());
            ASSERT_EQ(lengths.Body, lines.BodyLine.size());
            ASSERT_EQ(lengths.Leg, lines.LegLine.size());
          }
        }
      }
    }
  }
}

// Long rows are copied in chunks rather than written figure by figure; the text must still be
// figure i's fragments at every i, across chunk boundaries and with partial periods at the end.
PictureLines FigureByFigure(const ProcessionChoices& c) {
  PictureLines lines = StartPictureLines();
  const std::u16string face = c.FaceText.substr(0, 5);
  for (std::int64_t i = 1; i <= c.MarcherCount; ++i) {
    const MarcherFragments m = MarcherRow(i, c.FaceIndex);
    if (c.Ears) lines.TopLine.append(m.Ears);
    lines.FaceLine.append(m.Spacer).append(face);
    lines.BodyLine.append(m.Body);
    lines.LegLine.append(m.Legs);
  }
  for (std::int64_t i = 1; i <= c.CheerCount; ++i) {
    const FigureFragments f = CheererRow(i, c.MarcherCount);
    lines.BodyLine.append(f.Body);
    lines.LegLine.append(f.Legs);
  }
  for (std::int64_t i = 1; i <= c.SignCount; ++i) {
    const FigureFragments f = SignBearerRow(i, c.MarcherCount, c.CheerCount);
    lines.BodyLine.append(f.Body);
    lines.LegLine.append(f.Legs);
  }
  return lines;
}

TEST(ComposePictureTest, LongRowsMatchFigureByFigure) {
  for (int face : {0, 1, 4, 5}) {
    for (int count : {997, 1000, 1001, 1002, 1003, 4099, 20000}) {
      const ProcessionChoices choices = Choices(count, static_cast<std::int16_t>(face), true,
                                                count + face, count + 1, kFaceItem1);
      const std::u16string picture = ComposePicture(choices);
      ASSERT_EQ(picture, JoinPicture(FigureByFigure(choices))) << face << " " << count;
      ASSERT_EQ(PictureLength(choices), picture.size());
      ASSERT_EQ(JoinPicture(BuildLines(choices)), picture);
    }
  }
}

TEST(PictureLengthTest, LargestCountsDoNotOverflow) {
  const std::uint64_t n = 2147483647;
  const LineLengths lengths = PictureLineLengths(Choices(2147483647, 4, true, 0, 0));
  EXPECT_EQ(lengths.Top, 5 + 3 * n);   // every ear fragment of face 4 is 3 code units
  EXPECT_EQ(lengths.Body, 5 + 4 * n);  // and every body fragment 4
  const std::uint64_t all = PictureLength(Choices(2147483647, 4, true, 2147483647, 2147483647));
  EXPECT_GT(all, n * 39);  // at least 18, 14 and 7 code units per marcher, cheerer, bearer
  EXPECT_EQ(PictureLength(Choices(-2147483647 - 1, 0, true, -2147483647 - 1, -1)), 27u);
}

struct PlaceCase {
  const char* name;
  bool templateOnly;
  std::u16string templateName;
  std::u16string body;
  std::u16string expected;
};

void PrintTo(const PlaceCase& c, std::ostream* out) { *out << c.name; }

class PlaceOutputTest : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(PlaceOutputTest, ChoosesTheNewText) {
  const PlaceCase& c = GetParam();
  EXPECT_EQ(PlaceOutput(u"P1\r\nP2", c.templateName, c.templateOnly, c.body), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PlaceOutputTest,
    ::testing::Values(PlaceCase{"PictureOnly", false, u"", u"", u"P1\r\nP2"},
                      PlaceCase{"PictureOnlyIgnoresBody", false, u"", u"B\r\n", u"P1\r\nP2"},
                      PlaceCase{"PictureAndTemplate", false, u"T", u"B1\r\nB2\r\n",
                                u"P1\r\nP2\r\n\r\nB1\r\nB2\r\n"},
                      PlaceCase{"PictureAndMissingTemplate", false, u"T", u"", u"P1\r\nP2\r\n\r\n"},
                      PlaceCase{"TemplateOnlyWithoutName", true, u"", u"B\r\n", u""},
                      PlaceCase{"TemplateOnly", true, u"T", u"B1\r\nB2\r\n", u"B1\r\nB2\r\n"},
                      PlaceCase{"TemplateOnlyMissing", true, u"T", u"", u""}),
    [](const ::testing::TestParamInfo<PlaceCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace koron
