#include <QApplication>

#include "app/app_icon.h"
#include "app/app_version.h"
#include "app/fonts.h"
#include "app/form1.h"
#include "app/platform_choice.h"

int main(int argc, char** argv) {
  koron::ApplyPreferredPlatform(argc, argv);
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("koron-aa"));
  QApplication::setApplicationVersion(QStringLiteral(KORON_APP_VERSION));
  QApplication::setOrganizationDomain(QStringLiteral("koronaa.github.io"));
  QGuiApplication::setDesktopFileName(QStringLiteral("io.github.koronaa.KoronAA"));
  koron::SetUpFonts();
  QApplication::setFont(koron::WindowDefaultFont());
  QApplication::setWindowIcon(koron::AppIcon());

  koron::Form1 form;
  form.show();
  return app.exec();
}
