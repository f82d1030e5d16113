#include <QApplication>

#include "app/application_setup.h"
#include "app/fonts.h"
#include "app/form1.h"
#include "app/platform_choice.h"

int main(int argc, char** argv) {
  koron::ApplyPreferredPlatform(argc, argv);
  koron::FontConfigWarmUp fontConfig;
  QApplication app(argc, argv);
  koron::SetUpApplication();
  fontConfig.Wait();

  koron::Form1 form;
  form.show();
  return app.exec();
}
