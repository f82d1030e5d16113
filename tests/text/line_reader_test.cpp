#include "text/line_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "tests/text/scratch_dir.h"

namespace koron {
namespace {

using Lines = std::vector<std::u16string>;

Lines ReadAll(LineReader& reader) {
  Lines lines;
  std::u16string line;
  while (reader.NextLine(line)) lines.push_back(line);
  EXPECT_FALSE(reader.failed());
  return lines;
}

// Reads the bytes from memory with several chunk sizes (so that every terminator meets a chunk
// boundary somewhere) and once from a file; all must agree.
Lines ReadEveryWay(const std::string& bytes) {
  testing::ScratchDir dir;
  LineReader from_file;
  EXPECT_TRUE(from_file.Open(dir.Write("lines.txt", bytes)));
  const Lines expected = ReadAll(from_file);
  for (std::size_t chunk : {1, 2, 3, 5, 4096}) {
    LineReader reader(chunk);
    EXPECT_TRUE(reader.OpenBytes(bytes));
    EXPECT_EQ(ReadAll(reader), expected) << "chunk size " << chunk;
  }
  return expected;
}

struct LineCase {
  const char* name;
  std::string bytes;
  Lines lines;
};

class LineRules : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineRules, SplitsAsExpected) { EXPECT_EQ(ReadEveryWay(GetParam().bytes), GetParam().lines); }

INSTANTIATE_TEST_SUITE_P(
    Terminators, LineRules,
    ::testing::Values(LineCase{"EmptyFileHasNoLines", "", {}},
                      LineCase{"LastLineNeedsNoTerminator", "a\r\nb", {u"a", u"b"}},
                      LineCase{"FinalCrLfStartsNoLine", "a\r\n", {u"a"}},
                      LineCase{"FinalCrStartsNoLine", "a\r", {u"a"}},
                      LineCase{"LoneCrLf", "\r\n", {u""}}, LineCase{"LoneCr", "\r", {u""}},
                      LineCase{"EmptyLinesKept", "\r\n\r\nx\r\n\r\n", {u"", u"", u"x", u""}},
                      LineCase{"CrAloneEndsLine", "a\rb\rc", {u"a", u"b", u"c"}},
                      LineCase{"CrCrIsEmptyLineBetween", "a\r\rb", {u"a", u"", u"b"}},
                      LineCase{"CrCrLf", "a\r\r\nb", {u"a", u"", u"b"}},
                      LineCase{"LfAloneIsOrdinary", "a\nb\n", {u"a\nb\n"}},
                      LineCase{"LfAfterCrLfBelongsToNextLine", "a\r\n\nb", {u"a", u"\nb"}},
                      LineCase{"LfBeforeCrLf", "a\n\r\nb", {u"a\n", u"b"}},
                      LineCase{"OnlyLf", "\n", {u"\n"}},
                      LineCase{
                          "NulIsOrdinary", std::string("a\0b", 3), {std::u16string(u"a\0b", 3)}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LineReader, LineLongerThanManyChunks) {
  const std::string longer(300000, 'x');
  const std::string bytes = "a\r\n" + longer + "\r\n" + longer + "\rb";
  const std::u16string wide(longer.begin(), longer.end());
  EXPECT_EQ(ReadEveryWay(bytes), (Lines{u"a", wide, wide, u"b"}));
}

struct DecodeCase {
  const char* name;
  std::string bytes;
  std::u16string text;
};

class Decoding : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(Decoding, OneLine) {
  const Lines lines = ReadEveryWay(GetParam().bytes);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], GetParam().text);
}

// Microsoft's code page 932, not strict Shift_JIS: text art depends on these.
INSTANTIATE_TEST_SUITE_P(
    Cp932, Decoding,
    ::testing::Values(DecodeCase{"BackslashIsBackslash", "\x5C", u"\u005C"},
                      DecodeCase{"TildeIsTilde", "\x7E", u"\u007E"},
                      DecodeCase{"FullwidthReverseSolidus", "\x81\x5F", u"\uFF3C"},
                      DecodeCase{"FullwidthTilde", "\x81\x60", u"\uFF5E"},
                      DecodeCase{"FullwidthHyphenMinus", "\x81\x7C", u"\uFF0D"},
                      DecodeCase{"ParallelTo", "\x81\x61", u"\u2225"},
                      DecodeCase{"FullwidthNotSign", "\x81\xCA", u"\uFFE2"},
                      DecodeCase{"NecRow13CircledOne", "\x87\x40", u"\u2460"},
                      DecodeCase{"NecSelectedIbmExtension", "\xED\x40", u"\u7E8A"},
                      DecodeCase{"IbmExtensionSmallRomanOne", "\xFA\x40", u"\u2170"},
                      DecodeCase{"UserDefinedArea", "\xF0\x40", u"\uE000"},
                      DecodeCase{"IdeographicSpace", "\x81\x40", u"\u3000"},
                      DecodeCase{"FullwidthParenAndV", "\x81\x6A\x82\x75", u"\uFF09\uFF36"},
                      DecodeCase{"HalfwidthSemiVoicedMark", "\xDF", u"\uFF9F"},
                      DecodeCase{"ProlongedSoundMarkNotBracket", "\x81\x5B", u"\u30FC"},
                      DecodeCase{"KatakanaZoNotBracket", "\x83\x5D", u"\u30BE"},
                      DecodeCase{"ControlBytesAreThemselves",
                                 "a\x1A\x1C\x7F"
                                 "b",
                                 u"a\u001A\u001C\u007F"
                                 u"b"},
                      DecodeCase{"MixedText",
                                 "(\x81\x5F"
                                 "a\x83\x5D)",
                                 u"(\uFF3C"
                                 u"a\u30BE)"}),
    [](const auto& info) { return std::string(info.param.name); });

// Bad bytes: one U+FFFD for each bad sequence, the rest of the line read on.
INSTANTIATE_TEST_SUITE_P(
    InvalidCp932, Decoding,
    ::testing::Values(DecodeCase{"LeadByteAtLineEnd", "ab\x81", u"ab\uFFFD"},
                      DecodeCase{"LeadByteBeforeCr", "\x81\r", u"\uFFFD"},
                      DecodeCase{"LeadByteBeforeLf", "\x81\n", u"\uFFFD\n"},
                      DecodeCase{"LeadByteBeforeBlank", "\x81 a", u"\uFFFD a"},
                      DecodeCase{"LeadByteBeforeDelete", "\x81\x7F", u"\uFFFD\u007F"},
                      DecodeCase{"LoneA0", "\xA0", u"\uFFFD"},
                      DecodeCase{"Lone80", "\x80", u"\uFFFD"},
                      DecodeCase{"LoneFDFEFF",
                                 "\xFD"
                                 "a\xFE"
                                 "b\xFF",
                                 u"\uFFFD"
                                 u"a\uFFFD"
                                 u"b\uFFFD"},
                      DecodeCase{"UnassignedPairIsOneSequence",
                                 "\x85\x40"
                                 "a",
                                 u"\uFFFD"
                                 u"a"},
                      DecodeCase{"GoodAfterBad", "\xFF\x82\xA0", u"\uFFFD\u3042"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LineReader, BadBytesDoNotStopReading) {
  EXPECT_EQ(ReadEveryWay("\x81\r\nA\r\xFF\r\n\x81"),
            (Lines{u"\uFFFD", u"A", u"\uFFFD", u"\uFFFD"}));
}

// A file that starts with the UTF-8 byte-order mark is UTF-8; the mark is not text.
INSTANTIATE_TEST_SUITE_P(
    Utf8WithMark, Decoding,
    ::testing::Values(DecodeCase{"MarkIsNotText",
                                 "\xEF\xBB\xBF"
                                 "a",
                                 u"a"},
                      DecodeCase{"Japanese", "\xEF\xBB\xBF[\xE7\x8C\xAB]", u"[\u732B]"},
                      DecodeCase{"Supplementary", "\xEF\xBB\xBF\xF0\x9F\x98\x80", u"\U0001F600"},
                      DecodeCase{"ControlBytes", "\xEF\xBB\xBF\x1A\x7F", u"\u001A\u007F"},
                      DecodeCase{"Invalid",
                                 "\xEF\xBB\xBF"
                                 "a\xFF"
                                 "b\xE3\x81",
                                 u"a\uFFFD"
                                 u"b\uFFFD"},
                      DecodeCase{"SecondMarkIsText", "\xEF\xBB\xBF\xEF\xBB\xBF", u"\uFEFF"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LineReader, MarkAloneIsEmptyFile) {
  EXPECT_EQ(ReadEveryWay("\xEF\xBB\xBF"), Lines{});
  EXPECT_EQ(ReadEveryWay("\xEF\xBB\xBF\r\n"), Lines{u""});
}

TEST(LineReader, WithoutMarkUtf8BytesAreCp932) {
  // "猫" in UTF-8 read as code page 932: never the cat, and never a crash.
  const Lines lines = ReadEveryWay("\xE7\x8C\xAB");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0], u"\u732B");
}

TEST(LineReader, RawLinesAreTheBytes) {
  LineReader reader(2);
  ASSERT_TRUE(reader.OpenBytes("[\x83\x5D]\r\nx"));
  std::string_view raw;
  ASSERT_TRUE(reader.NextRawLine(raw));
  EXPECT_EQ(raw, "[\x83\x5D]");
  ASSERT_TRUE(reader.NextRawLine(raw));
  EXPECT_EQ(raw, "x");
  EXPECT_FALSE(reader.NextRawLine(raw));
  EXPECT_FALSE(reader.NextRawLine(raw));
}

TEST(LineReader, CannotOpen) {
  testing::ScratchDir dir;
  LineReader reader;
  EXPECT_FALSE(reader.Open(dir.Path("missing.txt")));
  EXPECT_FALSE(reader.Open(dir.path()));
  ASSERT_EQ(::mkfifo(dir.Path("pipe").c_str(), 0600), 0);
  EXPECT_FALSE(reader.Open(dir.Path("pipe")));  // and does not wait for a writer
  std::u16string line;
  EXPECT_FALSE(reader.NextLine(line));
}

TEST(LineReader, ReopenStartsAfresh) {
  testing::ScratchDir dir;
  LineReader reader(1);
  ASSERT_TRUE(reader.Open(dir.Write("a.txt",
                                    "\xEF\xBB\xBF"
                                    "a\r\nrest")));
  std::u16string line;
  ASSERT_TRUE(reader.NextLine(line));
  ASSERT_TRUE(reader.Open(dir.Write("b.txt", "\x81\x5F")));
  EXPECT_FALSE(reader.is_utf8());
  ASSERT_TRUE(reader.NextLine(line));
  EXPECT_EQ(line, u"\uFF3C");
  EXPECT_FALSE(reader.NextLine(line));
}

}  // namespace
}  // namespace koron
