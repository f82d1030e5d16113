// Where the tool's start-up time goes: runs the same steps as the tool's main() and prints the
// time each took, ending once the window has been painted for the first time.
//
//   startup_phases [RUNS]     (in the directory holding the list files, with DISPLAY set)
//
// With RUNS above 1 the program runs itself that many times, each a fresh process, and prints
// the median of every phase. The time before main() (loading the libraries) is not included;
// startup_probe measures the whole.
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
#include "app/form1.h"
#include "app/platform_choice.h"

namespace {

constexpr const char* kPhases[] = {"QApplication", "SetUpApplication", "Form1", "show",
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

int RunOnce(int argc, char** argv) {
  QElapsedTimer timer;
  timer.start();
  double marks[kPhaseCount];
  int mark = 0;
  auto lap = [&] { marks[mark++] = static_cast<double>(timer.nsecsElapsed()) / 1e6; };

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

  double previous = 0;
  for (int i = 0; i < kPhaseCount; ++i) {
    std::printf("%.3f%c", marks[i] - previous, i + 1 < kPhaseCount ? ' ' : '\n');
    previous = marks[i];
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 1;
  if (runs <= 1) return RunOnce(argc, argv);

  std::vector<double> times[kPhaseCount];
  for (int r = 0; r <= runs; ++r) {
    int pipes[2];
    if (pipe(pipes) != 0) return 1;
    const pid_t pid = fork();
    if (pid == 0) {
      dup2(pipes[1], STDOUT_FILENO);
      close(pipes[0]);
      close(pipes[1]);
      execl(argv[0], argv[0], static_cast<char*>(nullptr));
      _exit(127);
    }
    close(pipes[1]);
    std::string out;
    char buffer[256];
    for (ssize_t n; (n = read(pipes[0], buffer, sizeof buffer)) > 0;) out.append(buffer, n);
    close(pipes[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (r == 0) continue;  // warm-up
    double v[kPhaseCount];
    if (std::sscanf(out.c_str(), "%lf %lf %lf %lf %lf", &v[0], &v[1], &v[2], &v[3], &v[4]) !=
        kPhaseCount) {
      std::fprintf(stderr, "run %d failed\n", r);
      return 1;
    }
    for (int i = 0; i < kPhaseCount; ++i) times[i].push_back(v[i]);
  }
  double total = 0;
  for (int i = 0; i < kPhaseCount; ++i) {
    std::sort(times[i].begin(), times[i].end());
    const double median = times[i][times[i].size() / 2];
    total += median;
    std::printf("%-18s median %6.2f ms   min %6.2f   max %6.2f\n", kPhases[i], median,
                times[i].front(), times[i].back());
  }
  std::printf("%-18s        %6.2f ms   (%d runs)\n", "sum of medians", total, runs);
  return 0;
}
