#include "templates/template_list.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/text/scratch_dir.h"
#include "text/line_reader.h"

namespace koron {
namespace {

using testing::ScratchDir;
using Names = std::vector<std::u16string>;

constexpr char kAnimalList[] =
    "made by hand\r\n"
    "[Cat]\r\n"
    "(=o.o=)\r\n"
    "\r\n"
    "[Dog]\r\n"
    "[Bird]\r\n"
    "(v)\r\n"
    "[Dog]\r\n"
    "U-o-U\r\n"
    "[Owl]";

class AnimalList : public ::testing::Test {
 protected:
  ScratchDir dir_;
  std::string path_ = dir_.Write("AAList_02.txt", kAnimalList);
};

TEST_F(AnimalList, ListsAllHeadersInOrder) {
  EXPECT_EQ(ListTemplateNames(path_), (Names{u"Cat", u"Dog", u"Bird", u"Dog", u"Owl"}));
}

TEST_F(AnimalList, Lookups) {
  EXPECT_EQ(FindTemplateBody(path_, u"Cat"), u"(=o.o=)\r\n\r\n");
  EXPECT_EQ(FindTemplateBody(path_, u"Dog"), u"U-o-U\r\n");
  EXPECT_EQ(FindTemplateBody(path_, u"Bird"), u"(v)\r\n");
  EXPECT_EQ(FindTemplateBody(path_, u"Owl"), u"");
  EXPECT_EQ(FindTemplateBody(path_, u"cat"), u"");
  EXPECT_EQ(FindTemplateBody(path_, u"Fox"), u"");
}

struct FileCase {
  const char* name;
  std::string bytes;
  Names names;
  std::u16string sought;
  std::u16string body;
};

class TemplateFile : public ::testing::TestWithParam<FileCase> {};

TEST_P(TemplateFile, ListsAndFinds) {
  const FileCase& c = GetParam();
  ScratchDir dir;
  const std::string path = dir.Write("AAList_01.txt", c.bytes);
  EXPECT_EQ(ListTemplateNames(path), c.names);
  EXPECT_EQ(FindTemplateBody(path, c.sought), c.body);
  // The same through small chunks, so that no boundary changes the outcome.
  LineReader reader(3);
  ASSERT_TRUE(reader.OpenBytes(c.bytes));
  EXPECT_EQ(FindTemplateBody(reader, c.sought), c.body);
}

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, TemplateFile,
    ::testing::Values(
        FileCase{"EmptyFile", "", {}, u"a", u""},
        FileCase{"HeaderOnLastLineHasNoBody", "[a]\r\n[a]", {u"a", u"a"}, u"a", u""},
        FileCase{"EmptyBodyPassedOverThenFound", "[a]\r\n[a]\r\nx", {u"a", u"a"}, u"a", u""},
        FileCase{"EndingHeaderIsNotACandidate",
                 "[a]\r\n[a]\r\ny\r\n[a]\r\nz",
                 {u"a", u"a", u"a"},
                 u"a",
                 u"z\r\n"},
        FileCase{"BracketsAloneNameTheEmptyName", "[]\r\nx", {u""}, u"x", u""},
        FileCase{"NothingTrimmed", "[ a ]\r\nx\r\n[a]\r\ny", {u" a ", u"a"}, u" a ", u"x\r\n"},
        FileCase{"InnerBracketsBelongToName", "[[a]]\r\nx", {u"[a]"}, u"[a]", u"x\r\n"},
        FileCase{"BodyLinesOfEveryShape",
                 "[a]\r\n[\r\n]\r\n\r\nb\r\n[b\r\nb]\r\n [b]\r\n[b] \r\n",
                 {u"a"},
                 u"a",
                 u"[\r\n]\r\n\r\nb\r\n[b\r\nb]\r\n [b]\r\n[b] \r\n"},
        FileCase{"LinesBeforeFirstHeaderIgnored", "x\r\ny\r\n[a]\r\nz", {u"a"}, u"a", u"z\r\n"},
        FileCase{"LineFeedsAloneMakeOneLine", "[a]\nx\ny", {}, u"a", u""},
        FileCase{"LineFeedsAloneInsideAHeader", "[a\nb]\r\nx", {u"a\nb"}, u"a\nb", u"x\r\n"},
        FileCase{"LastLineWithoutTerminator", "[a]\r\nx\r\ny", {u"a"}, u"a", u"x\r\ny\r\n"},
        FileCase{"CrAloneEndsLines", "[a]\rx\r\r[b]", {u"a", u"b"}, u"a", u"x\r\n\r\n"},
        FileCase{"CaseCounts", "[Cat]\r\nx", {u"Cat"}, u"cat", u""},
        FileCase{"WidthCounts", "[\x82\x60]\r\nx\r\n[A]\r\ny", {u"\uFF21", u"A"}, u"A", u"y\r\n"},
        // Trail bytes 0x5B and 0x5D are halves of "ー" and "ゾ", never brackets.
        FileCase{"TrailByte5DIsNoBracket", "[\x83\x5D\r\nx", {}, u"\u30BE", u""},
        FileCase{"TrailByte5BIsNoBracket",
                 "\x81\x5B"
                 "a]\r\nx",
                 {},
                 u"a",
                 u""},
        FileCase{"HalvesInsideAName",
                 "[\x81\x5B\x83\x5D]\r\n\x83\x5D\r\n[x]",
                 {u"\u30FC\u30BE", u"x"},
                 u"\u30FC\u30BE",
                 u"\u30BE\r\n"},
        // 0x81 0x5D is one character (U+2010), so the line has no closing bracket.
        FileCase{"LeadByteTakesTheBracket", "[a\x81]\r\nx", {}, u"a\u2010", u""},
        FileCase{
            "LeadByteCutByLineEnd", "[a]\r\n[\x81\r\n]\r\n", {u"a"}, u"a", u"[\uFFFD\r\n]\r\n"},
        FileCase{"BadBytesInBody", "[a]\r\n\xFF\x81\r\n", {u"a"}, u"a", u"\uFFFD\uFFFD\r\n"},
        FileCase{"Cp932Text",
                 "[\x94\x4C]\r\n\x81\x5F(\x81\x4B\x83\x6D)\r\n",
                 {u"\u732B"},
                 u"\u732B",
                 u"\uFF3C(\u309C\u30CE)\r\n"},
        FileCase{"Utf8WithMark",
                 "\xEF\xBB\xBF[\xE7\x8C\xAB]\r\n\xEF\xBC\xBC\r\n",
                 {u"\u732B"},
                 u"\u732B",
                 u"\uFF3C\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TemplateFile, EmptyNameFindsNothingEvenWhenListed) {
  ScratchDir dir;
  const std::string path = dir.Write("AAList_01.txt", "[]\r\nx\r\n");
  EXPECT_EQ(FindTemplateBody(path, u""), u"");
}

TEST(TemplateFile, UnreadableFilesGiveNothing) {
  ScratchDir dir;
  std::filesystem::create_directory(dir.Path("AAList_02.txt"));
  for (const std::string& path : {dir.Path("AAList_01.txt"), dir.Path("AAList_02.txt")}) {
    EXPECT_EQ(ListTemplateNames(path), Names{});
    EXPECT_EQ(FindTemplateBody(path, u"a"), u"");
  }
}

}  // namespace
}  // namespace koron
