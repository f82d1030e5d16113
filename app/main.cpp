#include <QApplication>

#include "app/application_setup.h"
#include "app/form1.h"
#include "app/platform_choice.h"
#include "cli/command_line.h"

int main(int argc, char** argv) {
  // The command line is read before any window exists: help, version and the output options
  // need no display, and a usage error must not start one.
  const koron::StartRequest start = koron::ReadCommandLine(argc, argv);
  if (!start.openWindow) return start.exitCode;

  koron::ApplyPreferredPlatform(argc, argv);
  QApplication app(argc, argv);
  koron::SetUpApplication();

  koron::Form1 form(start.folder);
  form.show();
  if (start.openLibrary) form.OpenLibrary();
  return app.exec();
}
