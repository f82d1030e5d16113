#include "text/line_writer.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tests/text/scratch_dir.h"

namespace koron {
namespace {

using testing::ScratchDir;

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0);
  return info.st_mode & 07777;
}

TEST(LineWriter, WritesLinesWithCrLf) {
  ScratchDir dir;
  const std::string path = dir.Path("out.ini");
  ASSERT_TRUE(ReplaceFileWithLines(path, {"[TOP]", " 1 ", ""}));
  EXPECT_EQ(ScratchDir::Read(path), "[TOP]\r\n 1 \r\n\r\n");
  EXPECT_EQ(dir.Listing(), "out.ini ");
}

TEST(LineWriter, ReplacesLongerContentAndKeepsPermissions) {
  ScratchDir dir;
  const std::string path = dir.Write("out.ini", std::string(1000, 'x'));
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  ASSERT_TRUE(ReplaceFileWithLines(path, {"a"}));
  EXPECT_EQ(ScratchDir::Read(path), "a\r\n");
  EXPECT_EQ(ModeOf(path), 0640u);
}

TEST(LineWriter, NewFileFollowsUmask) {
  ScratchDir dir;
  const mode_t previous = ::umask(022);
  const bool written = ReplaceFileWithLines(dir.Path("new.ini"), {"a"});
  ::umask(previous);
  ASSERT_TRUE(written);
  EXPECT_EQ(ModeOf(dir.Path("new.ini")), 0644u);
}

TEST(LineWriter, ReplacesTheFileBehindALink) {
  ScratchDir dir;
  const std::string target = dir.Write("real.ini", "old");
  std::filesystem::create_symlink(target, dir.Path("link.ini"));
  ASSERT_TRUE(ReplaceFileWithLines(dir.Path("link.ini"), {"new"}));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.Path("link.ini")));
  EXPECT_EQ(ScratchDir::Read(target), "new\r\n");
}

struct LinkCase {
  const char* name;
  const char* pointsTo;  // where the link out.ini points, relative to its directory
  bool theirs;            // out.ini belongs to someone else
  const char* written;    // the file that gets the new content, or nullptr when left alone
};

class LinkedFile : public ::testing::TestWithParam<LinkCase> {};

// Beside the link: real.ini, a link hop.ini to it, a link theirs.ini to it owned by someone
// else, a link loop.ini to itself, and a directory sub.
TEST_P(LinkedFile, IsNeverReplacedByAFile) {
  const LinkCase& c = GetParam();
  ScratchDir dir;
  const bool root = ::geteuid() == 0;
  if ((c.theirs || std::string(c.pointsTo) == "theirs.ini") && !root) {
    GTEST_SKIP() << "only root can give a link to someone else";
  }
  dir.Write("real.ini", "old");
  std::filesystem::create_symlink("real.ini", dir.Path("hop.ini"));
  std::filesystem::create_symlink("real.ini", dir.Path("theirs.ini"));
  std::filesystem::create_symlink("loop.ini", dir.Path("loop.ini"));
  std::filesystem::create_directory(dir.Path("sub"));
  std::filesystem::create_symlink(c.pointsTo, dir.Path("out.ini"));
  if (root) {
    ASSERT_EQ(::lchown(dir.Path("theirs.ini").c_str(), 65534, 65534), 0);
  }
  if (c.theirs) {
    ASSERT_EQ(::lchown(dir.Path("out.ini").c_str(), 65534, 65534), 0);
  }

  EXPECT_EQ(ReplaceFileWithLines(dir.Path("out.ini"), {"new"}), c.written != nullptr);
  ASSERT_TRUE(std::filesystem::is_symlink(dir.Path("out.ini")));
  EXPECT_EQ(std::filesystem::read_symlink(dir.Path("out.ini")), c.pointsTo);
  if (c.written != nullptr) {
    EXPECT_EQ(ScratchDir::Read(dir.Path(c.written)), "new\r\n");
  }
  if (c.written == nullptr || std::string(c.written) != "real.ini") {
    EXPECT_EQ(ScratchDir::Read(dir.Path("real.ini")), "old");
  }
  // No temporary file stays behind, here or in sub.
  const std::string sub =
      c.written != nullptr && std::string(c.written) == "sub/new.ini" ? "new.ini " : "";
  EXPECT_EQ(dir.Listing(), "hop.ini loop.ini out.ini real.ini sub theirs.ini ");
  EXPECT_EQ(dir.Listing("sub"), sub);
}

INSTANTIATE_TEST_SUITE_P(
    Links, LinkedFile,
    ::testing::Values(LinkCase{"ToAFile", "real.ini", false, "real.ini"},
                      LinkCase{"ThroughAnotherLink", "hop.ini", false, "real.ini"},
                      LinkCase{"ThroughADirectoryPath", "sub/../real.ini", false, "real.ini"},
                      LinkCase{"DanglingIntoADirectory", "sub/new.ini", false, "sub/new.ini"},
                      LinkCase{"DanglingIntoNoDirectory", "none/new.ini", false, nullptr},
                      LinkCase{"ToItself", "out.ini", false, nullptr},
                      LinkCase{"IntoALoop", "loop.ini", false, nullptr},
                      LinkCase{"OwnedBySomeoneElse", "real.ini", true, nullptr},
                      LinkCase{"ThroughALinkOfSomeoneElse", "theirs.ini", false, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LineWriter, MissingDirectoryFails) {
  ScratchDir dir;
  EXPECT_FALSE(ReplaceFileWithLines(dir.Path("no/such/dir.ini"), {"a"}));
  EXPECT_EQ(dir.Listing(), "");
}

TEST(LineWriter, DirectoryInTheWayIsLeftAlone) {
  ScratchDir dir;
  std::filesystem::create_directory(dir.Path("out.ini"));
  dir.Write("out.ini/inside", "kept");
  EXPECT_FALSE(ReplaceFileWithLines(dir.Path("out.ini"), {"a"}));
  EXPECT_EQ(ScratchDir::Read(dir.Path("out.ini/inside")), "kept");
  EXPECT_EQ(dir.Listing(), "out.ini ");
}

// A write that fails half-way (here a file size limit, which binds root too, unlike
// permissions) must leave the old content whole and no temporary file behind.
TEST(LineWriter, FailedWriteKeepsOldFile) {
  ScratchDir dir;
  const std::string path = dir.Write("out.ini", "[TOP]\r\n 2400 \r\n");
  rlimit previous{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
  rlimit small = previous;
  small.rlim_cur = 4;
  const auto previousHandler = ::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool written = ReplaceFileWithLines(path, {"[TOP]", " 1 "});
  ::setrlimit(RLIMIT_FSIZE, &previous);
  ::signal(SIGXFSZ, previousHandler);
  EXPECT_FALSE(written);
  EXPECT_EQ(ScratchDir::Read(path), "[TOP]\r\n 2400 \r\n");
  EXPECT_EQ(dir.Listing(), "out.ini ");
}

TEST(LineWriter, ReadOnlyFileIsLeftAlone) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may write any file";
  ScratchDir dir;
  const std::string path = dir.Write("out.ini", "old");
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  EXPECT_FALSE(ReplaceFileWithLines(path, {"new"}));
  EXPECT_EQ(ScratchDir::Read(path), "old");
}

}  // namespace
}  // namespace koron
