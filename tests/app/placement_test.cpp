// Where the window may go: the platform chosen on a Wayland session, and which saved positions
// leave the title bar within reach.
#include <QtTest>
#include <vector>

#include "app/platform_choice.h"
#include "app/window_placement.h"

class PlacementTest : public QObject {
  Q_OBJECT

 private slots:
  void preferredPlatform_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("qpaPlatform");  // "-" for unset
    QTest::addColumn<QString>("waylandDisplay");
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("expected");

    const QStringList plain = {QStringLiteral("koron-aa")};
    const QString unset = QStringLiteral("-");
    QTest::newRow("Wayland with XWayland") << plain << unset << "wayland-0"
                                           << ":0"
                                           << "xcb;wayland";
    QTest::newRow("Wayland without XWayland") << plain << unset << "wayland-0" << unset << "";
    QTest::newRow("Wayland, DISPLAY empty") << plain << unset << "wayland-0"
                                            << ""
                                            << "";
    QTest::newRow("X11 session") << plain << unset << unset << ":0"
                                 << "";
    QTest::newRow("QT_QPA_PLATFORM empty counts as unset") << plain << ""
                                                           << "wayland-0"
                                                           << ":0"
                                                           << "xcb;wayland";
    QTest::newRow("user chose by environment") << plain << "wayland"
                                               << "wayland-0"
                                               << ":0"
                                               << "";
    QTest::newRow("user chose by -platform")
        << QStringList({"koron-aa", "-platform", "wayland"}) << unset << "wayland-0"
        << ":0"
        << "";
    QTest::newRow("user chose by --platform")
        << QStringList({"koron-aa", "--platform", "offscreen"}) << unset << "wayland-0"
        << ":0"
        << "";
    QTest::newRow("other arguments")
        << QStringList({"koron-aa", "-reverse", "platform"}) << unset << "wayland-0"
        << ":0"
        << "xcb;wayland";
  }

  void preferredPlatform() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, qpaPlatform);
    QFETCH(QString, waylandDisplay);
    QFETCH(QString, display);
    QFETCH(QString, expected);

    std::vector<QByteArray> storage;
    for (const QString& argument : arguments) storage.push_back(argument.toLocal8Bit());
    std::vector<const char*> argv;
    for (const QByteArray& argument : storage) argv.push_back(argument.constData());
    const auto value = [](const QString& text, QByteArray& bytes) -> const char* {
      if (text == QLatin1String("-")) return nullptr;
      bytes = text.toLocal8Bit();
      return bytes.constData();
    };
    QByteArray qpa, wayland, x11;
    const std::string chosen = koron::PreferredPlatform(
        static_cast<int>(argv.size()), argv.data(), value(qpaPlatform, qpa),
        value(waylandDisplay, wayland), value(display, x11));
    QCOMPARE(QString::fromStdString(chosen), expected);
  }

  void titleBarShown_data() {
    QTest::addColumn<QPoint>("frame");
    QTest::addColumn<QList<QRect>>("screens");
    QTest::addColumn<bool>("shown");

    const QList<QRect> one = {QRect(0, 0, 1280, 800)};
    // A second monitor to the left of the first, and lower.
    const QList<QRect> two = {QRect(0, 0, 1280, 800), QRect(-1920, 200, 1920, 1080)};

    QTest::newRow("inside") << QPoint(100, 100) << one << true;
    QTest::newRow("top left corner") << QPoint(0, 0) << one << true;
    QTest::newRow("mostly beyond the right edge") << QPoint(1280 - 64, 300) << one << true;
    QTest::newRow("too little left at the right edge") << QPoint(1280 - 63, 300) << one << false;
    QTest::newRow("mostly beyond the left edge") << QPoint(-603 + 64, 300) << one << true;
    QTest::newRow("above the screen") << QPoint(100, -1) << one << false;
    QTest::newRow("title bar just fits at the bottom")
        << QPoint(100, 800 - koron::kTitleBarHeight) << one << true;
    QTest::newRow("title bar cut at the bottom")
        << QPoint(100, 800 - koron::kTitleBarHeight + 1) << one << false;
    QTest::newRow("on a monitor since unplugged") << QPoint(-1500, 400) << one << false;
    QTest::newRow("on the second monitor") << QPoint(-1500, 400) << two << true;
    QTest::newRow("above the second monitor") << QPoint(-1500, 100) << two << false;
    QTest::newRow("far away") << QPoint(143165576, 143165576) << two << false;
    QTest::newRow("far away negative") << QPoint(-143165576, -143165576) << two << false;
    QTest::newRow("no screen") << QPoint(0, 0) << QList<QRect>() << false;
  }

  void titleBarShown() {
    QFETCH(QPoint, frame);
    QFETCH(QList<QRect>, screens);
    QFETCH(bool, shown);
    QCOMPARE(koron::IsTitleBarShown(frame, 603, screens), shown);
  }

  void twipsToPixels_data() {
    QTest::addColumn<int>("twips");
    QTest::addColumn<int>("pixels");
    QTest::newRow("whole") << 3600 << 240;
    QTest::newRow("rounds down") << 1507 << 100;
    QTest::newRow("rounds up") << 1493 << 100;
    QTest::newRow("negative") << -300 << -20;
    QTest::newRow("largest") << 2147483647 << 143165576;
    QTest::newRow("smallest") << -2147483647 - 1 << -143165577;
  }

  void twipsToPixels() {
    QFETCH(int, twips);
    QFETCH(int, pixels);
    QCOMPARE(koron::TwipsToPixels(twips), pixels);
  }
};

QTEST_APPLESS_MAIN(PlacementTest)
#include "placement_test.moc"
