// The help viewer and the help file: finding the file, opening it at its contents
// or its index, the viewer's own box for a missing file, and a help file that
// covers every control of the main window.
#include "ui/help_viewer.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QFile>
#include <QGroupBox>
#include <QMessageBox>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextBrowser>

#include "platform/platform.h"
#include "platform/platform_fake.h"
#include "ui/main_form.h"

namespace velkar {
namespace {

const char* const kHelpSource = VELKAR_HELP_FILE;  // resources/Velkar.hlp

class HelpViewerTest : public testing::Test {
 protected:
  void TearDown() override {
    delete CurrentHelpViewer();
    delete HelpMissingBox();
  }
};

TEST_F(HelpViewerTest, FindsANameWithADirectoryAsGivenAndNothingElse) {
  EXPECT_EQ(FindHelpFile(QString::fromUtf8(kHelpSource)), QString::fromUtf8(kHelpSource));
  EXPECT_EQ(FindHelpFile(QStringLiteral("/no/such/dir/Velkar.hlp")), QString());
  // A bare name is looked for only beside the program and in its data folder.
  EXPECT_EQ(FindHelpFile(QStringLiteral("no-such-help.hlp")), QString());
}

TEST_F(HelpViewerTest, OpensTheContentsAndTheIndex) {
  ShowHelpViewer(kHelpSource, kHelpContents, nullptr);
  HelpViewer* viewer = CurrentHelpViewer();
  ASSERT_NE(viewer, nullptr);
  EXPECT_TRUE(viewer->isVisible());
  EXPECT_EQ(viewer->Browser()->verticalScrollBar()->value(), 0);
  EXPECT_TRUE(viewer->Browser()->toPlainText().contains(QStringLiteral("目次")));

  viewer->resize(400, 300);
  ShowHelpViewer(kHelpSource, kHelpPartialKey, "");
  EXPECT_EQ(CurrentHelpViewer(), viewer);  // one viewer window
  EXPECT_GT(viewer->Browser()->verticalScrollBar()->value(), 0);

  ShowHelpViewer(kHelpSource, kHelpContents, nullptr);
  EXPECT_EQ(viewer->Browser()->verticalScrollBar()->value(), 0);
  EXPECT_EQ(HelpMissingBox(), nullptr);
}

TEST_F(HelpViewerTest, AMissingFileIsReportedByTheViewersOwnBox) {
  ShowHelpViewer("/no/such/dir/Velkar.hlp", kHelpContents, nullptr);
  QMessageBox* box = HelpMissingBox();
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(box->isVisible());
  EXPECT_FALSE(box->isModal());  // the program goes on meanwhile
  EXPECT_TRUE(box->text().contains(QStringLiteral("/no/such/dir/Velkar.hlp")));
  EXPECT_TRUE(CurrentHelpViewer() == nullptr || !CurrentHelpViewer()->isVisible());
}

TEST(HelpFile, CoversEveryControlTheCommandLineAndTheLineRules) {
  QFile file(QString::fromUtf8(kHelpSource));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QString help = QString::fromUtf8(file.readAll());

  ScopedFakePlatform fake;
  TVelkarMainForm form;
  QStringList captions;
  for (QAbstractButton* button : form.findChildren<QAbstractButton*>()) {
    if (!button->text().isEmpty()) captions << button->text();
  }
  for (QGroupBox* group : form.findChildren<QGroupBox*>()) captions << group->title();
  for (int i = 0; i < form.PageControl1->count(); ++i) captions << form.PageControl1->tabText(i);
  captions << form.FileOpenPanel->text() << form.StatusLine->SimpleText();
  EXPECT_GE(captions.size(), 15);
  for (const QString& caption : captions) {
    EXPECT_TRUE(help.contains(caption)) << caption.toStdString();
  }
  for (const char* word : {"-a+", "-r", "-i", "-u", "-f", "-o", "-3nf", "CR LF", "NUL",
                           "QT_QPA_PLATFORM", "name=\"contents\"", "name=\"index\""}) {
    EXPECT_TRUE(help.contains(QString::fromUtf8(word))) << word;
  }
}

}  // namespace
}  // namespace velkar
