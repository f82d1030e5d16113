#include "settings/window_position.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <ostream>
#include <string>

#include "tests/text/scratch_dir.h"

namespace koron {
namespace {

using testing::ScratchDir;

struct LoadCase {
  const char* name;
  std::string bytes;
  std::int32_t top;
  std::int32_t left;
};

// `text` followed by blank lines up to `size` bytes.
std::string WithPadding(std::string text, std::uint64_t size) {
  text.resize(size, '\n');
  return text;
}

class Load : public ::testing::TestWithParam<LoadCase> {};

TEST_P(Load, Position) {
  ScratchDir dir;
  const WindowPosition position = LoadWindowPosition(dir.Write("MARU.ini", GetParam().bytes));
  EXPECT_EQ(position.Top, GetParam().top);
  EXPECT_EQ(position.Left, GetParam().left);
}

INSTANTIATE_TEST_SUITE_P(
    FileContents, Load,
    ::testing::Values(
        LoadCase{"AsWritten", "[TOP]\r\n 2400 \r\n[LEFT]\r\n 3600 \r\n", 2400, 3600},
        LoadCase{"Empty", "", 0, 0}, LoadCase{"OnlyLeft", "[LEFT]\r\n 3600 \r\n", 0, 3600},
        LoadCase{"LeftBeforeTop", "[LEFT]\r\n1\r\n[TOP]\r\n2", 2, 1},
        LoadCase{"MarkerTakenAsValue", "[TOP]\r\n[LEFT]\r\n 77 \r\n", 0, 0},
        LoadCase{"ValueNeverAMarker", "[LEFT]\r\n[TOP]\r\n9\r\n", 0, 0},
        LoadCase{"HalvesToEven", "[TOP]\r\n1500.5\r\n[LEFT]\r\n1501.5", 1500, 1502},
        LoadCase{"NoNumberIsZero", "[TOP]\r\nabc\r\n[LEFT]\r\n5", 0, 5},
        LoadCase{"MarkerOnLastLine", "[LEFT]\r\n5\r\n[TOP]", 0, 0},
        LoadCase{"MarkerOnLastLineWithTerminator", "[LEFT]\r\n5\r\n[TOP]\r\n", 0, 0},
        LoadCase{"OutOfRange", "[LEFT]\r\n5\r\n[TOP]\r\n2147483648\r\n", 0, 0},
        LoadCase{"RangeEdges", "[TOP]\r\n-2147483648\r\n[LEFT]\r\n2147483647", -2147483647 - 1,
                 2147483647},
        LoadCase{"LastOccurrenceWins", "[TOP]\r\n1\r\n[LEFT]\r\n2\r\n[TOP]\r\n3\r\n", 3, 2},
        LoadCase{"MarkersCompareWholeLine", "[top]\r\n1\r\n[TOP] \r\n2\r\n [LEFT]\r\n3", 0, 0},
        LoadCase{"OtherLinesIgnored", "x\r\n[TOP]\r\n4\r\n\r\n[LEFT]\r\n5\r\nend", 4, 5},
        LoadCase{"CrAloneEndsLines", "[TOP]\r4\r[LEFT]\r5\r", 4, 5},
        LoadCase{"LineFeedsAloneEndLines", "[TOP]\n4\n[LEFT]\n5\n", 4, 5},
        LoadCase{"StrayLineFeedIsPartOfTheLine", "[TOP]\r\n4\n[LEFT]\r\n5\r\n", 4, 0},
        LoadCase{"Utf8WithMark", "\xEF\xBB\xBF[TOP]\r\n7\r\n", 7, 0},
        LoadCase{"LargestRead", WithPadding("[TOP]\r\n7\r\n", kMaxPositionFileBytes), 7, 0},
        LoadCase{"TooLargeIsUnread", WithPadding("[TOP]\r\n7\r\n", kMaxPositionFileBytes + 1), 0,
                 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Load, MissingOrDirectory) {
  ScratchDir dir;
  const WindowPosition missing = LoadWindowPosition(dir.Path("MARU.ini"));
  EXPECT_EQ(missing.Top, 0);
  EXPECT_EQ(missing.Left, 0);
  std::filesystem::create_directory(dir.Path("MARU.ini"));
  const WindowPosition directory = LoadWindowPosition(dir.Path("MARU.ini"));
  EXPECT_EQ(directory.Top, 0);
  EXPECT_EQ(directory.Left, 0);
}

// A huge file costs neither memory nor reading time: the peak resident memory of a child that
// loads a 1 GB sparse file grows by far less than the file.
TEST(Load, HugeFileIsNotRead) {
  ScratchDir dir;
  const std::string path = dir.Write("MARU.ini", "[TOP]\r\n 2400 \r\n");
  std::filesystem::resize_file(path, std::uint64_t{1} << 30);
  const long growth = testing::PeakMemoryGrowthKiB([&path] {
    const WindowPosition position = LoadWindowPosition(path);
    return position.Top == 0 && position.Left == 0;
  });
  EXPECT_GE(growth, 0) << "the child did not read 0, 0";
  EXPECT_LT(growth, 4 * 1024);
}

struct FormatCase {
  float value;
  const char* text;
};

void PrintTo(const FormatCase& c, std::ostream* out) { *out << c.text; }

class Format : public ::testing::TestWithParam<FormatCase> {};

TEST_P(Format, SevenDigitsNoExponent) {
  EXPECT_EQ(FormatPositionValue(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Values, Format,
    ::testing::Values(FormatCase{0.0f, "0"}, FormatCase{-0.0f, "0"}, FormatCase{2400.0f, "2400"},
                      FormatCase{7.0f, "7"}, FormatCase{0.5f, "0.5"}, FormatCase{0.1f, "0.1"},
                      FormatCase{1500.5f, "1500.5"}, FormatCase{123.456f, "123.456"},
                      FormatCase{9999999.0f, "9999999"}, FormatCase{12345678.0f, "12345680"},
                      FormatCase{16777216.0f, "16777220"}, FormatCase{1e-7f, "0.0000001"},
                      FormatCase{1.25e-3f, "0.00125"}, FormatCase{3e10f, "30000000000"}),
    [](const ::testing::TestParamInfo<FormatCase>& info) {
      return "Case" + std::to_string(info.index);
    });

TEST(Save, ExactBytes) {
  ScratchDir dir;
  SaveWindowPosition(2400, 3600, dir.Path("MARU.ini"));
  EXPECT_EQ(ScratchDir::Read(dir.Path("MARU.ini")),
            "\x5B\x54\x4F\x50\x5D\x0D\x0A"
            "\x20\x32\x34\x30\x30\x20\x0D\x0A"
            "\x5B\x4C\x45\x46\x54\x5D\x0D\x0A"
            "\x20\x33\x36\x30\x30\x20\x0D\x0A");
  EXPECT_EQ(dir.Listing(), "MARU.ini ");
}

TEST(Save, ZeroAndFraction) {
  ScratchDir dir;
  const std::string path = dir.Write("MARU.ini", "old content, longer than the new one\r\n");
  SaveWindowPosition(0, 1500.5f, path);
  EXPECT_EQ(ScratchDir::Read(path), "[TOP]\r\n 0 \r\n[LEFT]\r\n 1500.5 \r\n");
  const WindowPosition position = LoadWindowPosition(path);
  EXPECT_EQ(position.Top, 0);
  EXPECT_EQ(position.Left, 1500);
}

class NotWritten : public ::testing::TestWithParam<std::pair<float, float>> {};

TEST_P(NotWritten, LeavesFileAsItWas) {
  ScratchDir dir;
  const auto [top, left] = GetParam();
  SaveWindowPosition(top, left, dir.Path("MARU.ini"));
  EXPECT_EQ(dir.Listing(), "");
  const std::string path = dir.Write("MARU.ini", "[TOP]\r\n 15 \r\n");
  SaveWindowPosition(top, left, path);
  EXPECT_EQ(ScratchDir::Read(path), "[TOP]\r\n 15 \r\n");
}

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInfinity = std::numeric_limits<float>::infinity();

INSTANTIATE_TEST_SUITE_P(Edges, NotWritten,
                         ::testing::Values(std::pair{-1.0f, 0.0f}, std::pair{0.0f, -15.0f},
                                           std::pair{-0.5f, 100.0f}, std::pair{kNaN, 0.0f},
                                           std::pair{0.0f, kNaN}, std::pair{kInfinity, 0.0f},
                                           std::pair{0.0f, -kInfinity}));

// Root ignores permissions, so the failures are made another way: a missing directory, a
// directory in the file's place, and a file size limit that stops the write half-way.
TEST(Save, FailuresLeaveOldFileAndReturn) {
  ScratchDir dir;
  EXPECT_NO_THROW(SaveWindowPosition(1, 2, dir.Path("missing/MARU.ini")));
  std::filesystem::create_directory(dir.Path("MARU.ini"));
  EXPECT_NO_THROW(SaveWindowPosition(1, 2, dir.Path("MARU.ini")));
  EXPECT_TRUE(std::filesystem::is_directory(dir.Path("MARU.ini")));
  EXPECT_EQ(dir.Listing(), "MARU.ini ");
}

TEST(Save, FullDiskKeepsOldPosition) {
  ScratchDir dir;
  const std::string path = dir.Write("MARU.ini", "[TOP]\r\n 2400 \r\n[LEFT]\r\n 3600 \r\n");
  rlimit previous{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
  rlimit small = previous;
  small.rlim_cur = 10;
  const auto previousHandler = ::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  SaveWindowPosition(15, 30, path);
  ::setrlimit(RLIMIT_FSIZE, &previous);
  ::signal(SIGXFSZ, previousHandler);
  const WindowPosition position = LoadWindowPosition(path);
  EXPECT_EQ(position.Top, 2400);
  EXPECT_EQ(position.Left, 3600);
  EXPECT_EQ(dir.Listing(), "MARU.ini ");
}

// A directory may refuse the replacement while the file itself may be written: sticky, with the
// file owned by someone else, or not writable by the user at all. The file is then rewritten in
// place. Root ignores both rules, so the save runs in a child as nobody.
TEST(Save, RefusedReplacementRewritesInPlace) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root, to save as another user (nobody)";
  constexpr uid_t kNobody = 65534;
  ScratchDir dir;
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  for (const mode_t directoryMode : {01777, 0755}) {
    SCOPED_TRACE(directoryMode);
    const std::string folder = dir.Path(std::to_string(directoryMode));
    std::filesystem::create_directory(folder);
    ASSERT_EQ(::chmod(folder.c_str(), directoryMode), 0);
    const std::string path = folder + "/MARU.ini";
    std::ofstream(path) << "[TOP]\r\n 2400 \r\n[LEFT]\r\n 3600 \r\n; a longer old file\r\n";
    ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);

    const pid_t child = ::fork();
    if (child == 0) {
      const bool dropped = ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0;
      if (dropped) SaveWindowPosition(15, 30, path);
      ::_exit(dropped ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    EXPECT_EQ(ScratchDir::Read(path), "[TOP]\r\n 15 \r\n[LEFT]\r\n 30 \r\n");
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_uid, 0u);
    EXPECT_EQ(dir.Listing(std::to_string(directoryMode)), "MARU.ini ");
  }
}

}  // namespace
}  // namespace koron
