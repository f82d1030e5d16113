#include "posting/shift_jis_safe.h"

#include <gtest/gtest.h>

#include <ostream>

#include <algorithm>
#include <string>

#include "text/line_reader.h"

namespace koron {
namespace {

struct SafeCase {
  const char* name;
  std::u16string text;
  std::u16string safe;  // the Shift_JIS-safe text
  std::string bytes;    // its code page 932 bytes
  friend void PrintTo(const SafeCase& c, std::ostream* os) { *os << c.name; }
};

class ShiftJisSafe : public ::testing::TestWithParam<SafeCase> {};

TEST_P(ShiftJisSafe, TextBytesAndCountAgree) {
  const SafeCase& c = GetParam();
  const ShiftJisSafeText safe = MakeShiftJisSafe(c.text);
  EXPECT_EQ(safe.text, c.safe);
  EXPECT_EQ(EncodeShiftJisSafe(c.text), c.bytes);
  EXPECT_EQ(safe.bytes, c.bytes.size());
  EXPECT_EQ(ShiftJisSafeByteCount(c.text), c.bytes.size());
}

INSTANTIATE_TEST_SUITE_P(
    Characters, ShiftJisSafe,
    ::testing::Values(
        SafeCase{"Empty", u"", u"", ""}, SafeCase{"Ascii", u"__[A] |", u"__[A] |", "__[A] |"},
        SafeCase{"Kana", u"\u30B8\u30E7\u30F3", u"\u30B8\u30E7\u30F3", "\x83\x57\x83\x87\x83\x93"},
        SafeCase{"HalfWidthKana", u"\uFF9F\uFF71", u"\uFF9F\uFF71", "\xDF\xB1"},
        SafeCase{"ForAll", u"\u2200", u"\u2200", "\x81\xCD"},
        SafeCase{"EAcute", u"caf\u00E9", u"caf&#233;", "caf&#233;"},
        SafeCase{"YenSignHasNoRoundTrip", u"\u00A5", u"&#165;", "&#165;"},
        SafeCase{"WaveDashIsNotMicrosofts", u"\u301C", u"&#12316;", "&#12316;"},
        SafeCase{"FullWidthTildeIsMicrosoftsWaveDash", u"\uFF5E", u"\uFF5E", "\x81\x60"},
        SafeCase{"Heart", u"\u2665", u"&#9829;", "&#9829;"},
        SafeCase{"BeyondBmpIsOneReference", u"a\U0001F600b", u"a&#128512;b", "a&#128512;b"},
        SafeCase{"LoneHighSurrogate",
                 u"a\xD83D"
                 u"b",
                 u"a&#65533;b", "a&#65533;b"},
        SafeCase{"LoneLowSurrogateAtEnd", u"\u3042\xDE00", u"\u3042&#65533;", "\x82\xA0&#65533;"},
        SafeCase{"SwappedControlsAsThemselves", u"\x1A\x1C\x7F", u"\x1A\x1C\x7F", "\x1A\x1C\x7F"},
        SafeCase{"CrLfIsTwoBytes", u"a\r\n\u3000", u"a\r\n\u3000", "a\r\n\x81\x40"},
        SafeCase{"NulIsOneByte", std::u16string(u"\0", 1), std::u16string(u"\0", 1),
                 std::string("\0", 1)}),
    [](const auto& info) { return std::string(info.param.name); });

struct StrictCase {
  const char* name;
  std::u16string text;
  char32_t unmapped;
  std::size_t line;
  friend void PrintTo(const StrictCase& c, std::ostream* os) { *os << c.name; }
};

class Cp932Failure : public ::testing::TestWithParam<StrictCase> {};

TEST_P(Cp932Failure, NamesFirstCharacterWithoutFormAndItsLine) {
  const Cp932Encoding encoding = EncodeCp932(GetParam().text);
  EXPECT_FALSE(encoding.ok);
  EXPECT_TRUE(encoding.bytes.empty());
  EXPECT_EQ(encoding.unmapped, GetParam().unmapped);
  EXPECT_EQ(encoding.line, GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Cp932Failure,
    ::testing::Values(StrictCase{"FirstLine", u"ab\u00E9\u2665", 0xE9, 1},
                      StrictCase{"AfterCrLf", u"a\r\nb\r\n\u2665", 0x2665, 3},
                      StrictCase{"CrAndLfAloneEndLines", u"a\rb\nc\u00A5", 0xA5, 3},
                      StrictCase{"EmptyLinesCount", u"\n\r\n\r\r\U0001F600", 0x1F600, 5},
                      StrictCase{"LoneSurrogateByItsCodeUnit", u"x\r\xDC00", 0xDC00, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Cp932, EncodesWithoutReplacing) {
  const Cp932Encoding encoding = EncodeCp932(u"\uFF5E\u2200\r\n\x1A");
  EXPECT_TRUE(encoding.ok);
  EXPECT_EQ(encoding.bytes, "\x81\x60\x81\xCD\r\n\x1A");
}

// Every character the code page has must read back as itself through the list reader, and every
// other one must become its reference.
TEST(Cp932, EveryFormReadsBackThroughTheListReader) {
  std::u16string encodable;
  for (char32_t c = 0; c < 0x10000; ++c) {
    if (c == u'\r' || c == u'\n' || (c >= 0xD800 && c <= 0xDFFF)) continue;
    const std::u16string one(1, static_cast<char16_t>(c));
    if (EncodeCp932(one).ok) {
      encodable += one;
    } else {
      ASSERT_EQ(
          MakeShiftJisSafe(one).text, u"&#" +
                                          [c] {
                                            const std::string digits = std::to_string(c);
                                            return std::u16string(digits.begin(), digits.end());
                                          }() +
                                          u";")
          << "U+" << std::hex << static_cast<unsigned>(c);
    }
  }
  EXPECT_GT(encodable.size(), 9000u);  // JIS X 0208, the NEC and IBM extensions, user area
  const std::string bytes = EncodeCp932(encodable).bytes;  // the reader keeps a view of them
  LineReader reader;
  ASSERT_TRUE(reader.OpenBytes(bytes));
  std::u16string read;
  ASSERT_TRUE(reader.NextLine(read));
  const auto [left, right] =
      std::mismatch(encodable.begin(), encodable.end(), read.begin(), read.end());
  EXPECT_TRUE(left == encodable.end() && right == read.end())
      << "U+" << std::hex << static_cast<unsigned>(left == encodable.end() ? 0 : *left)
      << " reads back as U+" << static_cast<unsigned>(right == read.end() ? 0 : *right);
}

}  // namespace
}  // namespace koron
