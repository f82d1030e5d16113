#include "app/application_setup.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "app/app_icon.h"
#include "app/app_version.h"
#include "render/fonts.h"

namespace koron {

void SetUpApplication() {
  QApplication::setApplicationName(QStringLiteral("koron-aa"));
  QApplication::setApplicationVersion(QStringLiteral(KORON_APP_VERSION));
  QApplication::setOrganizationDomain(QStringLiteral("koronaa.github.io"));
  // The desktop entry's id, so that a Wayland compositor or a task bar finds its icon and name.
  QGuiApplication::setDesktopFileName(QStringLiteral("io.github.koronaa.KoronAA"));
  SetUpFonts();
  QApplication::setFont(WindowDefaultFont());
  QApplication::setWindowIcon(AppIcon());
  // The window speaks Japanese whatever the locale, and so do the text boxes' standard menus.
  auto* translator = new QTranslator(qApp);
  if (translator->load(QStringLiteral("qtbase_ja"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(translator);
  } else {
    delete translator;
  }
}

}  // namespace koron
