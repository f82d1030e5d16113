#include "text/number_reading.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

namespace koron {
namespace {

struct NumberCase {
  std::u16string text;
  std::optional<std::int32_t> expected;  // std::nullopt: out of range
};

// Shows the text in failure messages, non-ASCII code units as escapes.
void PrintTo(const NumberCase& c, std::ostream* out) {
  *out << '"';
  for (char16_t unit : c.text) {
    if (unit >= 0x20 && unit < 0x7F) {
      *out << static_cast<char>(unit);
    } else {
      *out << "\\u" << std::hex << static_cast<int>(unit) << std::dec;
    }
  }
  *out << '"';
}

class ReadNumberTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(ReadNumberTest, ReadsLeadingNumber) {
  const NumberCase& c = GetParam();
  EXPECT_EQ(ReadNumber(c.text), c.expected);
  EXPECT_EQ(ReadCount(c.text), c.expected.value_or(0));
}

constexpr std::nullopt_t kFails = std::nullopt;

INSTANTIATE_TEST_SUITE_P(
    Table, ReadNumberTest,
    ::testing::Values(
        // Halves go to the even neighbour; other fractions to the nearest integer.
        NumberCase{u"2.5", 2}, NumberCase{u"3.5", 4}, NumberCase{u"-2.5", -2},
        NumberCase{u"-3.5", -4}, NumberCase{u"0.5", 0}, NumberCase{u"-0.5", 0},
        NumberCase{u"1.5", 2}, NumberCase{u"2.4999999999999999999", 2},
        NumberCase{u"2.5000000000000000001", 3}, NumberCase{u"2.50000000000000000000", 2},
        NumberCase{u"7.6", 8}, NumberCase{u"-7.6", -8},
        // Reading stops at the first character that does not fit.
        NumberCase{u"7abc", 7}, NumberCase{u"12 34", 12}, NumberCase{u"1.2.3", 1},
        NumberCase{u"3-4", 3}, NumberCase{u"0x10", 0}, NumberCase{u"5\u3000", 5},
        // No number at the start gives 0.
        NumberCase{u"abc", 0}, NumberCase{u"", 0}, NumberCase{u"-", 0}, NumberCase{u"+", 0},
        NumberCase{u".", 0}, NumberCase{u"-.", 0}, NumberCase{u"e5", 0}, NumberCase{u"inf", 0},
        NumberCase{u"-inf", 0}, NumberCase{u"nan", 0}, NumberCase{u"infinity", 0},
        NumberCase{u"+-1", 0}, NumberCase{u"x7", 0},
        // Full-width digits, signs and spaces are not part of a number.
        NumberCase{u"\uFF17", 0}, NumberCase{u"\uFF0D1", 0}, NumberCase{u"\u30001", 0},
        // Leading spaces and tabs are skipped, blanks after the sign are not.
        NumberCase{u" -1", -1}, NumberCase{u"\t 42", 42}, NumberCase{u"- 1", 0},
        NumberCase{u"+8", 8},
        // Point and fraction.
        NumberCase{u".5", 0}, NumberCase{u".6", 1}, NumberCase{u"5.", 5}, NumberCase{u"-.7", -1},
        NumberCase{u"007", 7}, NumberCase{u"0000000000000000000000000012", 12},
        // Exponents; an exponent letter without digits is not read.
        NumberCase{u"1e3", 1000}, NumberCase{u"1.5e1", 15}, NumberCase{u"1E3", 1000},
        NumberCase{u"25e-1", 2}, NumberCase{u"35e-1", 4}, NumberCase{u"1e+2", 100},
        NumberCase{u"1e", 1}, NumberCase{u"1e+", 1}, NumberCase{u"1e-", 1}, NumberCase{u"2ex", 2},
        NumberCase{u"0e999999", 0}, NumberCase{u"1e-400", 0}, NumberCase{u"123456789e-8", 1},
        NumberCase{u"0.000000002147483647e18", 2147483647},
        NumberCase{u"1e99999999999999999999999999", kFails},
        NumberCase{u"1e-99999999999999999999999999", 0},
        // The signed 32-bit boundaries.
        NumberCase{u"2147483647", 2147483647}, NumberCase{u"2147483647.4", 2147483647},
        NumberCase{u"2147483647.5", kFails}, NumberCase{u"2147483648", kFails},
        NumberCase{u"-2147483648", -2147483647 - 1}, NumberCase{u"-2147483648.5", -2147483647 - 1},
        NumberCase{u"-2147483648.51", kFails}, NumberCase{u"-2147483649", kFails},
        NumberCase{u"2147483646.5", 2147483646}, NumberCase{u"99999999999", kFails},
        NumberCase{u"9999999999", kFails}, NumberCase{u"-99999999999", kFails},
        NumberCase{u"1e400", kFails}, NumberCase{u"1e10", kFails},
        NumberCase{u"2.147483647e9", 2147483647},
        NumberCase{u"0.0000000000000000000001e31", 1000000000}));

TEST(ReadNumberTest, LongInputsAreReadInOnePass) {
  const std::u16string nines(1'000'000, u'9');
  EXPECT_EQ(ReadNumber(nines), std::nullopt);
  EXPECT_EQ(ReadNumber(u"0." + nines), 1);
  EXPECT_EQ(ReadNumber(u"0.5" + std::u16string(1'000'000, u'0')), 0);
  EXPECT_EQ(ReadNumber(u"0.5" + std::u16string(1'000'000, u'0') + u"1"), 1);
  EXPECT_EQ(ReadNumber(std::u16string(1'000'000, u'0') + u"42"), 42);
  EXPECT_EQ(ReadNumber(u"1e" + nines), std::nullopt);
  EXPECT_EQ(ReadNumber(u"1e-" + nines), 0);
  EXPECT_EQ(ReadNumber(std::u16string(1'000'000, u' ')), 0);
}

}  // namespace
}  // namespace koron
