// Takes a picture of the real main window, menu bar and client area as drawn, and
// saves it as PNG: screenshot OUTPUT.png. Run under Xvfb. Fails when a caption has
// a character the font in use cannot draw, so the picture never shows empty boxes.
#include <QAbstractButton>
#include <QApplication>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>

#include "platform/platform_qt.h"
#include "ui/main_form.h"

namespace {

// Counts the characters of `text` that `widget`'s font has no glyph for.
int Missing(QWidget* widget, const QString& text) {
  const QFontMetrics metrics(widget->font());
  int missing = 0;
  for (char32_t c : text.toUcs4()) {
    if (c != u'&' && !metrics.inFontUcs4(c)) {
      std::fprintf(stderr, "screenshot: %s cannot draw U+%04X in \"%s\"\n",
                   qPrintable(widget->objectName()), static_cast<unsigned>(c), qPrintable(text));
      ++missing;
    }
  }
  return missing;
}

}  // namespace

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

  int missing = 0;
  for (QWidget* w : form.findChildren<QWidget*>()) {
    if (auto* b = qobject_cast<QAbstractButton*>(w)) missing += Missing(w, b->text());
    if (auto* g = qobject_cast<QGroupBox*>(w)) missing += Missing(w, g->title());
    if (auto* l = qobject_cast<QLabel*>(w)) missing += Missing(w, l->text());
    if (auto* t = qobject_cast<QTabWidget*>(w)) {
      for (int i = 0; i < t->count(); ++i) missing += Missing(w, t->tabText(i));
    }
  }

  int status = 1;
  QTimer::singleShot(300, [&] {
    const QPixmap picture = form.grab();
    status = picture.save(QString::fromLocal8Bit(argv[1]), "PNG") && missing == 0 ? 0 : 1;
    app.quit();
  });
  app.exec();
  velkar::SetCurrentPlatform(nullptr);
  return status;
}
