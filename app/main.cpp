#include <QApplication>

#include "app/application_setup.h"
#include "app/form1.h"
#include "app/platform_choice.h"

int main(int argc, char** argv) {
  koron::ApplyPreferredPlatform(argc, argv);
  QApplication app(argc, argv);
  koron::SetUpApplication();

  koron::Form1 form;
  form.show();
  return app.exec();
}
