// TAboutBox: its controls laid out in pixels as the form describes them, the
// version text, and the showing rules (centred once, modeless, Esc ignored).
#include "ui/about_box.h"

#include <qdrawutil.h>

#include <QFont>
#include <QFrame>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <algorithm>

#include "ui/main_form.h"
#include "ui/ui_texts.h"

namespace velkar {

TAboutBox* AboutBox = nullptr;

namespace {

// A panel with a lowered outer bevel and a raised inner bevel, one pixel each.
class BevelPanel : public QFrame {
 public:
  explicit BevelPanel(QWidget* parent) : QFrame(parent) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    qDrawShadePanel(&painter, rect(), palette(), true, 1);
    qDrawShadePanel(&painter, rect().adjusted(1, 1, -1, -1), palette(), false, 1);
  }
};

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int left, int top,
                  int width, int height) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setGeometry(left, top, width, height);
  label->setTextFormat(Qt::PlainText);
  return label;
}

}  // namespace

QString VersionText(int versionNumber) {
  return (Text(texts::kVersionLabel) + QStringLiteral("%1.%2"))
      .arg(versionNumber / 100)
      .arg(versionNumber % 100);
}

TAboutBox::TAboutBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName(QStringLiteral("AboutBox"));
  setWindowTitle(Text(texts::kProgramCaption));
  setModal(false);
  // The box lives as long as the program; closing the main window alone ends it.
  setAttribute(Qt::WA_QuitOnClose, false);
  QFont font(Text(texts::kFontFace));
  font.setPixelSize(texts::kFontPixels);
  setFont(font);
  setFixedSize(298, 154);
  setWindowIcon(QIcon(QString::fromLatin1(texts::kIconPath)));

  Panel1 = new BevelPanel(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setGeometry(8, 0, 281, 113);
  Panel1->setFocusPolicy(Qt::NoFocus);

  ProgramIcon = MakeLabel(Panel1, "ProgramIcon", QString(), 16, 16, 33, 33);
  ProgramIcon->setPixmap(QPixmap(QString::fromLatin1(texts::kIconPath)));
  ProgramIcon->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  ProductName = MakeLabel(Panel1, "ProductName", Text(texts::kProductName), 88, 16, 72, 12);
  Version = MakeLabel(Panel1, "Version", Text(texts::kVersionLabel), 88, 40, 35, 13);
  NoticeLabel = MakeLabel(Panel1, "NoticeLabel", Text(texts::kNotice), 8, 64, 265, 12);
  NoticeLabel->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  Comments = MakeLabel(Panel1, "Comments", Text(texts::kDescription), 8, 88, 265, 17);
  Comments->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  Comments->setWordWrap(true);

  OKButton = new QPushButton(Text(texts::kOk), this);
  OKButton->setObjectName(QStringLiteral("OKButton"));
  OKButton->setGeometry(111, 124, 75, 25);
  OKButton->setDefault(true);
  connect(OKButton, &QPushButton::clicked, this, [this] { OKButtonClick(); });
  setFocusProxy(OKButton);
}

void TAboutBox::OKButtonClick() { close(); }

void TAboutBox::ShowWithVersion(const QString& versionText) {
  Version->setText(versionText);
  // The label grows to fit its text, as an auto-sized label does.
  int needed = Version->fontMetrics().horizontalAdvance(versionText);
  if (needed > Version->width()) Version->resize(needed, Version->height());

  if (isVisible()) return;
  if (!shownBefore_) {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen != nullptr) {
      QRect area = screen->availableGeometry();
      move(area.center() - QPoint(width() / 2, height() / 2));
    }
    shownBefore_ = true;
  }
  show();
  raise();
  activateWindow();
  OKButton->setFocus(Qt::ActiveWindowFocusReason);
}

void TAboutBox::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

// Help > About: the version text written anew each time, the box shown when hidden.
void TVelkarMainForm::HelpAbout(QObject*) {
  if (AboutBox != nullptr) AboutBox->ShowWithVersion(VersionText(VersionNumber));
}

}  // namespace velkar
