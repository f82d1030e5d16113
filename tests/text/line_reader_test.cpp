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
  LineReader fromFile;
  EXPECT_TRUE(fromFile.Open(dir.Write("lines.txt", bytes)));
  const Lines expected = ReadAll(fromFile);
  for (std::size_t chunk : {1, 2, 3, 5, 4096}) {
    LineReader reader(chunk);
    EXPECT_TRUE(reader.OpenBytes(bytes));
    EXPECT_EQ(ReadAll(reader), expected) << "chunk size " << chunk;
  }
  return expected;
}

std::string Utf16(std::u16string_view text) { return testing::Utf16File(text); }
std::string Utf16Be(std::u16string_view text) { return testing::Utf16File(text, true); }

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
                      LineCase{"LfAfterCrLfBelongsToNextLine", "a\r\n\nb", {u"a", u"\nb"}},
                      LineCase{"LfBeforeCrLf", "a\n\r\nb", {u"a\n", u"b"}},
                      LineCase{"StrayLfInCrLfFile", "a\r\nb\nc\r\n", {u"a", u"b\nc"}},
                      LineCase{
                          "NulIsOrdinary", std::string("a\0b", 3), {std::u16string(u"a\0b", 3)}}),
    [](const auto& info) { return std::string(info.param.name); });

// Without a CR in the first 64 KiB but with a LF, every LF, CR LF and CR alone ends a line.
const std::string kFirstBlockOfX(LineReader::kDecisionBytes, 'x');
const std::u16string kWideX(kFirstBlockOfX.begin(), kFirstBlockOfX.end());

INSTANTIATE_TEST_SUITE_P(
    LineFeeds, LineRules,
    ::testing::Values(
        LineCase{"LfEndsLines", "a\nb\n", {u"a", u"b"}}, LineCase{"OnlyLf", "\n", {u""}},
        LineCase{"EmptyLinesKept", "\n\nx\n\n", {u"", u"", u"x", u""}},
        LineCase{"WithMark",
                 "\xEF\xBB\xBF"
                 "a\nb",
                 {u"a", u"b"}},
        LineCase{"CrLateEndsLinesToo",
                 "a\n" + kFirstBlockOfX + "\r\nb\rc\r\n\nd\r",
                 {u"a", kWideX, u"b", u"c", u"", u"d"}},
        LineCase{
            "LfJustInsideFirstBlock", kFirstBlockOfX.substr(1) + "\ny", {kWideX.substr(1), u"y"}},
        LineCase{
            "LfJustPastFirstBlockIsOrdinary", kFirstBlockOfX + "\ny\rz", {kWideX + u"\ny", u"z"}},
        LineCase{"LfPastMarkAndFirstBlockIsOrdinary",
                 "\xEF\xBB\xBF" + kFirstBlockOfX + "\ny",
                 {kWideX + u"\ny"}}),
    [](const auto& info) { return std::string(info.param.name); });

// Line ends are decided, and lines split, on the UTF-8 that UTF-16 turns into.
const std::u16string kKana(21845, u'\u3042');  // 65535 bytes in UTF-8

INSTANTIATE_TEST_SUITE_P(
    Utf16, LineRules,
    ::testing::Values(
        LineCase{"LeCrLf", Utf16(u"a\r\n\nb\r\n"), {u"a", u"\nb"}},
        LineCase{"LeLf", Utf16(u"a\nb\n\nc"), {u"a", u"b", u"", u"c"}},
        LineCase{"LeCr", Utf16(u"a\rb\r"), {u"a", u"b"}},
        LineCase{"BeCrLf", Utf16Be(u"a\r\n\nb\r\n"), {u"a", u"\nb"}},
        LineCase{"BeLf", Utf16Be(u"a\nb\n\nc"), {u"a", u"b", u"", u"c"}},
        LineCase{"BeCr", Utf16Be(u"a\rb\r"), {u"a", u"b"}},
        LineCase{"MarkAloneIsEmptyFile", "\xFF\xFE", {}},
        LineCase{"BeMarkAloneIsEmptyFile", "\xFE\xFF", {}},
        LineCase{"TerminatorBytesInsideAUnit", Utf16(u"\u0D0A\u0A0D"), {u"\u0D0A\u0A0D"}},
        LineCase{"NulIsOrdinary", Utf16(std::u16string(u"a\0b", 3)), {std::u16string(u"a\0b", 3)}},
        LineCase{"Utf8MarkIsText", Utf16(u"\uFEFFa"), {u"\uFEFFa"}},
        LineCase{"LfJustInsideFirstBlock", Utf16(kKana + u"\ny"), {kKana, u"y"}},
        LineCase{"LfJustPastFirstBlockIsOrdinary",
                 Utf16(kKana + u"\u3042\ny\rz"),
                 {kKana + u"\u3042\ny", u"z"}}),
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
                      DecodeCase{"KatakanaSoNotBackslash", "\x83\x5C", u"\u30BD"},
                      DecodeCase{"HalfwidthKanaLikeUtf8", "\xC3\xA8", u"\uFF83\uFF68"},
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
                      DecodeCase{"LeadByteBeforeLf", "\x81\n", u"\uFFFD"},
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

// After a UTF-16 mark, in either byte order. A code unit cut off by the end of the file, and a
// surrogate without its partner, are bad sequences; a lead surrogate and half a trail are one.
INSTANTIATE_TEST_SUITE_P(
    Utf16, Decoding,
    ::testing::Values(
        DecodeCase{"LeJapanese", Utf16(u"[\u732B]\uFF3C"), u"[\u732B]\uFF3C"},
        DecodeCase{"BeJapanese", Utf16Be(u"[\u732B]\uFF3C"), u"[\u732B]\uFF3C"},
        DecodeCase{"LeSurrogatePair", Utf16(u"a\U0001F600b"), u"a\U0001F600b"},
        DecodeCase{"BeSurrogatePair", Utf16Be(u"\U0001F600\U0001F600"), u"\U0001F600\U0001F600"},
        DecodeCase{"LeOddFinalByte", Utf16(u"a") + "b", u"a\uFFFD"},
        DecodeCase{"BeOddFinalByte", Utf16Be(u"a") + "b", u"a\uFFFD"},
        DecodeCase{"LoneLeadAtEnd", Utf16(u"a\xD800"), u"a\uFFFD"},
        DecodeCase{"LeadBeforeOther",
                   Utf16Be(u"\xD800"
                           u"b\xDBFF"),
                   u"\uFFFDb\uFFFD"},
        DecodeCase{"LoneTrail",
                   Utf16(u"\xDC00"
                         u"b\xDFFF"),
                   u"\uFFFDb\uFFFD"},
        DecodeCase{"LeadLeadTrail", Utf16(u"\xD800\xD800\xDC00"), u"\uFFFD\U00010000"},
        DecodeCase{"LeadAndHalfATrail", Utf16(u"a\xD800") + "\xDC", u"a\uFFFD"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LineReader, MarkAloneIsEmptyFile) {
  EXPECT_EQ(ReadEveryWay("\xEF\xBB\xBF"), Lines{});
  EXPECT_EQ(ReadEveryWay("\xEF\xBB\xBF\r\n"), Lines{u""});
}

// Without the mark, bytes that are valid UTF-8 with a sequence of three or more bytes are UTF-8.
INSTANTIATE_TEST_SUITE_P(
    Utf8WithoutMark, Decoding,
    ::testing::Values(
        DecodeCase{"Japanese", "[\xE7\x8C\xAB]", u"[\u732B]"},
        DecodeCase{"Supplementary", "\xF0\x9F\x98\x80", u"\U0001F600"},
        DecodeCase{"BadBytesPastFirstBlock",
                   "\xE7\x8C\xAB" + std::string(LineReader::kDecisionBytes, 'a') + "\xFF",
                   u"\u732B" + std::u16string(LineReader::kDecisionBytes, u'a') + u"\uFFFD"}),
    [](const auto& info) { return std::string(info.param.name); });

struct ChoiceCase {
  const char* name;
  std::string bytes;
  bool utf8;
  bool lf;
};

class Choices : public ::testing::TestWithParam<ChoiceCase> {};

// Made once from the first 64 KiB, the same from a file and from memory in any chunk size.
TEST_P(Choices, FromFirstBlock) {
  const ChoiceCase& c = GetParam();
  testing::ScratchDir dir;
  LineReader fromFile;
  ASSERT_TRUE(fromFile.Open(dir.Write("lines.txt", c.bytes)));
  const std::string mark = c.bytes.substr(0, 2);
  const bool utf16 = mark == "\xFF\xFE" || mark == "\xFE\xFF";
  EXPECT_EQ(fromFile.IsUtf8(), c.utf8);
  EXPECT_EQ(fromFile.IsUtf16(), utf16);
  EXPECT_EQ(fromFile.LfEndsLines(), c.lf);
  for (std::size_t chunk : {1, 2, 3, 5}) {
    LineReader reader(chunk);
    ASSERT_TRUE(reader.OpenBytes(c.bytes));
    EXPECT_EQ(reader.IsUtf8(), c.utf8) << "chunk size " << chunk;
    EXPECT_EQ(reader.IsUtf16(), utf16) << "chunk size " << chunk;
    EXPECT_EQ(reader.LfEndsLines(), c.lf) << "chunk size " << chunk;
  }
}

const std::string kCat = "\xE7\x8C\xAB";  // "猫" in UTF-8
const std::string kAs(LineReader::kDecisionBytes, 'a');

INSTANTIATE_TEST_SUITE_P(
    Encodings, Choices,
    ::testing::Values(ChoiceCase{"Empty", "", false, false},
                      ChoiceCase{"Ascii", "abc\r\n", false, false},
                      ChoiceCase{"Mark", "\xEF\xBB\xBF", true, false},
                      ChoiceCase{"ThreeByteSequence", "a" + kCat, true, false},
                      ChoiceCase{"FourByteSequence", "\xF0\x9F\x98\x80", true, false},
                      ChoiceCase{"TwoByteSequencesOnly", "\xC3\xA8\xC3\xA8", false, false},
                      ChoiceCase{"Cp932KanjiKanaAndTrail5C",
                                 "\x94\x4C\x83\x5C\xC3\xA8\x82\xA0" + kCat, false, false},
                      ChoiceCase{"OverlongTwoBytes", "\xC0\xAF" + kCat, false, false},
                      ChoiceCase{"OverlongThreeBytes", "\xE0\x80\xAF" + kCat, false, false},
                      ChoiceCase{"Surrogate", "\xED\xA0\x80" + kCat, false, false},
                      ChoiceCase{"PastU10FFFF", "\xF4\x90\x80\x80" + kCat, false, false},
                      ChoiceCase{"NeverUtf8Byte", kCat + "\xFF", false, false},
                      ChoiceCase{"MissingContinuation", kCat + "\xE7\x8C" + "a", false, false},
                      ChoiceCase{"CutByFileEnd", kCat + "\xE7\x8C", false, false},
                      ChoiceCase{"CutByFirstBlockEdge",
                                 kCat + kAs.substr(5) + "\xE7\x8C" + "\xFF\xFF", true, false},
                      ChoiceCase{"OnlyCutSequenceCountsNot", kAs.substr(2) + "\xE7\x8C\xAB", false,
                                 false},
                      ChoiceCase{"FirstNonAsciiPastFirstBlock", kAs + kCat, false, false},
                      ChoiceCase{"Utf16Le", Utf16(u"a\r\n"), true, false},
                      ChoiceCase{"Utf16BeAndLf", Utf16Be(u"a\n"), true, true},
                      ChoiceCase{"HalfAMark", "\xFF", false, false},
                      ChoiceCase{"MarkNotAtStart", "a\xFF\xFE", false, false}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    LineEnds, Choices,
    ::testing::Values(ChoiceCase{"LfAlone", "a\nb", false, true},
                      ChoiceCase{"CrLf", "a\r\nb", false, false},
                      ChoiceCase{"CrAlone", "a\rb", false, false},
                      ChoiceCase{"NoTerminator", "a", false, false},
                      ChoiceCase{"OneCrAmongLfs", "a\nb\nc\rd\n", false, false},
                      ChoiceCase{"Utf8WithMarkAndLf",
                                 "\xEF\xBB\xBF"
                                 "a\n",
                                 true, true},
                      ChoiceCase{"Utf8AndLf", kCat + "\n", true, true},
                      ChoiceCase{"CrPastFirstBlock", "a\n" + kAs + "\r\n", false, true}),
    [](const auto& info) { return std::string(info.param.name); });

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

struct CutCase {
  const char* name;
  std::string bytes;
  std::size_t maxBytes;
  std::string first;  // all of the first line, or the part of it a cut leaves
  bool cut;
  bool endsWithBracket;
  const char* next;  // the line after, or nullptr for none
};

class CutLines : public ::testing::TestWithParam<CutCase> {};

// A line longer than the caller can use is cut; the rest is read past, in any chunk size, and
// its last character still told.
TEST_P(CutLines, TellTheirEnd) {
  const CutCase& c = GetParam();
  testing::ScratchDir dir;
  const std::string path = dir.Write("lines.txt", c.bytes);
  for (std::size_t chunk : {1, 2, 3, 5, 0}) {
    for (bool askEnd : {true, false}) {
      SCOPED_TRACE(::testing::Message() << "chunk size " << chunk << ", ask end " << askEnd);
      LineReader reader(chunk);
      ASSERT_TRUE(chunk == 0 ? reader.Open(path) : reader.OpenBytes(c.bytes));
      std::string_view line;
      ASSERT_TRUE(reader.NextRawLine(line, c.maxBytes));
      EXPECT_EQ(line, c.first);
      EXPECT_EQ(reader.cut(), c.cut);
      if (askEnd) {
        EXPECT_EQ(reader.CutLineEndsWith(']'), c.cut && c.endsWithBracket);
      }
      EXPECT_EQ(reader.NextRawLine(line), c.next != nullptr);
      if (c.next != nullptr) {
        EXPECT_EQ(line, c.next);
      }
      EXPECT_FALSE(reader.cut());
      EXPECT_FALSE(reader.failed());
    }
  }
}

const std::string kLeads(300000, '\x81');

INSTANTIATE_TEST_SUITE_P(
    Lines, CutLines,
    ::testing::Values(
        CutCase{"ShortLineIsWhole", "[ab]\r\nz", 4, "[ab]", false, false, "z"},
        CutCase{"LongerLineIsCut", "[abc]\r\nz", 2, "[ab", true, true, "z"},
        CutCase{"EmptyLineNeverCut", "\r\nz", 0, "", false, false, "z"},
        CutCase{"CutLastLine", "[abc]", 1, "[a", true, true, nullptr},
        CutCase{"OtherLastByte", "[abc\r\nz", 1, "[a", true, false, "z"},
        CutCase{"LeadByteTakesTheBracket", "[ab\x81]\r\nz", 2, "[ab", true, false, "z"},
        CutCase{"TwoLeadBytesLeaveTheBracket", "[a\x81\x81]\r\nz", 1, "[a", true, true, "z"},
        CutCase{"BracketAfterEvenLeadRun", "[" + kLeads + "]\rz", 10, "[" + kLeads.substr(0, 10),
                true, true, "z"},
        CutCase{"BracketAfterOddLeadRun", "[" + kLeads.substr(1) + "]\r\nz", 10,
                "[" + kLeads.substr(0, 10), true, false, "z"},
        CutCase{"ControlByteBreaksTheRun", "[\x81\x7F\x81\x81]\r\nz", 1, "[\x81", true, true, "z"},
        CutCase{"Utf8HasNoPairs", "\xEF\xBB\xBF[a\x81]\r\nz", 2, "[a\x81", true, true, "z"},
        CutCase{"LfFile", "[abc]\nz\n", 0, "[", true, true, "z"},
        CutCase{"LongLineEndingInCr", std::string(300000, 'x') + "]\r", 1, "xx", true, true,
                nullptr},
        // A UTF-16 line is cut on the UTF-8 it turns into.
        CutCase{"Utf16", Utf16(u"[\u732Bbc]\r\nz"), 3, "[\xE7\x8C\xAB", true, true, "z"},
        CutCase{"Utf16LongLine", Utf16Be(u"[" + std::u16string(300000, u'\u732B') + u"]\r\nz"), 1,
                "[\xE7", true, true, "z"},
        CutCase{"Utf16OddByteAfterBracket", Utf16(u"[abc]") + "]", 1, "[a", true, false, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LineReader, SizeLimit) {
  testing::ScratchDir dir;
  const std::string path = dir.Write("lines.txt", "0123456789\r\n12345");
  LineReader reader;
  EXPECT_FALSE(reader.Open(path, 16));
  ASSERT_TRUE(reader.Open(path, 17));
  EXPECT_EQ(ReadAll(reader), (Lines{u"0123456789", u"12345"}));
  // A UTF-16 file is measured in its own bytes, not in the UTF-8 it turns into.
  const std::string utf16 = dir.Write("utf16.txt", Utf16(u"\u732B\u732B"));
  EXPECT_FALSE(reader.Open(utf16, 5));
  ASSERT_TRUE(reader.Open(utf16, 6));
  EXPECT_EQ(ReadAll(reader), Lines{u"\u732B\u732B"});
  // A size that lies (procfs reports 0) cannot make the reader take more than allowed.
  EXPECT_FALSE(reader.Open("/proc/self/maps", 16));
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
  ASSERT_TRUE(reader.Open(dir.Write("b.txt", Utf16(u"\u732Ba\r\nb") + "c")));
  ASSERT_TRUE(reader.NextLine(line));
  ASSERT_TRUE(reader.Open(dir.Write("c.txt", "\x81\x5F")));
  EXPECT_FALSE(reader.IsUtf8());
  EXPECT_FALSE(reader.IsUtf16());
  ASSERT_TRUE(reader.NextLine(line));
  EXPECT_EQ(line, u"\uFF3C");
  EXPECT_FALSE(reader.NextLine(line));
}

}  // namespace
}  // namespace koron
