// The window with two template lists of 500,000 names each: start-up (window built, lists filled
// and first shown) beside the same window without list files, and opening a drop-down beside one
// of a short list. Prints a table; no pass or fail.
//
//   bench_lists [-platform xcb|offscreen] [--names N] [--repeat N]
//
// Runs offscreen unless told otherwise, in a temporary directory holding the generated lists.
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include "app/application_setup.h"
#include "app/form1.h"

namespace {

double MedianMs(int repeat, const std::function<void()>& prepare,
                const std::function<void()>& run) {
  std::vector<double> times;
  for (int i = 0; i < repeat; ++i) {
    prepare();
    QElapsedTimer timer;
    timer.start();
    run();
    times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// Names as people give them: Japanese words with a number, in code page 932.
void WriteList(const QString& path, int names, const QByteArray& word) {
  QByteArray bytes;
  bytes.reserve(names * 40);
  for (int i = 0; i < names; ++i) {
    bytes += "[" + word + QByteArray::number(i) + "]\r\n(\x81\x4C\x83\xd6\x81\x4D)\r\n";
  }
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) std::abort();
}

// Builds the window, shows it and waits until it is on the screen.
void StartWindow(std::unique_ptr<koron::Form1>& form) {
  form = std::make_unique<koron::Form1>();
  form->show();
  if (!QTest::qWaitForWindowExposed(form.get())) std::abort();
  QCoreApplication::processEvents();
}

// Opens a drop-down, waits until it is on the screen, and closes it.
void OpenDropDown(QComboBox* combo) {
  combo->showPopup();
  QWidget* popup = combo->view()->window();
  if (!QTest::qWaitForWindowExposed(popup)) std::abort();
  QCoreApplication::processEvents();
  combo->hidePopup();
  QCoreApplication::processEvents();
}

}  // namespace

int main(int argc, char** argv) {
  bool platformGiven = false;
  int names = 500'000;
  int repeat = 7;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-platform") == 0) platformGiven = true;
    if (std::strcmp(argv[i], "--names") == 0 && i + 1 < argc) names = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) repeat = std::atoi(argv[i + 1]);
  }
  if (!platformGiven) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  koron::SetUpApplication();

  QTemporaryDir empty;
  QTemporaryDir full;
  WriteList(full.filePath(QStringLiteral("AAList_01.txt")), names, "\x83\x65\x83\x93\x83\x76");
  WriteList(full.filePath(QStringLiteral("AAList_02.txt")), names, "\x94\x4C");

  std::unique_ptr<koron::Form1> form;
  auto closeWindow = [&form] { form.reset(); };
  // Alternate the two cases, so that a busy moment of the machine falls on both alike.
  std::vector<double> bare, lists;
  for (int i = 0; i < repeat; ++i) {
    QDir::setCurrent(empty.path());
    bare.push_back(MedianMs(1, closeWindow, [&form] { StartWindow(form); }));
    QDir::setCurrent(full.path());
    lists.push_back(MedianMs(1, closeWindow, [&form] { StartWindow(form); }));
  }
  std::sort(bare.begin(), bare.end());
  std::sort(lists.begin(), lists.end());
  const double bareMs = bare[bare.size() / 2];
  const double listsMs = lists[lists.size() / 2];

  // The window with the long lists stays open; a short list beside it for the drop-down.
  if (form->Combo4->count() != names) std::abort();
  QComboBox* shortList = form->Combo1;
  const double longDrop = MedianMs(
      repeat, [] {}, [&form] { OpenDropDown(form->Combo4); });
  const double shortDrop = MedianMs(
      repeat, [] {}, [shortList] { OpenDropDown(shortList); });
  form->Combo4->setCurrentIndex(names - 1);
  const double lastChosen = MedianMs(
      repeat, [] {}, [&form] { OpenDropDown(form->Combo4); });

  std::printf("%d names in each list, median of %d, milliseconds\n", names, repeat);
  std::printf("%-44s %10s %10s %8s\n", "", "tool", "baseline", "ratio");
  std::printf("%-44s %10.1f %10.1f %7.2fx\n", "start-up: both lists / no list files", listsMs,
              bareMs, listsMs / bareMs);
  std::printf("%-44s %10.1f %10.1f %7.2fx\n", "drop-down opened: long list / face list", longDrop,
              shortDrop, longDrop / shortDrop);
  std::printf("%-44s %10.1f %10.1f %7.2fx\n", "drop-down at the last name / face list", lastChosen,
              shortDrop, lastChosen / shortDrop);
  return 0;
}
