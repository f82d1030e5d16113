#include "templates/template_list.h"

#include <gtest/gtest.h>

#include <unicode/ucnv.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
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
  // Within a limit: the body up to it, nothing past it (an empty body fits any limit).
  const std::uint64_t size = c.body.size();
  for (std::uint64_t limit : {size, size + 1, size - 1, std::uint64_t{0}, std::uint64_t{4}}) {
    SCOPED_TRACE(limit);
    const auto expected = size <= limit ? std::optional(c.body) : std::nullopt;
    EXPECT_EQ(FindTemplateBodyWithin(path, c.sought, limit), expected);
    ASSERT_TRUE(reader.OpenBytes(c.bytes));
    EXPECT_EQ(FindTemplateBodyWithin(reader, c.sought, limit), expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, TemplateFile,
    ::testing::Values(
        FileCase{"EmptyFile", "", {}, u"a", u""},
        FileCase{"HeaderOnLastLineHasNoBody", "[a]\r\n[a]", {u"a", u"a"}, u"a", u""},
        // The header that ends an entry without body lines is a candidate too, however many
        // headers of the name stand together.
        FileCase{"OneHeader", "[a]\r\nx", {u"a"}, u"a", u"x\r\n"},
        FileCase{"TwoAdjacentHeaders", "[a]\r\n[a]\r\nx", {u"a", u"a"}, u"a", u"x\r\n"},
        FileCase{
            "ThreeAdjacentHeaders", "[a]\r\n[a]\r\n[a]\r\nx", {u"a", u"a", u"a"}, u"a", u"x\r\n"},
        FileCase{"FourAdjacentHeaders",
                 "[a]\r\n[a]\r\n[a]\r\n[a]\r\nx",
                 {u"a", u"a", u"a", u"a"},
                 u"a",
                 u"x\r\n"},
        FileCase{"EndingHeaderIsACandidate",
                 "[a]\r\n[a]\r\ny\r\n[a]\r\nz",
                 {u"a", u"a", u"a"},
                 u"a",
                 u"y\r\n"},
        FileCase{"OtherNamesBetween",
                 "[a]\r\n[b]\r\n[a]\r\n[a]\r\n[b]\r\nx\r\n[a]\r\ny",
                 {u"a", u"b", u"a", u"a", u"b", u"a"},
                 u"a",
                 u"y\r\n"},
        FileCase{"BracketsAloneNameTheEmptyName", "[]\r\nx", {u""}, u"x", u""},
        FileCase{"NothingTrimmed", "[ a ]\r\nx\r\n[a]\r\ny", {u" a ", u"a"}, u" a ", u"x\r\n"},
        FileCase{"InnerBracketsBelongToName", "[[a]]\r\nx", {u"[a]"}, u"[a]", u"x\r\n"},
        FileCase{"BodyLinesOfEveryShape",
                 "[a]\r\n[\r\n]\r\n\r\nb\r\n[b\r\nb]\r\n [b]\r\n[b] \r\n",
                 {u"a"},
                 u"a",
                 u"[\r\n]\r\n\r\nb\r\n[b\r\nb]\r\n [b]\r\n[b] \r\n"},
        FileCase{"LinesBeforeFirstHeaderIgnored", "x\r\ny\r\n[a]\r\nz", {u"a"}, u"a", u"z\r\n"},
        FileCase{
            "LineFeedsAloneEndLines", "[a]\nx\ny\n\n[b]\nz", {u"a", u"b"}, u"a", u"x\r\ny\r\n\r\n"},
        FileCase{"StrayLineFeedInCrLfFile", "[a]\r\nx\ny\r\n[b]", {u"a", u"b"}, u"a", u"x\ny\r\n"},
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
                 u"\uFF3C\r\n"},
        // As a Linux editor saves: UTF-8 without the mark, LF. The last byte of "あ" (0x82) is a
        // code page 932 lead byte, which would take the bracket.
        FileCase{"Utf8WithoutMark",
                 "[\xE3\x81\x82]\n\xEF\xBC\xBC\n[\xE3\x82\xBD]\nx\n",
                 {u"\u3042", u"\u30BD"},
                 u"\u3042",
                 u"\uFF3C\r\n"},
        FileCase{"Utf16Le",
                 testing::Utf16File(u"[\u732B]\r\n\uFF3C\r\n[\U0001F600]\r\nx"),
                 {u"\u732B", u"\U0001F600"},
                 u"\u732B",
                 u"\uFF3C\r\n"},
        // A header too long to hold is told by its end, looked at ahead in UTF-16 too.
        FileCase{"Utf16BeLongHeaderEndsBody",
                 testing::Utf16File(u"[a]\nx\n[" + std::u16string(5000, u'\u732B') + u"]\ny", true),
                 {u"a", std::u16string(5000, u'\u732B')},
                 u"a",
                 u"x\r\n"},
        FileCase{"Cp932StaysCp932",
                 "[\xC3\xA8]\r\n\x83\x5C\x94\x4C\r\n[\x83\x5C]\r\n\xC3\xA8",
                 {u"\uFF83\uFF68", u"\u30BD"},
                 u"\uFF83\uFF68",
                 u"\u30BD\u732B\r\n"},
        FileCase{
            "Cp932WithLineFeeds", "[\x83\x5C]\n\x94\x4C\n", {u"\u30BD"}, u"\u30BD", u"\u732B\r\n"},
        // The choice is made from the first 64 KiB: UTF-8 beyond them reads as code page 932.
        FileCase{"FirstNonAsciiPastFirstBlock",
                 std::string(70000, '-') + "\r\n[\xE7\x8C\xAB]\r\nx",
                 {u"\u8FEA\uFF6B"},
                 u"\u8FEA\uFF6B",
                 u"x\r\n"},
        // Lines too long for the room left are told apart without being read whole.
        FileCase{"LongHeaderEndsBody",
                 "[a]\r\nx\r\n[" + std::string(5000, 'b') + "]\r\ny",
                 {u"a", std::u16string(5000, u'b')},
                 u"a",
                 u"x\r\n"},
        // A name past the length that is listed is still looked up.
        FileCase{"NamesListedUpToTheirLimit",
                 "[" + std::string(kMaxTemplateNameLength, 'n') + "]\r\nx\r\n[" +
                     std::string(kMaxTemplateNameLength + 1, 'n') + "]\r\ny",
                 {std::u16string(kMaxTemplateNameLength, u'n')},
                 std::u16string(kMaxTemplateNameLength + 1, u'n'),
                 u"y\r\n"},
        FileCase{"LongLineWithBracketHalfIsBody",
                 "[a]\r\nx\r\n[" + std::string(5000, 'b') + "\x81]\r\n[b]",
                 {u"a", u"b"},
                 u"a",
                 u"x\r\n[" + std::u16string(4999, u'b') + u"b\u2010\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// A body far past the limit, on one line, costs neither its size in memory nor reading it whole
// (the line is sparse, so reading it would be quick but take its size in memory).
TEST(TemplateFile, HugeBodyIsRefusedEarly) {
  ScratchDir dir;
  constexpr std::uint64_t kHuge = std::uint64_t{200} << 20;
  constexpr std::uint64_t kLimit = 200000;
  const std::string plain = dir.Write("plain.txt", "[a]\r\n");
  std::filesystem::resize_file(plain, kHuge);
  // A line that begins like a header is read through to its end, still without holding it.
  const std::string bracket = dir.Write("bracket.txt", "[a]\r\n[");
  std::filesystem::resize_file(bracket, kHuge);
  for (const std::string& path : {plain, bracket}) {
    const long growth = testing::PeakMemoryGrowthKiB(
        [&path] { return FindTemplateBodyWithin(path, u"a", kLimit) == std::nullopt; });
    EXPECT_GE(growth, 0) << path << " gave a body";
    EXPECT_LT(growth, 16 * 1024) << path;
  }
}

// Names are read from lines of any length without holding them; a header too long to give a
// usable name is passed over.
TEST(TemplateFile, LongLinesAreListedWithoutHoldingThem) {
  ScratchDir dir;
  constexpr std::uint64_t kLong = std::uint64_t{200} << 20;
  const std::string plain = dir.Write("plain.txt", "[a]\r\nx\r\n");
  std::filesystem::resize_file(plain, kLong);
  const std::string header = dir.Write("header.txt", "[a]\r\n[");
  std::filesystem::resize_file(header, kLong);
  std::ofstream(header, std::ios::app) << "]\r\n[b]";
  for (const auto& [path, names] :
       {std::pair(plain, Names{u"a"}), std::pair(header, Names{u"a", u"b"})}) {
    const long growth =
        testing::PeakMemoryGrowthKiB([&] { return ListTemplateNames(path) == names; });
    EXPECT_GE(growth, 0) << path << " gave other names";
    EXPECT_LT(growth, 16 * 1024) << path;
  }
}

// Both example lists are code page 932 with 14 names each, and read the same once converted
// to UTF-8 without the mark, with CR LF or with LF.
TEST(TemplateFile, ExamplesInEveryEncoding) {
  ScratchDir dir;
  for (const char* name : {"AAList_01.txt", "AAList_02.txt"}) {
    SCOPED_TRACE(name);
    const std::string path = std::string(KORON_EXAMPLES_DIR) + "/" + name;
    const std::string cp932 = ScratchDir::Read(path);
    LineReader reader;
    ASSERT_TRUE(reader.Open(path));
    EXPECT_FALSE(reader.IsUtf8());
    EXPECT_FALSE(reader.LfEndsLines());
    const Names names = ListTemplateNames(path);
    EXPECT_EQ(names.size(), 14u);

    std::string utf8(cp932.size() * 3, '\0');
    UErrorCode error = U_ZERO_ERROR;
    utf8.resize(static_cast<std::size_t>(
        ucnv_convert("UTF-8", "windows-31j", utf8.data(), static_cast<int32_t>(utf8.size()),
                     cp932.data(), static_cast<int32_t>(cp932.size()), &error)));
    ASSERT_TRUE(U_SUCCESS(error)) << u_errorName(error);
    std::string utf8Lf;
    for (char c : utf8) {
      if (c != '\r') utf8Lf += c;
    }
    for (const std::string& bytes : {utf8, utf8Lf}) {
      const std::string converted = dir.Write(name, bytes);
      ASSERT_TRUE(reader.Open(converted));
      EXPECT_TRUE(reader.IsUtf8());
      EXPECT_EQ(ListTemplateNames(converted), names);
      for (const std::u16string& sought : names) {
        EXPECT_EQ(FindTemplateBody(converted, sought), FindTemplateBody(path, sought));
      }
    }
  }
}

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
