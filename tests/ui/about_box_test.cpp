// The About box: its controls as the form describes them, the version text, and
// how it shows and hides (centred once, modeless, Esc ignored, close only hides).
#include "ui/about_box.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include "platform/platform_fake.h"
#include "ui/main_form.h"

namespace velkar {
namespace {

TEST(VersionText, WritesMajorDotMinorWithoutLeadingZeros) {
  EXPECT_EQ(VersionText(VersionNumber), QStringLiteral("Version1.30"));
  EXPECT_EQ(VersionText(105), QStringLiteral("Version1.5"));
  EXPECT_EQ(VersionText(100), QStringLiteral("Version1.0"));
  EXPECT_EQ(VersionText(1999), QStringLiteral("Version19.99"));
  EXPECT_EQ(VersionText(7), QStringLiteral("Version0.7"));
}

TEST(AboutBoxLayout, MatchesTheFormDescription) {
  TAboutBox box;
  EXPECT_EQ(box.windowTitle(), QStringLiteral("VELKAR"));
  EXPECT_EQ(box.size(), QSize(298, 154));
  EXPECT_EQ(box.minimumSize(), box.maximumSize());  // fixed border
  EXPECT_FALSE(box.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(box.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_FALSE(box.isModal());
  EXPECT_FALSE(box.isVisible());

  struct Row {
    QWidget* widget;
    const char* name;
    QWidget* parent;
    QRect geometry;
  };
  const Row rows[] = {
      {box.Panel1, "Panel1", &box, {8, 0, 281, 113}},
      {box.ProgramIcon, "ProgramIcon", box.Panel1, {16, 16, 33, 33}},
      {box.ProductName, "ProductName", box.Panel1, {88, 16, 72, 12}},
      {box.Version, "Version", box.Panel1, {88, 40, 35, 13}},
      {box.NoticeLabel, "NoticeLabel", box.Panel1, {8, 64, 265, 12}},
      {box.Comments, "Comments", box.Panel1, {8, 88, 265, 17}},
      {box.OKButton, "OKButton", &box, {111, 124, 75, 25}},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.widget->objectName(), QString::fromLatin1(row.name));
    EXPECT_EQ(row.widget->parentWidget(), row.parent) << row.name;
    EXPECT_EQ(row.widget->geometry(), row.geometry) << row.name;
  }
  EXPECT_EQ(box.ProductName->text(), QStringLiteral("VELKAR.EXE"));
  EXPECT_EQ(box.Version->text(), QStringLiteral("Version"));
  EXPECT_EQ(box.Comments->text(), QStringLiteral("テキストソートユーティリティ"));
  EXPECT_TRUE(box.Comments->wordWrap());
  EXPECT_TRUE(box.Comments->alignment() & Qt::AlignHCenter);
  EXPECT_TRUE(box.NoticeLabel->alignment() & Qt::AlignHCenter);
  EXPECT_EQ(box.OKButton->text(), QStringLiteral("OK"));
  EXPECT_TRUE(box.OKButton->isDefault());
  EXPECT_EQ(box.Panel1->focusPolicy(), Qt::NoFocus);
  EXPECT_EQ(box.ProgramIcon->pixmap().size(), QSize(32, 32));
  EXPECT_EQ(box.font().pixelSize(), 12);
}

TEST(AboutBoxLayout, NoticeIsOneLineThatFitsItsArea) {
  TAboutBox box;
  const QString notice = box.NoticeLabel->text();
  EXPECT_FALSE(notice.isEmpty());
  EXPECT_FALSE(notice.contains(QLatin1Char('\n')));
  EXPECT_LE(box.NoticeLabel->fontMetrics().horizontalAdvance(notice), 265);
  EXPECT_TRUE(notice.contains(QStringLiteral("MIT")));
}

class AboutBoxTest : public testing::Test {
 protected:
  void SetUp() override {
    AboutBox = new TAboutBox;
    form_ = new TVelkarMainForm;
    form_->show();
  }
  void TearDown() override {
    delete form_;
    delete AboutBox;
    AboutBox = nullptr;
  }
  ScopedFakePlatform fake_;
  TVelkarMainForm* form_ = nullptr;
};

TEST_F(AboutBoxTest, HelpAboutShowsItCentredWithTheVersionAndTheFocusOnOk) {
  form_->HelpAbout(form_->HelpAboutItem);
  EXPECT_TRUE(AboutBox->isVisible());
  EXPECT_EQ(AboutBox->Version->text(), QStringLiteral("Version1.30"));
  EXPECT_GE(AboutBox->Version->width(),
            AboutBox->Version->fontMetrics().horizontalAdvance(QStringLiteral("Version1.30")));
  const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
  EXPECT_LE((AboutBox->geometry().center() - centre).manhattanLength(), 2);
  EXPECT_TRUE(QTest::qWaitForWindowActive(AboutBox));
  EXPECT_EQ(AboutBox->focusWidget(), AboutBox->OKButton);
  // Modeless: the main window stays usable.
  EXPECT_TRUE(form_->isEnabled());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(AboutBoxTest, EscDoesNothingAndOkOrCloseOnlyHide) {
  form_->HelpAbout(form_->HelpAboutItem);
  QTest::keyClick(AboutBox, Qt::Key_Escape);
  EXPECT_TRUE(AboutBox->isVisible());
  QTest::keyClick(AboutBox->OKButton, Qt::Key_Escape);
  EXPECT_TRUE(AboutBox->isVisible());

  QTest::mouseClick(AboutBox->OKButton, Qt::LeftButton);
  EXPECT_FALSE(AboutBox->isVisible());
  EXPECT_NE(AboutBox, nullptr);  // kept for the next showing

  form_->HelpAbout(form_->HelpAboutItem);
  EXPECT_TRUE(AboutBox->isVisible());
  AboutBox->close();
  EXPECT_FALSE(AboutBox->isVisible());
  // The main window outlives it.
  EXPECT_TRUE(form_->isVisible());
}

TEST_F(AboutBoxTest, EnterPressesOk) {
  form_->HelpAbout(form_->HelpAboutItem);
  ASSERT_TRUE(QTest::qWaitForWindowActive(AboutBox));
  QTest::keyClick(AboutBox->OKButton, Qt::Key_Return);
  EXPECT_FALSE(AboutBox->isVisible());
}

TEST_F(AboutBoxTest, LaterShowingsKeepThePlaceAndAShownBoxIsNotMoved) {
  form_->HelpAbout(form_->HelpAboutItem);
  AboutBox->move(40, 50);
  const QPoint moved = AboutBox->pos();
  AboutBox->OKButtonClick();
  form_->HelpAbout(form_->HelpAboutItem);
  EXPECT_EQ(AboutBox->pos(), moved);

  // Already shown: the text is written again, nothing else happens.
  AboutBox->Version->setText(QStringLiteral("x"));
  AboutBox->move(60, 70);
  const QPoint again = AboutBox->pos();
  form_->activateWindow();
  form_->HelpAbout(form_->HelpAboutItem);
  EXPECT_EQ(AboutBox->Version->text(), QStringLiteral("Version1.30"));
  EXPECT_EQ(AboutBox->pos(), again);
}

}  // namespace
}  // namespace velkar
