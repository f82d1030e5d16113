#include "posting/board_profile.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "tests/text/scratch_dir.h"

namespace koron {
namespace {

struct CountCase {
  const char* name;
  std::u16string text;
  std::uint64_t bytes;  // with the 5ch profile
  friend void PrintTo(const CountCase& c, std::ostream* os) { *os << c.name; }
};

class BoardCount : public ::testing::TestWithParam<CountCase> {};

TEST_P(BoardCount, CountsAsTheBoardStores) {
  EXPECT_EQ(BoardByteCount(GetParam().text, DefaultBoardProfile()), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Texts, BoardCount,
                         ::testing::Values(CountCase{"Empty", u"", 0},
                                           CountCase{"EachBreakAsBr", u"a\r\nb\rc\nd\n", 20},
                                           CountCase{"EscapedMarks", u"<>\"&", 4 + 4 + 6 + 1},
                                           CountCase{"Cp932Bytes", u"\u3042\uFF71 ", 2 + 1 + 1},
                                           CountCase{"References", u"\u2665\U0001F600", 7 + 9},
                                           CountCase{"LoneSurrogate", u"\xD800", 8}),
                         [](const auto& info) { return std::string(info.param.name); });

struct SettingsCase {
  const char* name;
  std::string bytes;
  const char* error;  // part of the error; null when a profile is made
  std::string title = "";
  std::uint64_t byteLimit = 0;
  std::uint32_t lineLimit = 0;
  bool referencesPass = true;
  friend void PrintTo(const SettingsCase& c, std::ostream* os) { *os << c.name; }
};

const std::string kRest = "BBS_MESSAGE_COUNT=2048\r\nBBS_LINE_NUMBER=16\r\nBBS_UNICODE=change\r\n";

class BoardSettings : public ::testing::TestWithParam<SettingsCase> {};

TEST_P(BoardSettings, MakesAProfileOrSaysWhy) {
  const SettingsCase& c = GetParam();
  const BoardProfileResult result = ParseBoardSettings(c.bytes);
  ASSERT_EQ(result.ok, c.error == nullptr) << result.error;
  if (!result.ok) {
    EXPECT_NE(result.error.find(c.error), std::string::npos) << result.error;
    return;
  }
  EXPECT_EQ(result.profile.name, c.title);
  EXPECT_EQ(result.profile.byteLimit, c.byteLimit);
  EXPECT_EQ(result.profile.lineLimit, c.lineLimit);
  EXPECT_EQ(result.profile.referencesPass, c.referencesPass);
  EXPECT_EQ(result.profile.lineBreakBytes, 4u);  // the rest as 5ch counts
}

INSTANTIATE_TEST_SUITE_P(
    Files, BoardSettings,
    ::testing::Values(
        // ニュー速 in code page 932, among settings of no concern here.
        SettingsCase{
            "Cp932CrLf",
            "BBS_TITLE=\x83\x6A\x83\x85\x81\x5B\x91\xAC\r\nBBS_NONAME_NAME=x=y\r\n" + kRest,
            nullptr, "\u30CB\u30E5\u30FC\u901F", 2048, 32, false},
        SettingsCase{
            "LfAndPass",
            "BBS_LINE_NUMBER=30\nBBS_TITLE=VIP\nBBS_MESSAGE_COUNT=4096\nBBS_UNICODE=pass\n",
            nullptr, "VIP", 4096, 60, true},
        SettingsCase{"NoTitle", kRest, "BBS_TITLE is missing"},
        SettingsCase{"EmptyTitle", "BBS_TITLE=\r\n" + kRest, "BBS_TITLE is empty"},
        SettingsCase{"NoLineNumber", "BBS_TITLE=t\nBBS_MESSAGE_COUNT=1\nBBS_UNICODE=pass\n",
                     "BBS_LINE_NUMBER is missing"},
        SettingsCase{"ZeroBytes", "BBS_TITLE=t\r\n" + kRest + "BBS_MESSAGE_COUNT=0\r\n",
                     "BBS_MESSAGE_COUNT: '0' is out of range"},
        SettingsCase{"NegativeLines", "BBS_TITLE=t\r\n" + kRest + "BBS_LINE_NUMBER=-5\r\n",
                     "BBS_LINE_NUMBER: '-5' is not a whole number"},
        SettingsCase{"Overflow",
                     "BBS_TITLE=t\r\n" + kRest + "BBS_MESSAGE_COUNT=99999999999999999999999\r\n",
                     "out of range"},
        SettingsCase{"UnicodeUnknown", "BBS_TITLE=t\r\n" + kRest + "BBS_UNICODE=yes\r\n",
                     "neither 'pass' nor 'change'"},
        SettingsCase{"NotSettings", std::string("\x89\x50\x4E\x47\0\0", 6), "is missing"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BoardProfileFolder, KeptAndFoundAgain) {
  const testing::ScratchDir dir;
  const std::string folder = dir.Path("config/boards");
  BoardProfile profile = DefaultBoardProfile();
  profile.name = "\u00E9/..";  // two bytes of UTF-8 and a slash, kept whatever they hold
  profile.byteLimit = 2048;
  profile.referencesPass = false;
  std::string error;
  ASSERT_TRUE(KeepBoardProfile(profile, folder, &error)) << error;
  EXPECT_EQ(dir.Listing("config/boards"), "\u00E9%2F...txt ");
  const BoardProfileResult found = FindBoardProfile(profile.name, folder);
  ASSERT_TRUE(found.ok) << found.error;
  EXPECT_EQ(found.profile.byteLimit, 2048u);
  EXPECT_FALSE(found.profile.referencesPass);
  EXPECT_EQ(KeptBoardProfiles(folder).size(), 1u);

  EXPECT_TRUE(FindBoardProfile("5ch", folder).ok);
  EXPECT_TRUE(FindBoardProfile("nope", folder).missing);
  dir.Write("config/boards/broken.txt", "name=broken\r\nbyteLimit=0\r\n");
  const BoardProfileResult broken = FindBoardProfile("broken", folder);
  EXPECT_FALSE(broken.ok || broken.missing);
  EXPECT_NE(broken.error.find("byteLimit: '0' is out of range"), std::string::npos);

  for (const char* name : {"5CH", "", "a\nb", ".."}) {
    profile.name = name;
    EXPECT_EQ(KeepBoardProfile(profile, folder, &error), std::string(name) == "..") << name;
  }
  EXPECT_EQ(BoardProfileFileName(std::string(300, 'x')), "");
}

}  // namespace
}  // namespace koron
