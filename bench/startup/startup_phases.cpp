// Where start-up time goes: runs the steps of the tool's main() and, in alternation, those of
// bare_window, timing each step inside the process until the window's first paint.
//
//   startup_phases [RUNS]     (in the directory holding the list files, with DISPLAY set)
//
// Each run is a fresh process; after one discarded run of each program, prints the median of
// every step for both, side by side. The time before main() (loading the libraries) is not
// included; startup_probe measures the whole.
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/application_setup.h"
#include "render/fonts.h"
#include "app/form1.h"
#include "app/platform_choice.h"

namespace {

constexpr const char* kPhases[] = {"QApplication", "set-up", "window built", "show",
                                   "first paint"};
constexpr int kPhaseCount = 5;

// Stops the event loop once the watched window has finished its first paint.
class FirstPaint : public QObject {
 public:
  bool painted = false;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !painted) {
      painted = true;
      // Quit after the paint has been handled and flushed.
      QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    }
    return QObject::eventFilter(watched, event);
  }
};

void PrintLaps(const double* marks) {
  double previous = 0;
  for (int i = 0; i < kPhaseCount; ++i) {
    std::printf("%.3f%c", marks[i] - previous, i + 1 < kPhaseCount ? ' ' : '\n');
    previous = marks[i];
  }
}

// The steps of bare_window.cpp.
int RunBare(int argc, char** argv) {
  QElapsedTimer timer;
  timer.start();
  double marks[kPhaseCount];
  int mark = 0;
  auto lap = [&] { marks[mark++] = static_cast<double>(timer.nsecsElapsed()) / 1e6; };

  QApplication app(argc, argv);
  lap();
  lap();
  QWidget window;
  window.setWindowTitle(QStringLiteral("bare window"));
  window.setFixedSize(603, 294);
  lap();
  FirstPaint watch;
  window.installEventFilter(&watch);
  window.show();
  lap();
  QApplication::exec();
  lap();
  PrintLaps(marks);
  return 0;
}

int RunTool(int argc, char** argv) {
  QElapsedTimer timer;
  timer.start();
  double marks[kPhaseCount];
  int mark = 0;
  auto lap = [&] { marks[mark++] = static_cast<double>(timer.nsecsElapsed()) / 1e6; };

  // The steps of app/main.cpp.
  koron::ApplyPreferredPlatform(argc, argv);
  QApplication app(argc, argv);
  lap();
  koron::SetUpApplication();
  lap();
  koron::Form1 form;
  lap();
  FirstPaint watch;
  form.installEventFilter(&watch);
  form.show();
  lap();
  QApplication::exec();
  lap();
  PrintLaps(marks);
  return 0;
}

// Runs this program on `what` ("bare" or "tool") in a fresh process and reads its step times.
bool RunChild(const char* self, const char* what, double* steps) {
  int pipes[2];
  if (pipe(pipes) != 0) return false;
  const pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    dup2(pipes[1], STDOUT_FILENO);
    close(pipes[0]);
    close(pipes[1]);
    execl(self, self, "1", what, static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipes[1]);
  std::string out;
  char buffer[256];
  for (ssize_t n; (n = read(pipes[0], buffer, sizeof buffer)) > 0;) out.append(buffer, n);
  close(pipes[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return std::sscanf(out.c_str(), "%lf %lf %lf %lf %lf", &steps[0], &steps[1], &steps[2], &steps[3],
                     &steps[4]) == kPhaseCount;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 1;
  const std::string what = argc > 2 ? argv[2] : "tool";
  if (runs <= 1) return what == "bare" ? RunBare(1, argv) : RunTool(1, argv);

  // [program][step]: 0 bare, 1 tool.
  std::vector<double> times[2][kPhaseCount];
  for (int r = 0; r <= runs; ++r) {
    for (int p = 0; p < 2; ++p) {
      double steps[kPhaseCount];
      if (!RunChild(argv[0], p == 0 ? "bare" : "tool", steps)) {
        std::fprintf(stderr, "run %d failed\n", r);
        return 1;
      }
      if (r == 0) continue;  // warm-up
      for (int i = 0; i < kPhaseCount; ++i) times[p][i].push_back(steps[i]);
    }
  }
  std::printf("%-20s %12s %12s   (medians of %d runs, ms)\n", "step", "bare window", "tool", runs);
  double total[2] = {0, 0};
  for (int i = 0; i < kPhaseCount; ++i) {
    const double bare = Median(times[0][i]);
    const double tool = Median(times[1][i]);
    total[0] += bare;
    total[1] += tool;
    std::printf("%-20s %12.2f %12.2f\n", kPhases[i], bare, tool);
  }
  std::printf("%-20s %12.2f %12.2f\n", "sum", total[0], total[1]);
  return 0;
}
