#include "library/library_index.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unicode/unorm2.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "library/search_folding.h"
#include "tests/text/scratch_dir.h"

namespace koron {
namespace {

using testing::ScratchDir;

class LibraryIndex : public ::testing::Test {
 protected:
  LibraryIndex() {
    std::filesystem::create_directories(work_.Path("AA/sub"));
    work_.Write("AA/a.mlt", "\u3010\u9854\u3011\n[SPLIT]\nabxbc\n[SPLIT]\n\uFF94\uFF99\uFF75\n");
    work_.Write("AA/sub/b.ast", "[AA][abc]\nq\n[AA][two]\nzz abc\n");
    work_.Write("AA/z.txt", "plain one\n");
  }
  std::unique_ptr<Library> Open(const std::string& cache = "") const {
    LibraryOptions options;
    options.workFolder = work_.path();
    options.cacheFolder = cache.empty() ? cache_.Path("c") : cache;
    return Library::Open(options);
  }
  // FILE#N of the matches, space-separated.
  static std::string Found(Library& library, const std::u16string& query) {
    std::string out;
    for (std::size_t index : library.Search(query)) {
      const LibraryEntry& entry = library.Entries()[index];
      out += library.Files()[entry.file].path + "#" + std::to_string(entry.number) + " ";
    }
    return out;
  }
  ScratchDir work_;
  ScratchDir cache_;
};

TEST_F(LibraryIndex, SearchRules) {
  const auto library = Open();
  struct Case {
    std::u16string query;
    std::string found;
  };
  const Case cases[] = {
      {u"abc",
       "AA/sub/b.ast#1 AA/sub/b.ast#2 "},  // a name, then a text; "abxbc" has its pairs only
      {u"ヤルオ", "AA/a.mlt#3 "},          // half-width folds to full width
      {u"ＡＢＣ  ZZ", "AA/sub/b.ast#2 "},  // every term, width and case folded
      {u"顔 abx", "AA/a.mlt#2 "},          // a section and a text
      {u"sub two", "AA/sub/b.ast#2 "},     // the path, without "AA/"
      {u"B.AST", "AA/sub/b.ast#1 AA/sub/b.ast#2 "},  // every entry of the file, by its path
      {u"ast zz", "AA/sub/b.ast#2 "},                // by the path and by the text
      {u"mlt", "AA/a.mlt#2 AA/a.mlt#3 "},            // the heading page is not listed
      {u". q", "AA/sub/b.ast#1 "},                   // every path holds ".", one text "q"
      {u"z", "AA/sub/b.ast#2 AA/z.txt#1 "},          // one character; the plain file's name "z"
      {u"aa/", ""},                                  // the leading AA/ is not searched
      {u"plain\u3000one", "AA/z.txt#1 "},
      {u"nothing", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Found(*library, c.query), c.found) << std::string(c.query.begin(), c.query.end());
  }
  EXPECT_EQ(library->Search(u" \t").size(), library->Entries().size());
}

// Terms over three units: their triples must stand one after another, in one field.
TEST_F(LibraryIndex, LongTermsNeedTheirTriplesInARow) {
  std::u16string many;  // more different characters than the table of an entry starts with
  for (char16_t c = u'\u4E00'; c < u'\u4E00' + 3000; ++c) many += c;
  const std::u16string longEntry = u"xyz" + many + u"xyzw";
  // In UTF-16, which a collection may be saved in.
  work_.Write(
      "AA/rows.ast",
      testing::Utf16File(u"[AA][far]\npqr--------------qrs\n"  // triples 17 apart
                         u"[AA][apart]\npqr-qrs\n[AA][near]\n--pqrs--\n"
                         u"[AA][runs]\nヽヽヽ ヽヽヽ\n[AA][four]\nヽヽヽヽ!\n[AA][long]\n" +
                         longEntry +
                         // "koo" first, "ooy" and "ooo" 64 apart as "koooooy" would have
                         // them, but its run too short.
                         u"\n[AA][gap]\nkoozooy" + std::u16string(57, u'-') + u"kooooo-oooooy\n"));
  const auto library = Open();
  struct Case {
    std::u16string query;
    std::string found;
  };
  const Case cases[] = {
      {u"pqrs", "AA/rows.ast#3 "},
      {u"pqr", "AA/rows.ast#1 AA/rows.ast#2 AA/rows.ast#3 "},
      {u"-qrs", "AA/rows.ast#1 AA/rows.ast#2 "},
      {u"ヽヽヽヽ", "AA/rows.ast#5 "},
      {u"ﾔﾙｵ", "AA/a.mlt#3 "},
      {longEntry.substr(1500, 5), "AA/rows.ast#6 "},
      {u"xyzw", "AA/rows.ast#6 "},  // "xyz" comes again after the table grew
      {many.substr(2990) + u"xyz", "AA/rows.ast#6 "},
      {u"koooooy", ""},
      {u"kooooo-", "AA/rows.ast#7 "},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Found(*library, c.query), c.found) << "query " << &c - cases;
  }
}

// Random pictures of few characters, in runs as pictures have them, so that grams repeat and
// positions collide; every query must find what a scan of the folded texts finds.
TEST_F(LibraryIndex, SearchAgreesWithAScan) {
  const std::u16string pieces = u"ab\uFF8E\uFF9E\u30DC \u3000/\uFF3F";  // ﾎﾞ folds to ボ
  std::mt19937 random(15);
  std::u16string file;
  std::vector<std::u16string> texts;
  for (int entry = 0; entry < 80; ++entry) {
    std::u16string text;
    // Long enough for positions 64 apart; some runs longer than a run length is kept.
    for (int n = 5 + static_cast<int>(random() % 200); n > 0; --n) {
      const char16_t c = random() % 13 == 0 ? u'\n' : pieces[random() % pieces.size()];
      const std::size_t run = random() % 3 != 0 ? 1 : random() % 40 == 0 ? 130 : 2 + random() % 5;
      text.append(run, c);
    }
    file += u"[AA][" + std::u16string(1, static_cast<char16_t>(u'A' + entry % 26)) + u"]\n" + text +
            u"\n";
    texts.push_back(text);
  }
  work_.Write("AA/random.ast", testing::Utf16File(file));
  const auto library = Open();
  for (int q = 0; q < 600; ++q) {
    const std::u16string& from = texts[random() % texts.size()];
    const std::size_t length = q % 50 == 0 ? 128 + random() % 4 : 1 + random() % 9;
    if (from.size() < length) continue;
    std::u16string query = from.substr(random() % (from.size() - length + 1), length);
    if (q % 3 == 0) {
      // A character and a run, or a run and a character, the run perhaps longer than any.
      const std::u16string run(q % 9 == 0 ? 127 + random() % 4 : 3 + random() % 5, query.back());
      query = q % 2 == 0 ? query.front() + run : run + query.front();
    }
    const std::vector<std::u16string> terms = SplitQuery(query);
    if (terms.empty() || query.find(u'\n') != std::u16string::npos) continue;  // one line typed
    std::string expected;
    for (const LibraryEntry& entry : library->Entries()) {
      if (library->Files()[entry.file].path != "AA/random.ast") continue;
      const std::u16string text = FoldForSearch(library->Text(entry));
      const std::u16string name = FoldForSearch(entry.name) + u"\n" + FoldForSearch(u"random.ast");
      bool all = true;
      for (const std::u16string& term : terms) {
        all = all &&
              (text.find(term) != std::u16string::npos || name.find(term) != std::u16string::npos);
      }
      if (all) expected += "AA/random.ast#" + std::to_string(entry.number) + " ";
    }
    std::string found = Found(*library, query);
    // Other files' entries may match too; only this file's are compared.
    std::string mine;
    for (std::size_t at = 0; (at = found.find("AA/random.ast#", at)) != std::string::npos;) {
      const std::size_t end = found.find(' ', at);
      mine += found.substr(at, end + 1 - at);
      at = end;
    }
    EXPECT_EQ(mine, expected) << "query " << q;
  }
}

TEST(SearchFolding, MatchesIcuFoldingWhole) {
  UErrorCode error = U_ZERO_ERROR;
  const UNormalizer2* folding = unorm2_getNFKCCasefoldInstance(&error);
  ASSERT_TRUE(U_SUCCESS(error));
  const std::u16string cases[] = {
      u"ﾎﾞｰﾙ ﾊﾟﾝ",               // half-width kana joined with their marks
      u"Ａbc ÄB\u0301 e\u0301",  // case, width, a mark joining the letter before it
      u"Straße ﬁ ㍿ ①",          // folds that lengthen
      std::u16string{0xD83D, 0xDE00, u' ', 0xD800, u'x', u' ',
                     0xDC00},          // a pair and lone surrogates
      u"\u1100\u1161\u11A8 가\u11A8",  // Hangul jamo joining into syllables
      u"\u0301start ｶﾞ\u3099 ∩∩( ´∀｀)",
  };
  for (const std::u16string& text : cases) {
    std::u16string expected(text.size() * 4 + 16, u'\0');
    error = U_ZERO_ERROR;
    const int32_t length = unorm2_normalize(
        folding, reinterpret_cast<const UChar*>(text.data()), static_cast<int32_t>(text.size()),
        reinterpret_cast<UChar*>(expected.data()), static_cast<int32_t>(expected.size()), &error);
    ASSERT_TRUE(U_SUCCESS(error));
    expected.resize(static_cast<std::size_t>(length));
    EXPECT_TRUE(FoldForSearch(text) == expected) << "case " << &text - cases;
  }
}

TEST_F(LibraryIndex, ReopenReadsOnlyWhatChanged) {
  EXPECT_EQ(Open()->FilesRead(), 3u);
  EXPECT_EQ(Open()->FilesRead(), 0u);
  // Files added one at a time make a segment each; past 32 they are joined as stored.
  std::string fresh;
  for (int i = 0; i < 34; ++i) {
    const std::string name = "AA/new" + std::to_string(100 + i) + ".txt";
    work_.Write(name, "fresh " + std::to_string(i) + "\n");
    fresh += name + "#1 ";
    EXPECT_EQ(Open()->FilesRead(), 1u);
  }
  auto library = Open();
  EXPECT_EQ(Found(*library, u"fresh"), fresh);
  EXPECT_EQ(Found(*library, u"sh 33"), "AA/new133.txt#1 ");
  EXPECT_EQ(Found(*library, u"f"), fresh);
  work_.Write("AA/z.txt", "changed\nlonger now\n");
  library = Open();
  EXPECT_EQ(library->FilesRead(), 1u);
  EXPECT_EQ(Found(*library, u"changed"), "AA/z.txt#1 ");
  EXPECT_EQ(Found(*library, u"plain"), "");
  std::filesystem::remove(work_.Path("AA/sub/b.ast"));
  library = Open();
  EXPECT_EQ(library->FilesRead(), 0u);
  EXPECT_EQ(Found(*library, u"abc"), "");
  // Many changes merge the index's segments; what it finds stays right.
  for (int i = 0; i < 9; ++i) {
    work_.Write("AA/z.txt", "round " + std::to_string(i) + "\n");
    ::utimensat(AT_FDCWD, work_.Path("AA/z.txt").c_str(), nullptr, 0);
    library = Open();
    EXPECT_EQ(Found(*library, u"round " + std::u16string(1, static_cast<char16_t>(u'0' + i))),
              "AA/z.txt#1 ");
  }
  EXPECT_EQ(Found(*library, u"ro"), "AA/z.txt#1 ");
  EXPECT_EQ(Found(*library, u"round 1"), "");
  // A file left out after its first page was read: that page's grams stay, and a file read
  // later must not be found by them.
  work_.Write("AA/zz.mlt", std::string("qqq page\n[SPLIT]\nbad\0line\n", 26));
  EXPECT_EQ(Found(*Open(), u"qqq"), "");
  work_.Write("AA/zzz.txt", "other\n");
  EXPECT_EQ(Found(*Open(), u"qqq"), "");
}

// While a first indexing goes on, a snapshot lists the files committed so far and searches
// them, and stays whole as the indexing goes on past it. An index in memory gives none.
TEST_F(LibraryIndex, SnapshotsShowWhatIsCommittedSoFar) {
  LibraryOptions options;
  options.workFolder = work_.path();
  options.batchBytes = 1;  // a commit after each file
  std::vector<std::unique_ptr<Library>> snapshots;
  options.committed = [&snapshots](const std::function<std::unique_ptr<Library>()>& snapshot) {
    snapshots.push_back(snapshot());
  };
  for (const std::string& cache : {cache_.Path("c"), std::string()}) {
    snapshots.clear();
    options.cacheFolder = cache;
    const auto library = Library::Open(options);
    EXPECT_EQ(Found(*library, u"z"), "AA/sub/b.ast#2 AA/z.txt#1 ");
    ASSERT_EQ(snapshots.size(), 2u);  // after the first and the second of three files
    if (cache.empty()) {
      EXPECT_TRUE(snapshots[0] == nullptr && snapshots[1] == nullptr);
      continue;
    }
    ASSERT_TRUE(snapshots[0] != nullptr && snapshots[1] != nullptr);
    EXPECT_EQ(snapshots[0]->Files().size(), 1u);
    EXPECT_EQ(Found(*snapshots[0], u"ab"), "AA/a.mlt#2 ");
    EXPECT_TRUE(snapshots[0]->Text(snapshots[0]->Entries()[0]) == u"abxbc\r\n");
    EXPECT_EQ(Found(*snapshots[1], u"z"), "AA/sub/b.ast#2 ");
    EXPECT_EQ(snapshots[1]->Folders(), library->Folders());
  }
}

TEST_F(LibraryIndex, DamagedOrForeignIndexIsBuiltAgain) {
  const std::string path = Open()->IndexPath();
  ASSERT_FALSE(path.empty());
  struct Case {
    const char* name;
    std::string bytes;
  };
  for (const Case& c : {Case{"garbage", std::string(8192, 'x')}, Case{"empty", ""},
                        Case{"truncated", ScratchDir::Read(path).substr(0, 1500)}}) {
    std::filesystem::remove(path + "-wal");
    work_.Write(std::filesystem::relative(path, work_.path()).string(), c.bytes);
    const auto library = Open();
    EXPECT_EQ(Found(*library, u"abc"), "AA/sub/b.ast#1 AA/sub/b.ast#2 ") << c.name;
    EXPECT_EQ(library->IndexPath(), path) << c.name;
  }
  // Another version's index.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  sqlite3_exec(db, "PRAGMA user_version=99", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  const auto library = Open();
  EXPECT_EQ(library->FilesRead(), 3u);
  EXPECT_EQ(Found(*library, u"two"), "AA/sub/b.ast#2 ");
}

TEST_F(LibraryIndex, UnwritableCacheKeepsTheIndexInMemory) {
  cache_.Write("file", "a file where the folder would be");
  const auto library = Open(cache_.Path("file/c"));
  EXPECT_EQ(library->IndexPath(), "");
  EXPECT_EQ(Found(*library, u"two"), "AA/sub/b.ast#2 ");
}

TEST_F(LibraryIndex, TwoProcessesAtOnceBothSeeTheWholeLibrary) {
  for (int i = 0; i < 40; ++i) work_.Write("AA/n" + std::to_string(i) + ".txt", "n\n");
  std::vector<pid_t> children;
  for (int i = 0; i < 2; ++i) {
    const pid_t child = fork();
    if (child == 0) {
      const auto library = Open();
      _exit(library->Entries().size() == 45 && !library->IndexPath().empty() ? 0 : 1);
    }
    children.push_back(child);
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const auto library = Open();
  EXPECT_EQ(library->FilesRead(), 0u);  // the two indexed each file once between them
  EXPECT_EQ(library->Entries().size(), 45u);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(library->IndexPath().c_str(), &db), SQLITE_OK);
  sqlite3_stmt* check = nullptr;
  sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &check, nullptr);
  ASSERT_EQ(sqlite3_step(check), SQLITE_ROW);
  EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)), "ok");
  sqlite3_finalize(check);
  sqlite3_close(db);
}

TEST_F(LibraryIndex, ScanOrderLinksAndHiddenNames) {
  work_.Write("AAList_02.txt", "[p]\nx\n");
  work_.Write("AA/.hidden.mlt", "x\n");
  work_.Write("AA/sub/a b.MLT", "upper\n");
  work_.Write("AA/notes.md", "not a collection\n");
  std::filesystem::create_directory_symlink("..", work_.Path("AA/sub/up"));
  std::filesystem::create_symlink("missing", work_.Path("AA/gone.txt"));
  const LibraryScan scan = ScanLibrary(work_.path());
  std::string paths;
  for (const LibraryFile& file : scan.files) paths += file.path + " ";
  // "sub/a b.MLT" before "sub/b.ast" and "sub/up" is the folder AA/ reached again.
  EXPECT_EQ(paths, "AAList_02.txt AA/a.mlt AA/sub/a b.MLT AA/sub/b.ast AA/z.txt ");
  ASSERT_EQ(scan.problems.size(), 1u);
  EXPECT_EQ(scan.problems[0].path, "AA/gone.txt");
  std::string folders;
  for (const std::string& folder : scan.folders) folders += folder + " ";
  EXPECT_EQ(folders, "AA AA/sub ");
}

}  // namespace
}  // namespace koron
