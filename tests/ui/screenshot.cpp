// Takes a picture of the real main window, menu bar and client area as drawn, and
// saves it as PNG: screenshot OUTPUT.png. Run under Xvfb for the desktop's own drawing.
#include <QApplication>
#include <QPixmap>
#include <QTimer>
#include <cstdio>

#include "platform/platform_qt.h"
#include "ui/main_form.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: screenshot OUTPUT.png\n");
    return 2;
  }
  velkar::QtPlatform platform;
  velkar::SetCurrentPlatform(&platform);
  velkar::TVelkarMainForm form;
  form.show();
  int status = 1;
  QTimer::singleShot(300, [&] {
    QPixmap picture = form.grab();
    status = picture.save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
    app.quit();
  });
  app.exec();
  velkar::SetCurrentPlatform(nullptr);
  return status;
}
