// Press-to-shown time of the compose button at several marcher counts, beside a bare
// QPlainTextEdit of the same size showing the same text; and the cost of showing pictures near
// the length limit, for each kind of row, beside the same characters in 80-column lines.
// Prints tables; no pass or fail.
//
//   bench_press [-platform xcb|offscreen] [--repeat N]
//
// Runs offscreen unless told otherwise. Works in a temporary directory, so no list file is read.
// Times are wall clock and, in brackets, this process's CPU time: on a busy machine the second
// is what an idle one would show.
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <vector>

#include "app/application_setup.h"
#include "app/form1.h"
#include "composer/composer.h"

namespace {

// Counts paint events of a widget, so that a measurement can wait until the new text is drawn.
class PaintWatcher : public QObject {
 public:
  explicit PaintWatcher(QWidget* widget) { widget->installEventFilter(this); }
  int paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

void WaitUntilPainted(QWidget* viewport, PaintWatcher& watcher, int before) {
  viewport->update();
  QElapsedTimer guard;
  guard.start();
  while (watcher.paints == before && guard.elapsed() < 120000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  QCoreApplication::processEvents();
}

double CpuMs() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

struct Timing {
  double wallMs = 0;
  double cpuMs = 0;
};

// Medians of `repeat` runs of `run`, each after `prepare`.
Timing Measure(int repeat, const std::function<void()>& prepare, const std::function<void()>& run) {
  std::vector<double> walls;
  std::vector<double> cpus;
  for (int i = 0; i < repeat; ++i) {
    prepare();
    QElapsedTimer timer;
    const double cpuStart = CpuMs();
    timer.start();
    run();
    walls.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    cpus.push_back(CpuMs() - cpuStart);
  }
  std::sort(walls.begin(), walls.end());
  std::sort(cpus.begin(), cpus.end());
  return {walls[walls.size() / 2], cpus[cpus.size() / 2]};
}

QString ShortLines(const QString& text, int width) {
  QString flat = text;
  flat.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
  QString out;
  out.reserve(flat.size() + flat.size() / width * 2 + 2);
  for (qsizetype i = 0; i < flat.size(); i += width) {
    if (i > 0) out += QStringLiteral("\r\n");
    out += flat.mid(i, width);
  }
  return out;
}

bool HasPlatformArgument(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) {
      return true;
    }
  }
  return false;
}

void WaitUntilExposed(QWidget& widget) {
  while (widget.windowHandle() == nullptr || !widget.windowHandle()->isExposed()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (!HasPlatformArgument(argc, argv) && std::getenv("QT_QPA_PLATFORM") == nullptr) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  koron::SetUpApplication();
  int repeat = 5;
  const QStringList args = QCoreApplication::arguments();
  const qsizetype at = args.indexOf(QStringLiteral("--repeat"));
  if (at >= 0 && at + 1 < args.size()) repeat = std::max(1, args[at + 1].toInt());

  QTemporaryDir scratch;
  QDir::setCurrent(scratch.path());

  koron::Form1 form;
  form.show();
  WaitUntilExposed(form);
  PaintWatcher formWatcher(form.TextAA->viewport());

  // The baseline: a bare text box of the same size and font, given the same text directly.
  QPlainTextEdit bare;
  bare.setLineWrapMode(QPlainTextEdit::NoWrap);
  bare.setFont(form.TextAA->font());
  bare.resize(form.TextAA->size());
  bare.show();
  WaitUntilExposed(bare);
  PaintWatcher bareWatcher(bare.viewport());
  const auto clearBare = [&] {
    bare.setPlainText(QStringLiteral("x"));
    QCoreApplication::processEvents();
  };
  const auto showInBare = [&](const QString& text) {
    const int before = bareWatcher.paints;
    bare.setPlainText(text);
    WaitUntilPainted(bare.viewport(), bareWatcher, before);
  };

  std::printf("platform %s, medians of %d runs; ms wall [ms CPU]\n\n",
              qPrintable(QGuiApplication::platformName()), repeat);

  std::printf("press to shown: Combo2 set, Command1 clicked, TextAA painted\n");
  std::printf("%9s %10s %20s %20s %7s\n", "marchers", "units", "press", "bare text box", "ratio");
  for (int marchers : {20, 10000, 100000}) {
    form.Combo2->lineEdit()->setText(QString::number(marchers));
    const koron::ProcessionChoices choices = form.ReadProcessionChoices();
    const QString picture = QString::fromStdU16String(koron::ComposePicture(choices));
    const bool shown = koron::PictureLength(choices) <= koron::kMaxPictureLength;

    const Timing press = Measure(
        repeat,
        [&] {
          form.TextAA->setPlainText(QStringLiteral("x"));
          QCoreApplication::processEvents();
        },
        [&] {
          const int before = formWatcher.paints;
          form.Command1->click();
          WaitUntilPainted(form.TextAA->viewport(), formWatcher, before);
        });
    const Timing baseline = Measure(repeat, clearBare, [&] { showInBare(picture); });
    std::printf("%9d %10lld %9.1f [%8.1f] %9.1f [%8.1f] %7.2f%s\n", marchers,
                static_cast<long long>(picture.size()), press.wallMs, press.cpuMs, baseline.wallMs,
                baseline.cpuMs, press.cpuMs / baseline.cpuMs,
                shown ? "" : "  over the limit: not composed");
  }

  std::printf("\nshowing a picture (setPlainText and first paint), limit %llu units\n",
              static_cast<unsigned long long>(koron::kMaxPictureLength));
  std::printf("%-10s %10s %20s %20s %7s\n", "row", "units", "4 long lines", "80-column lines",
              "ratio");
  struct RowKind {
    const char* name;
    std::int32_t koron::ProcessionChoices::*count;
  };
  const RowKind kinds[] = {{"marchers", &koron::ProcessionChoices::MarcherCount},
                           {"cheering", &koron::ProcessionChoices::CheerCount},
                           {"signs", &koron::ProcessionChoices::SignCount}};
  for (const RowKind& kind : kinds) {
    for (double factor : {0.5, 1.0, 2.0}) {
      koron::ProcessionChoices choices;
      choices.FaceIndex = 1;
      choices.FaceText = form.Combo1->itemText(1).toStdU16String();
      choices.Ears = true;
      choices.*kind.count = 1;
      const std::uint64_t one = koron::PictureLength(choices);
      choices.*kind.count = 2;
      const std::uint64_t each = koron::PictureLength(choices) - one;
      choices.*kind.count = static_cast<std::int32_t>(
          (factor * static_cast<double>(koron::kMaxPictureLength) - static_cast<double>(one)) /
          static_cast<double>(each));
      const QString picture = QString::fromStdU16String(koron::ComposePicture(choices));
      const QString shortLines = ShortLines(picture, 80);
      const Timing longLines = Measure(repeat, clearBare, [&] { showInBare(picture); });
      const Timing columns = Measure(repeat, clearBare, [&] { showInBare(shortLines); });
      std::printf("%-10s %10lld %9.1f [%8.1f] %9.1f [%8.1f] %7.2f\n", kind.name,
                  static_cast<long long>(picture.size()), longLines.wallMs, longLines.cpuMs,
                  columns.wallMs, columns.cpuMs, longLines.cpuMs / columns.cpuMs);
    }
  }
  return 0;
}
