// The baseline for start-up time: a Qt application that shows one empty window of the main
// window's client size and does nothing else.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle(QStringLiteral("bare window"));
  window.setFixedSize(603, 294);
  window.show();
  return app.exec();
}
