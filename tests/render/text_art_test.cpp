// The text-art widths and picture, measured against the font's own tables, under the offscreen
// platform so that no desktop setting takes part.
#include "render/text_art.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ostream>

#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QGlyphRun>
#include <QGuiApplication>
#include <QRawFont>
#include <QTemporaryDir>
#include <QTextLayout>
#include <QtEndian>
#include <cmath>
#include <memory>
#include <string>

#include "cli/png_words.h"
#include "composer/composer.h"
#include "posting/board_spaces.h"
#include "posting/dot_widths.h"
#include "posting/shift_jis_safe.h"

namespace koron {
namespace {

QString Q(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// Monapo and Mona are drawn to MS PGothic's widths; with any other face the widths mean nothing.
bool HaveWidthCompatibleFont() {
  const QString family = QFontInfo(TextArtFont()).family();
  return family == QLatin1String("Monapo") || family == QLatin1String("Mona");
}

std::string NoTextArtFont() {
  return "no width-compatible font (Monapo or Mona) is installed; the text-art face resolves to " +
         QFontInfo(TextArtFont()).family().toStdString();
}

// Line widths read straight from the font file: cmap for the glyphs, hmtx for their advances,
// scaled from font units to 16 px and rounded up per line. No shaping and no Qt metrics.
std::vector<std::uint32_t> WidthsFromAdvanceTable(std::u16string_view text) {
  const QRawFont font = QRawFont::fromFont(TextArtFont());
  const QByteArray head = font.fontTable("head");
  const QByteArray hhea = font.fontTable("hhea");
  const QByteArray hmtx = font.fontTable("hmtx");
  const auto u16 = [](const QByteArray& table, qsizetype at) -> quint16 {
    if (at < 0 || at + 2 > table.size()) {
      ADD_FAILURE() << "font table too short";
      return 0;
    }
    return qFromBigEndian<quint16>(table.constData() + at);
  };
  const std::int64_t unitsPerEm = u16(head, 18);
  const quint16 metrics = u16(hhea, 34);
  std::vector<std::uint32_t> widths;
  for (std::u16string_view line : SplitLines(text)) {
    std::int64_t units = 0;
    for (quint32 glyph : font.glyphIndexesForString(Q(line))) {
      EXPECT_NE(glyph, 0u) << "a character of the picture is missing from the font";
      units += u16(hmtx, 4 * std::min<quint32>(glyph, metrics - 1u));
    }
    const std::int64_t scaled = units * kTextArtPixelSize;
    widths.push_back(static_cast<std::uint32_t>((scaled + unitsPerEm - 1) / unitsPerEm));
  }
  return widths;
}

struct PictureCase {
  const char* name;
  ProcessionChoices choices;
  friend void PrintTo(const PictureCase& c, std::ostream* os) { *os << c.name; }
};

ProcessionChoices Choices(std::int32_t marchers, bool ears, std::int32_t cheers,
                          std::int32_t signs) {
  ProcessionChoices choices;
  choices.FaceText = u"('\uFF21`)";
  choices.MarcherCount = marchers;
  choices.Ears = ears;
  choices.CheerCount = cheers;
  choices.SignCount = signs;
  return choices;
}

class PictureWidths : public ::testing::TestWithParam<PictureCase> {};

TEST_P(PictureWidths, MatchTheFontsAdvanceTable) {
  if (!HaveWidthCompatibleFont()) GTEST_SKIP() << NoTextArtFont();
  const std::u16string picture = ComposePicture(GetParam().choices);
  const std::vector<std::uint32_t> widths = TextArtLineWidths(picture);
  EXPECT_EQ(widths.size(), 4u);
  EXPECT_EQ(widths, WidthsFromAdvanceTable(picture));
}

INSTANTIATE_TEST_SUITE_P(Pictures, PictureWidths,
                         ::testing::Values(PictureCase{"PolicemanAlone", Choices(0, false, 0, 0)},
                                           PictureCase{"MarchersWithEars", Choices(7, true, 0, 0)},
                                           PictureCase{"WholeProcession", Choices(5, true, 4, 3)}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TextArtAdvances, SpaceFiveIdeographicSpaceEleven) {
  if (!HaveWidthCompatibleFont()) GTEST_SKIP() << NoTextArtFont();
  EXPECT_EQ(TextArtAdvances().Advance(U' '), 5 * kAdvanceUnitsPerDot);
  EXPECT_EQ(TextArtAdvances().Advance(U'\u3000'), 11 * kAdvanceUnitsPerDot);
  EXPECT_EQ(TextArtLineWidths(u" \u3000\r\n\u3000\u3000 "), (std::vector<std::uint32_t>{16, 27}));
}

// The thin spaces that the text-art faces lack take the board font's widths, ten in a row
// exactly ten times one, and draw nothing; a line with another character they lack is marked
// as only approximate.
TEST(TextArtAdvances, ThinSpacesTakeTheBoardFontsWidths) {
  if (!HaveWidthCompatibleFont()) GTEST_SKIP() << NoTextArtFont();
  const QRawFont primary = QRawFont::fromFont(TextArtFont());
  std::u16string blanks;
  for (const char16_t thin : {0x2002, 0x2003, 0x2004, 0x2005, 0x2006, 0x2007, 0x2009, 0x200A}) {
    if (primary.supportsCharacter(thin)) continue;  // the face's own width stands
    const std::u16string ten(10, thin);
    EXPECT_EQ(TextArtLineWidths(ten), std::vector<std::uint32_t>{10 * BoardSpaceDots(thin)})
        << std::hex << int{thin};
    blanks += ten + u"\r\n";
  }
  if (blanks.empty()) GTEST_SKIP() << "the text-art face has every thin space";
  const QImage picture = RenderTextArt(blanks);
  ASSERT_FALSE(picture.isNull());
  for (int y = 0; y < picture.height(); ++y) {
    for (int x = 0; x < picture.width(); ++x) ASSERT_EQ(qGray(picture.pixel(x, y)), 255);
  }
  const std::vector<bool> approximate = TextArtApproximateLines(blanks + u"(\u0531)\r\n");
  EXPECT_EQ(std::count(approximate.begin(), approximate.end(), true), 1);
  EXPECT_TRUE(approximate.back());
}

// A character the text-art face lacks is measured in the face that draws it.
TEST(TextArtAdvances, MissingCharacterMeasuredInDrawingFace) {
  const char32_t armenianAyb = 0x0531;
  const QRawFont primary = QRawFont::fromFont(TextArtFont());
  if (primary.supportsCharacter(armenianAyb)) GTEST_SKIP() << "the text-art face has U+0531";
  QTextLayout layout(QString::fromUcs4(&armenianAyb, 1), TextArtFont());
  layout.beginLayout();
  layout.createLine();
  layout.endLayout();
  const QList<QGlyphRun> runs = layout.glyphRuns();
  if (runs.isEmpty()) GTEST_SKIP() << "no installed face draws U+0531";
  ASSERT_NE(runs[0].rawFont().familyName(), primary.familyName());
  const qreal drawn = runs[0].rawFont().advancesForGlyphIndexes(runs[0].glyphIndexes())[0].x();
  EXPECT_GT(drawn, 0);
  EXPECT_EQ(TextArtAdvances().Advance(armenianAyb), std::lround(drawn * kAdvanceUnitsPerDot))
      << "drawn by " << runs[0].rawFont().familyName().toStdString();
}

// Columns [first, last] holding ink within the rows of one line; -1 when blank.
std::pair<int, int> InkColumns(const QImage& image, int line) {
  std::pair<int, int> ink{-1, -1};
  for (int y = kTextArtMargin + line * kTextArtLineHeight;
       y < kTextArtMargin + (line + 1) * kTextArtLineHeight; ++y) {
    const uchar* row = image.constScanLine(y);
    for (int x = 0; x < image.width(); ++x) {
      if (row[x] >= 128) continue;
      if (ink.first < 0 || x < ink.first) ink.first = x;
      ink.second = std::max(ink.second, x);
    }
  }
  return ink;
}

int LastInkRow(const QImage& image) {
  for (int y = image.height() - 1; y >= 0; --y) {
    const uchar* row = image.constScanLine(y);
    for (int x = 0; x < image.width(); ++x) {
      if (row[x] < 128) return y;
    }
  }
  return -1;
}

TEST(RenderTextArt, SizeFollowsWidthsAndLines) {
  for (std::u16string_view text : {u"", u"\r\n", u"A\r\n\u3000\u3000|", u"A\r\nB\r\n"}) {
    const std::vector<std::uint32_t> widths = TextArtLineWidths(text);
    const int widest =
        widths.empty() ? 0 : static_cast<int>(*std::max_element(widths.begin(), widths.end()));
    const QImage image = RenderTextArt(text);
    EXPECT_EQ(image.size(), QSize(widest + 16, static_cast<int>(widths.size()) * 18 + 16))
        << Q(text).toStdString();
    EXPECT_EQ(image.size(), TextArtImageSize(text));
  }
}

TEST(RenderTextArt, GlyphStandsAtSumOfAdvancesBeforeIt) {
  if (!HaveWidthCompatibleFont()) GTEST_SKIP() << NoTextArtFont();
  // The bar alone, then on a second line after full-width and half-width characters, spaces and
  // "AV", which kerning or shaping across characters would pull together: the bar must stand
  // exactly the line width of what precedes it further right.
  const std::u16string before = u"\u3000\u3000 AV\uFF9F\u30CE";
  const QImage alone = RenderTextArt(u"|");
  const QImage after = RenderTextArt(u"x\r\n" + before + u"|");
  const int right = InkColumns(alone, 0).second;
  ASSERT_GE(right, kTextArtMargin);
  EXPECT_EQ(InkColumns(after, 1).second, right + static_cast<int>(TextArtLineWidths(before)[0]));
  // The baseline stands 15 px into the 18 px line: "A" sits on it, its last ink row is 14.
  EXPECT_EQ(LastInkRow(RenderTextArt(u"A")), kTextArtMargin + 15 - 1);
  EXPECT_EQ(LastInkRow(RenderTextArt(u"x\r\nA")), kTextArtMargin + 18 + 15 - 1);
}

struct MarkCase {
  const char* name;
  std::u16string text;
  std::u16string like;  // composed: drawn exactly as this; apart: as this bar the mark
  bool composes;
  friend void PrintTo(const MarkCase& c, std::ostream* os) { *os << c.name; }
};

class CombiningMarks : public ::testing::TestWithParam<MarkCase> {};

// A board's browser composes a base and its mark; one that composes with nothing is drawn over
// the character before it, within that character's cell, and moves nothing after it.
TEST_P(CombiningMarks, MeasuredAndDrawnComposed) {
  if (!HaveWidthCompatibleFont()) GTEST_SKIP() << NoTextArtFont();
  const MarkCase& c = GetParam();
  EXPECT_EQ(TextArtLineWidths(c.text), TextArtLineWidths(c.like));
  const QImage drawn = RenderTextArt(c.text);
  const QImage like = RenderTextArt(c.like);
  ASSERT_EQ(drawn.size(), like.size());
  if (c.composes) {
    EXPECT_TRUE(drawn == like);
    return;
  }
  const int cellEnd = kTextArtMargin + static_cast<int>(TextArtLineWidths(c.like.substr(0, 1))[0]);
  int first = -1;
  int last = -1;
  for (int y = 0; y < drawn.height(); ++y) {
    for (int x = 0; x < drawn.width(); ++x) {
      if (drawn.constScanLine(y)[x] == like.constScanLine(y)[x]) continue;
      if (first < 0 || x < first) first = x;
      last = std::max(last, x);
    }
  }
  ASSERT_GE(first, 0) << "the mark is not drawn";
  EXPECT_GE(first, kTextArtMargin);
  EXPECT_LT(last, cellEnd);
}

INSTANTIATE_TEST_SUITE_P(
    Marks, CombiningMarks,
    ::testing::Values(MarkCase{"AcuteWithE", u"e\u0301", u"\u00E9", true},
                      MarkCase{"VoicedMarkWithKa", u"\u304B\u3099", u"\u304C", true},
                      MarkCase{"AcuteOverX", u"x\u0301x", u"xx", false},
                      MarkCase{"VoicedMarkOverA", u"\u3042\u3099\u3042", u"\u3042\u3042", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SaveTextArtPng, WritesTheRenderedPicture) {
  QTemporaryDir dir;
  const QString path = dir.filePath("koron-aa.png");
  const std::u16string text = ComposePicture(Choices(3, true, 1, 1));
  PngSaveFailure failure;
  ASSERT_TRUE(SaveTextArtPng(text, path, &failure)) << DescribeInEnglish(failure).toStdString();
  const QImage read(path);
  EXPECT_EQ(read.convertToFormat(QImage::Format_Grayscale8), RenderTextArt(text));
}

struct FailureCase {
  const char* name;
  const char* path;  // under a fresh folder; "%" stands for that folder
  std::u16string text;
  PngSaveFailure::Reason reason;
  const char* words;
  bool fullDisk = false;  // the folder is a small file system filled to the last block
  friend void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }
};

using Reason = PngSaveFailure::Reason;

class SaveFailure : public ::testing::TestWithParam<FailureCase> {};

// A tmpfs of 16 KiB on `folder` for the life of the object; only root may mount one.
class SmallDisk {
 public:
  explicit SmallDisk(const QString& folder) : folder_(QFile::encodeName(folder)) {
    mounted_ = ::mount("tmpfs", folder_.constData(), "tmpfs", 0, "size=16k") == 0;
  }
  ~SmallDisk() {
    if (mounted_) ::umount(folder_.constData());
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;
  bool mounted() const { return mounted_; }

 private:
  QByteArray folder_;
  bool mounted_ = false;
};

// Writes into `path` until the disk has no block left.
void FillDisk(const QString& path) {
  QFile fill(path);
  ASSERT_TRUE(fill.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
  const QByteArray block(1024, 'x');
  while (fill.write(block) == block.size()) {
  }
}

TEST_P(SaveFailure, SaysWhyAndLeavesNoFile) {
  QTemporaryDir dir;
  std::unique_ptr<SmallDisk> disk;
  if (GetParam().fullDisk) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
    disk = std::make_unique<SmallDisk>(dir.path());
    if (!disk->mounted()) GTEST_SKIP() << "cannot mount a tmpfs here";
  }
  {
    QFile old(dir.filePath("file"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    ASSERT_EQ(old.write("old"), 3);
  }
  ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
  if (disk) FillDisk(dir.filePath("folder/fill"));
  ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("pipe")).constData(), 0600), 0);
  QString path = QString::fromUtf8(GetParam().path).replace('%', dir.path());
  PngSaveFailure failure;
  EXPECT_FALSE(SaveTextArtPng(GetParam().text, path, &failure));
  EXPECT_EQ(failure.reason, GetParam().reason);
  const QString words = DescribeInEnglish(failure);
  EXPECT_TRUE(words.contains(QLatin1String(GetParam().words))) << words.toStdString();
  EXPECT_EQ(QDir(dir.path())
                .entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden | QDir::System),
            (QStringList{"file", "folder", "pipe"}));
  EXPECT_FALSE(QFileInfo(dir.filePath("pipe")).isFile());  // never replaced by a picture
  QFile old(dir.filePath("file"));
  ASSERT_TRUE(old.open(QIODevice::ReadOnly));
  EXPECT_EQ(old.readAll(), "old");
}

INSTANTIATE_TEST_SUITE_P(
    Paths, SaveFailure,
    ::testing::Values(
        FailureCase{"MissingFolder", "%/none/a.png", u"A", Reason::kNoFolder, "does not exist"},
        FailureCase{"FolderIsAFile", "%/file/a.png", u"A", Reason::kNotAFolder, "is not a folder"},
        FailureCase{"TargetIsAFolder", "%/folder", u"A", Reason::kTargetIsAFolder, "is a folder"},
        FailureCase{"NoName", "", u"A", Reason::kNoFileName, "No file name"},
        FailureCase{"TargetIsAPipe", "%/pipe", u"A", Reason::kNotARegularFile,
                    "not a regular file"},
        FailureCase{"TooWide", "%/a.png", std::u16string(100'000, u'\u3000'), Reason::kTooLarge,
                    "too large"},
        FailureCase{"TooTall", "%/a.png",
                    [] {
                      std::u16string lines;
                      for (int i = 0; i < 60'000; ++i) lines += u"A\r\n";
                      return lines;
                    }(),
                    Reason::kTooLarge, "too large"},
        // Below the 16 KiB that a buffered writer keeps before its first write, and above it.
        FailureCase{"FullDiskSmallPicture", "%/file", u"A", Reason::kCannotWrite,
                    "No space left on device", true},
        FailureCase{"FullDiskLargePicture", "%/file", ComposePicture(Choices(5000, true, 0, 0)),
                    Reason::kCannotWrite, "No space left on device", true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace koron

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
