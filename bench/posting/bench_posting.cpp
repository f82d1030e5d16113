// The posting readout and the picture export, each beside its floor in the same run:
// - widths and byte count of a 200,000-unit picture against converting it to code page 932 with
//   ICU (goal: at most 2x);
// - the board check and the spacing fix of the same picture against its widths and byte count
//   (goal: at most 2x);
// - saving a 20-marcher picture as PNG against saving a blank PNG of the same size (goal: at
//   most 3x).
#include <benchmark/benchmark.h>
#include <unicode/ucnv.h>

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QSaveFile>
#include <QTemporaryDir>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/ratio_reporter.h"
#include "composer/composer.h"
#include "posting/board_profile.h"
#include "posting/dot_widths.h"
#include "posting/post_check.h"
#include "posting/shift_jis_safe.h"
#include "posting/spacing_fix.h"
#include "render/text_art.h"
#include "text/code_page_932.h"
#include "text/icu_converter.h"

namespace {

koron::ProcessionChoices Choices(std::int32_t marchers) {
  koron::ProcessionChoices choices;
  choices.MarcherCount = marchers;
  choices.FaceIndex = 1;
  choices.FaceText = u"\u0028\uFF9F\u0414\uFF9F\u0029";
  choices.Ears = true;
  choices.CheerCount = 10;
  choices.SignCount = 10;
  return choices;
}

// The most marchers whose picture stays within the window's limit of 200,000 units.
const std::u16string& LargestPicture() {
  static const std::u16string picture = [] {
    std::int32_t low = 0;
    std::int32_t high = 1'000'000;
    while (low < high) {
      const std::int32_t middle = low + (high - low + 1) / 2;
      if (koron::PictureLength(Choices(middle)) <= koron::kMaxPictureLength) {
        low = middle;
      } else {
        high = middle - 1;
      }
    }
    return koron::ComposePicture(Choices(low));
  }();
  return picture;
}

const std::u16string& SmallPicture() {
  static const std::u16string picture = koron::ComposePicture(Choices(20));
  return picture;
}

void WidthsAndBytes(benchmark::State& state) {
  const std::u16string& picture = LargestPicture();
  koron::TextArtLineWidths(picture);  // measure every character once, as the window has
  for (auto _ : state) {
    std::vector<std::uint32_t> widths = koron::TextArtLineWidths(picture);
    std::uint64_t bytes = koron::ShiftJisSafeByteCount(picture);
    benchmark::DoNotOptimize(widths.data());
    benchmark::DoNotOptimize(bytes);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * picture.size()));
}

// What a post check costs: the problems on the default board, and the spacing that survives it.
void CheckAndFix(benchmark::State& state) {
  const std::u16string& picture = LargestPicture();
  const koron::BoardProfile board = koron::DefaultBoardProfile();
  for (auto _ : state) {
    std::vector<koron::PostProblem> problems = koron::CheckPost(picture, board);
    koron::SpacingFix fix = koron::FixSpacing(picture, board);
    benchmark::DoNotOptimize(problems.data());
    benchmark::DoNotOptimize(fix.text.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * picture.size()));
}

// The floor: ICU converting the same text to code page 932 into a buffer that already exists.
void IcuToCp932(benchmark::State& state) {
  const std::u16string& picture = LargestPicture();
  UErrorCode error = U_ZERO_ERROR;
  const koron::Converter converter = koron::OpenConverter(koron::kCp932ConverterName, &error);
  std::string bytes(2 * picture.size(), '\0');
  for (auto _ : state) {
    error = U_ZERO_ERROR;
    const int32_t length =
        ucnv_fromUChars(converter.get(), bytes.data(), static_cast<int32_t>(bytes.size()),
                        reinterpret_cast<const UChar*>(picture.data()),
                        static_cast<int32_t>(picture.size()), &error);
    benchmark::DoNotOptimize(length);
    benchmark::ClobberMemory();
  }
  if (U_FAILURE(error)) state.SkipWithError(u_errorName(error));
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * picture.size()));
}

// For reference: the Shift_JIS-safe bytes that a copy or --encoding sjis-ncr produce.
void EncodeShiftJisSafe(benchmark::State& state) {
  const std::u16string& picture = LargestPicture();
  for (auto _ : state) {
    std::string bytes = koron::EncodeShiftJisSafe(picture);
    benchmark::DoNotOptimize(bytes.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * picture.size()));
}

// In memory where the system offers it, so that both saves time the same work and not the disk.
QString ScratchFile(const char* name) {
  static QTemporaryDir dir(QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm/koron-bench-XXXXXX")
                                                     : QDir::tempPath() + "/koron-bench-XXXXXX");
  return dir.filePath(QString::fromLatin1(name));
}

void SavePicturePng(benchmark::State& state) {
  const QString path = ScratchFile("picture.png");
  koron::SaveTextArtPng(SmallPicture(), path);  // glyphs and advances cached, as after a first save
  for (auto _ : state) {
    if (!koron::SaveTextArtPng(SmallPicture(), path)) {
      state.SkipWithError("the PNG could not be saved");
      break;
    }
  }
}

// The floor: a blank image of the same size and format, already drawn, written as PNG the same
// way (beside the target, then renamed over it).
void SaveBlankPng(benchmark::State& state) {
  const QString path = ScratchFile("blank.png");
  QImage blank(koron::TextArtImageSize(SmallPicture()), QImage::Format_Grayscale8);
  blank.fill(Qt::white);
  for (auto _ : state) {
    QSaveFile file(path);
    bool ok = file.open(QIODevice::WriteOnly);
    ok = ok && QImageWriter(&file, "png").write(blank);
    ok = ok && file.commit();
    if (!ok) {
      state.SkipWithError("cannot write the blank picture");
      break;
    }
  }
}

void Register(const char* name, void (*function)(benchmark::State&)) {
  benchmark::RegisterBenchmark(name, function)
      ->Unit(benchmark::kMicrosecond)
      ->Repetitions(5)
      ->ReportAggregatesOnly(true);
}

void PrintRatio(const koron::bench::RatioReporter& reporter, const char* what, const char* measured,
                const char* floor, double goal) {
  const double a = reporter.Median(measured);
  const double b = reporter.Median(floor);
  if (a <= 0 || b <= 0) return;
  std::printf("ratio %s: %.2f (goal <= %.0f; %s %.1f us, %s %.1f us)\n", what, a / b, goal,
              measured, a * 1e6, floor, b * 1e6);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  Register("WidthsAndBytes", WidthsAndBytes);
  Register("IcuToCp932", IcuToCp932);
  Register("CheckAndFix", CheckAndFix);
  Register("EncodeShiftJisSafe", EncodeShiftJisSafe);
  Register("SavePicturePng", SavePicturePng);
  Register("SaveBlankPng", SaveBlankPng);
  koron::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  const QSize size = koron::TextArtImageSize(SmallPicture());
  std::printf("\nmedian times; picture of %zu units, 20-marcher picture %d x %d px\n",
              LargestPicture().size(), size.width(), size.height());
  PrintRatio(reporter, "widths+bytes/ICU", "WidthsAndBytes", "IcuToCp932", 2);
  PrintRatio(reporter, "check+fix/widths+bytes", "CheckAndFix", "WidthsAndBytes", 2);
  PrintRatio(reporter, "sjis-safe bytes/ICU", "EncodeShiftJisSafe", "IcuToCp932", 2);
  PrintRatio(reporter, "PNG/blank PNG", "SavePicturePng", "SaveBlankPng", 3);
  return 0;
}
