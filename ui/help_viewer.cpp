// The help viewer: a small window with "目次" and "索引" buttons over a text
// browser showing the help file; a missing file gets the viewer's own box.
#include "ui/help_viewer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QIcon>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBrowser>
#include <QTextCursor>
#include <QUrl>
#include <QVBoxLayout>

#include "platform/platform.h"
#include "ui/ui_texts.h"

namespace velkar {

namespace {

QPointer<HelpViewer>& Viewer() {
  static QPointer<HelpViewer> viewer;
  return viewer;
}

QPointer<QMessageBox>& MissingBox() {
  static QPointer<QMessageBox> box;
  return box;
}

}  // namespace

QString FindHelpFile(const QString& name) {
  if (name.contains(QLatin1Char('/'))) return QFileInfo(name).isFile() ? name : QString();
  const QString programDir = QCoreApplication::applicationDirPath();
  const QString candidates[] = {
      programDir + QLatin1Char('/') + name,
      programDir + QStringLiteral("/../share/velkar/") + name,
  };
  for (const QString& candidate : candidates) {
    if (QFileInfo(candidate).isFile()) return QDir::cleanPath(candidate);
  }
  return QString();
}

HelpViewer::HelpViewer(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("HelpViewer"));
  setWindowTitle(QString::fromUtf8(texts::kHelpCaption));
  setWindowIcon(QIcon(QString::fromLatin1(texts::kIconPath)));
  // A help window left open does not keep the program alive.
  setAttribute(Qt::WA_QuitOnClose, false);
  resize(640, 560);

  auto* contents = new QPushButton(QString::fromUtf8(texts::kContentsButton), this);
  contents->setObjectName(QStringLiteral("ContentsButton"));
  auto* index = new QPushButton(QString::fromUtf8(texts::kIndexButton), this);
  index->setObjectName(QStringLiteral("IndexButton"));
  browser_ = new QTextBrowser(this);
  browser_->setObjectName(QStringLiteral("HelpBrowser"));
  // Links inside the file are anchors; the browser must not try to load them.
  browser_->setOpenLinks(false);
  connect(browser_, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
    if (!url.fragment().isEmpty()) browser_->scrollToAnchor(url.fragment());
  });
  connect(contents, &QPushButton::clicked, this, [this] { ShowContents(); });
  connect(index, &QPushButton::clicked, this, [this] { ShowIndex(QString()); });

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(contents);
  buttons->addWidget(index);
  buttons->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(buttons);
  layout->addWidget(browser_, 1);
}

bool HelpViewer::Load(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  browser_->setHtml(QString::fromUtf8(file.readAll()));
  path_ = path;
  return true;
}

void HelpViewer::ShowContents() {
  // The contents open the file: its top.
  browser_->moveCursor(QTextCursor::Start);
  browser_->verticalScrollBar()->setValue(0);
}

void HelpViewer::ShowIndex(const QString& keyword) {
  browser_->scrollToAnchor(QStringLiteral("index"));
  if (keyword.isEmpty()) return;
  // Select the first index entry that starts with the keyword.
  QTextDocument* document = browser_->document();
  QTextCursor index = document->find(QString::fromUtf8(texts::kIndexButton));
  QTextCursor found = document->find(keyword, index.isNull() ? QTextCursor(document) : index);
  if (!found.isNull()) browser_->setTextCursor(found);
}

namespace {

void ReportMissing(const QString& name) {
  QMessageBox* box = MissingBox();
  if (box == nullptr) {
    box = new QMessageBox(QMessageBox::Warning, QString::fromUtf8(texts::kHelpCaption),
                          QString::fromUtf8(texts::kHelpMissing).arg(name), QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setAttribute(Qt::WA_QuitOnClose, false);
    box->setWindowModality(Qt::NonModal);
    MissingBox() = box;
  }
  box->show();
  box->raise();
  box->activateWindow();
}

}  // namespace

void ShowHelpViewer(const char* helpFile, unsigned command, const char* data) {
  const QString name = QString::fromUtf8(helpFile);
  const QString path = FindHelpFile(name);
  HelpViewer* viewer = Viewer();
  if (viewer == nullptr) {
    viewer = new HelpViewer;
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    Viewer() = viewer;
  }
  // The file is read at every call, so that the viewer shows it as it is now.
  if (path.isEmpty() || !viewer->Load(path)) {
    if (!viewer->isVisible()) delete viewer;
    ReportMissing(name);
    return;
  }
  if (command == kHelpPartialKey) {
    viewer->ShowIndex(QString::fromUtf8(data != nullptr ? data : ""));
  } else {
    viewer->ShowContents();
  }
  viewer->show();
  viewer->raise();
  viewer->activateWindow();
}

HelpViewer* CurrentHelpViewer() { return Viewer(); }
QMessageBox* HelpMissingBox() { return MissingBox(); }

}  // namespace velkar
