// Program entry: the application, the desktop platform, the main window, the loop.
#include <QApplication>

#include "platform/platform_qt.h"
#include "ui/main_form.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  velkar::QtPlatform platform;
  velkar::SetCurrentPlatform(&platform);
  velkar::TVelkarMainForm form;
  form.show();
  int status = app.exec();
  velkar::SetCurrentPlatform(nullptr);
  return status;
}
