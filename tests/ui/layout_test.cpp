// The main window as laid out: every control's name, kind, parent, caption,
// geometry and initial state, the tab order, the menu, the dialogs, the window's
// size, border and font, the default button following the focus, Enter pressing it.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>

#include "form_fixture.h"

using namespace velkar;
using velkar::test::FormFixture;

namespace {

struct Expected {
  const char* name;
  const char* kind;
  const char* parent;  // "" : the window's client area
  const char* caption;
  QRect geometry;
  bool visible;
  int checked;  // -1: not a check box or radio button
};

// Written out from the window's design, not read from the program's table.
const Expected kExpected[] = {
    {"StatusLine", "status", "", "テキストソートユーティリティ", {0, 291, 426, 23}, true, -1},
    {"SortMenu", "group", "", "ソート順指定", {16, 8, 169, 89}, true, -1},
    {"Sort_F_RadioButton", "radio", "", "昇順ソート", {32, 32, 113, 17}, true, 1},
    {"Sort_R_RadioButton", "radio", "", "降順ソート", {32, 64, 121, 17}, true, 0},
    {"PageControl1", "tabs", "", "", {208, 8, 201, 89}, true, -1},
    {"NotCaseSensitiveCheckBox",
     "check",
     "TabSheet1",
     "英大文字小文字同一視",
     {8, 8, 145, 17},
     true,
     0},
    {"UniqCheckBox", "check", "TabSheet1", "重複行削除", {8, 32, 97, 17}, true, 0},
    {"SortPosEdit", "edit", "TabSheet2", "1", {16, 8, 41, 20}, true, -1},
    {"UpDown1", "updown", "TabSheet2", "", {57, 8, 15, 20}, true, -1},
    {"UpDown2", "updown", "TabSheet2", "", {72, 8, 16, 20}, true, -1},
    {"ColumCheckBox", "check", "TabSheet2", "バイト（桁）", {16, 40, 81, 17}, true, 1},
    {"FieldCheckBox", "check", "TabSheet2", "フィールド", {104, 40, 73, 17}, true, 0},
    {"StringCompCheckBox", "check", "TabSheet2", "文字列", {96, 0, 97, 17}, true, 1},
    {"NumCompCheckBox", "check", "TabSheet2", "数値", {96, 16, 97, 17}, true, 0},
    {"InputGroupBox", "group", "", "ソート対象", {16, 104, 393, 73}, true, -1},
    {"ClipBoardCheckBox1", "check", "InputGroupBox", "クリップボード", {16, 16, 97, 17}, true, 1},
    {"FileOpenCheckBox", "check", "InputGroupBox", "ファイル", {128, 16, 57, 17}, true, 0},
    {"FileOpenPanel", "panel", "InputGroupBox", "参照", {344, 40, 41, 17}, false, -1},
    {"FileOpenEdit", "edit", "InputGroupBox", "", {16, 40, 321, 20}, false, -1},
    {"OutputGroupBox", "group", "", "ソート結果の保存先", {16, 184, 393, 73}, true, -1},
    {"ClipBoardCheckBox2", "check", "OutputGroupBox", "クリップボード", {16, 16, 97, 17}, true, 1},
    {"FileSaveCheckBox", "check", "OutputGroupBox", "ファイル", {128, 16, 57, 17}, true, 0},
    {"FileSavePanel", "panel", "OutputGroupBox", "参照", {344, 40, 41, 17}, false, -1},
    {"FileSaveEdit", "edit", "OutputGroupBox", "", {16, 40, 321, 20}, false, -1},
    {"OKButton", "button", "", "実行", {112, 264, 75, 25}, true, -1},
    {"CancelButton", "button", "", "閉じる", {232, 264, 75, 25}, true, -1},
};

QString KindOf(QWidget* w) {
  if (qobject_cast<QStatusBar*>(w)) return "status";
  if (qobject_cast<QRadioButton*>(w)) return "radio";
  if (qobject_cast<QCheckBox*>(w)) return "check";
  if (qobject_cast<QPushButton*>(w)) return "button";
  if (qobject_cast<QGroupBox*>(w)) return "group";
  if (qobject_cast<QTabWidget*>(w)) return "tabs";
  if (qobject_cast<TEdit*>(w)) return "edit";
  if (qobject_cast<TUpDown*>(w)) return "updown";
  if (qobject_cast<TBrowsePanel*>(w)) return "panel";
  return "?";
}

QString CaptionOf(QWidget* w) {
  if (auto* s = qobject_cast<TStatusLine*>(w)) return s->SimpleText();
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
  if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
  if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  return {};
}

}  // namespace

class LayoutTest : public ::testing::Test {
 protected:
  void SetUp() override { fixture_ = std::make_unique<FormFixture>(); }
  void TearDown() override { fixture_.reset(); }

  std::unique_ptr<FormFixture> fixture_;
};

TEST_F(LayoutTest, EveryControlAsDescribed) {
  TVelkarMainForm* form = fixture_->form.get();
  // Pages behind the front one are hidden: look at the controls of both pages
  // as they are to their page.
  for (const Expected& e : kExpected) {
    auto* w = form->findChild<QWidget*>(QString::fromLatin1(e.name));
    ASSERT_NE(w, nullptr) << e.name;
    ASSERT_EQ(KindOf(w), QString::fromLatin1(e.kind));
    const QString parent = QString::fromLatin1(e.parent);
    if (parent.isEmpty()) {
      ASSERT_EQ(w->parentWidget(), form->ClientArea);
    } else {
      ASSERT_EQ(w->parentWidget()->objectName(), parent);
    }
    ASSERT_EQ(CaptionOf(w), QString::fromUtf8(e.caption));
    ASSERT_EQ(w->geometry(), e.geometry);
    QWidget* page = w->parentWidget();
    ASSERT_EQ(w->isVisibleTo(page), e.visible);
    if (e.checked >= 0) {
      ASSERT_EQ(static_cast<QAbstractButton*>(w)->isChecked(), e.checked == 1);
    }
  }
}

TEST_F(LayoutTest, MembersCarryTheirNames) {
  TVelkarMainForm* f = fixture_->form.get();
  const std::pair<QObject*, const char*> members[] = {
      {f, "VelkarMainForm"},
      {f->StatusLine, "StatusLine"},
      {f->SortMenu, "SortMenu"},
      {f->Sort_F_RadioButton, "Sort_F_RadioButton"},
      {f->Sort_R_RadioButton, "Sort_R_RadioButton"},
      {f->PageControl1, "PageControl1"},
      {f->TabSheet1, "TabSheet1"},
      {f->TabSheet2, "TabSheet2"},
      {f->NotCaseSensitiveCheckBox, "NotCaseSensitiveCheckBox"},
      {f->UniqCheckBox, "UniqCheckBox"},
      {f->SortPosEdit, "SortPosEdit"},
      {f->UpDown1, "UpDown1"},
      {f->UpDown2, "UpDown2"},
      {f->ColumCheckBox, "ColumCheckBox"},
      {f->FieldCheckBox, "FieldCheckBox"},
      {f->StringCompCheckBox, "StringCompCheckBox"},
      {f->NumCompCheckBox, "NumCompCheckBox"},
      {f->InputGroupBox, "InputGroupBox"},
      {f->ClipBoardCheckBox1, "ClipBoardCheckBox1"},
      {f->FileOpenCheckBox, "FileOpenCheckBox"},
      {f->FileOpenPanel, "FileOpenPanel"},
      {f->FileOpenEdit, "FileOpenEdit"},
      {f->OutputGroupBox, "OutputGroupBox"},
      {f->ClipBoardCheckBox2, "ClipBoardCheckBox2"},
      {f->FileSaveCheckBox, "FileSaveCheckBox"},
      {f->FileSavePanel, "FileSavePanel"},
      {f->FileSaveEdit, "FileSaveEdit"},
      {f->OKButton, "OKButton"},
      {f->CancelButton, "CancelButton"},
      {f->FileMenu, "FileMenu"},
      {f->FileOpenItem, "FileOpenItem"},
      {f->N1, "N1"},
      {f->FileExitItem, "FileExitItem"},
      {f->HelpMenu, "HelpMenu"},
      {f->HelpContentsItem, "HelpContentsItem"},
      {f->HelpSearchItem, "HelpSearchItem"},
      {f->N3, "N3"},
      {f->HelpAboutItem, "HelpAboutItem"},
  };
  for (const auto& [object, name] : members) {
    ASSERT_NE(object, nullptr) << name;
    ASSERT_EQ(object->objectName(), QString::fromLatin1(name));
  }
}

TEST_F(LayoutTest, PagesAndTheirOrder) {
  QTabWidget* tabs = fixture_->form->PageControl1;
  ASSERT_EQ(tabs->count(), 2);
  ASSERT_EQ(tabs->widget(0), fixture_->form->TabSheet1);
  ASSERT_EQ(tabs->widget(1), fixture_->form->TabSheet2);
  ASSERT_EQ(tabs->tabText(0), QString::fromUtf8("ソートオプション"));
  ASSERT_EQ(tabs->tabText(1), QString::fromUtf8("ソートキー"));
  ASSERT_EQ(tabs->currentWidget(), fixture_->form->TabSheet1);
}

TEST_F(LayoutTest, WindowSizeBorderFontCaption) {
  TVelkarMainForm* form = fixture_->form.get();
  ASSERT_EQ(form->windowTitle(), QString("VELKAR"));
  ASSERT_EQ(form->ClientArea->size(), QSize(426, 314));
  ASSERT_EQ(form->ClientArea->geometry().top(), form->menuBar()->geometry().bottom() + 1);
  ASSERT_EQ(form->minimumSize(), form->maximumSize());
  ASSERT_EQ(form->font().family(), QString::fromUtf8("ＭＳ Ｐゴシック"));
  ASSERT_EQ(form->font().pixelSize(), 12);
  ASSERT_EQ(form->font().weight(), QFont::Normal);
  // The face does not exist here: the installed Japanese Gothic face draws instead.
  ASSERT_EQ(QFont::substitute(QString::fromUtf8("ＭＳ Ｐゴシック")).toLower(),
            QString("ipapgothic"));
  ASSERT_EQ(QFontInfo(form->font()).family(), QString("IPAPGothic"));
  // Every control inherits it.
  ASSERT_EQ(form->SortPosEdit->font().family(), QString::fromUtf8("ＭＳ Ｐゴシック"));
  ASSERT_EQ(form->StatusLine->font().pixelSize(), 12);
  // Centred on the screen when first shown.
  const QPoint centre = form->screen()->availableGeometry().center();
  ASSERT_TRUE(qAbs(form->frameGeometry().center().x() - centre.x()) <= 1);
  ASSERT_TRUE(qAbs(form->frameGeometry().center().y() - centre.y()) <= 1);
}

TEST_F(LayoutTest, InitialSettingsAndFocus) {
  TVelkarMainForm* form = fixture_->form.get();
  ASSERT_EQ(QApplication::focusWidget(), form->Sort_F_RadioButton);
  ASSERT_TRUE(form->OKButton->isDefault());
  ASSERT_FALSE(form->CancelButton->isDefault());
  ASSERT_EQ(form->SortPosEdit->MaxBytes(), std::size_t{5});
  ASSERT_EQ(form->FileOpenEdit->MaxBytes(), std::size_t{0});
  for (TUpDown* upDown : {form->UpDown1, form->UpDown2}) {
    ASSERT_EQ(upDown->Min(), 1);
    ASSERT_EQ(upDown->Max(), 1024);
    ASSERT_EQ(upDown->Position(), 1);
    ASSERT_FALSE(upDown->Wrap());
    ASSERT_EQ(upDown->focusPolicy(), Qt::NoFocus);
  }
  ASSERT_EQ(form->UpDown1->Increment(), 1);
  ASSERT_EQ(form->UpDown2->Increment(), 10);
  ASSERT_EQ(form->UpDown1->Buddy(), form->SortPosEdit);
  ASSERT_EQ(form->UpDown2->Buddy(), nullptr);
  ASSERT_EQ(form->SortMenu->focusPolicy(), Qt::NoFocus);
  ASSERT_EQ(form->FileOpenPanel->focusPolicy(), Qt::TabFocus);
  ASSERT_EQ(form->FileOpenPanel->alignment(), Qt::AlignCenter);
  ASSERT_EQ(form->FileOpenPanel->frameShadow(), QFrame::Raised);
  ASSERT_EQ(form->SortMenu->palette().color(QPalette::Window), QColor(200, 200, 200));
  // No control takes a drop of its own; the window does.
  ASSERT_TRUE(form->acceptDrops());
  ASSERT_FALSE(form->SortPosEdit->acceptDrops());
  ASSERT_FALSE(form->FileOpenEdit->acceptDrops());
  ASSERT_FALSE(form->FileSaveEdit->acceptDrops());
  // No hint text anywhere.
  for (QWidget* w : form->findChildren<QWidget*>()) ASSERT_TRUE(w->toolTip().isEmpty());
}

TEST_F(LayoutTest, TabWalksTheStopsInOrder) {
  TVelkarMainForm* form = fixture_->form.get();
  const QStringList expected = {
      "PageControl1",     "NotCaseSensitiveCheckBox", "UniqCheckBox",     "ClipBoardCheckBox1",
      "FileOpenCheckBox", "ClipBoardCheckBox2",       "FileSaveCheckBox", "OKButton",
      "CancelButton",     "Sort_F_RadioButton"};
  QStringList seen;
  for (int i = 0; i < expected.size(); ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QWidget* focus = QApplication::focusWidget();
    // The tab control's strip holds the focus for the tab control.
    while (focus != nullptr && focus->objectName().startsWith("qt_")) focus = focus->parentWidget();
    seen << (focus != nullptr ? focus->objectName() : QString());
  }
  ASSERT_EQ(seen, expected);

  // On the second page: the edit, then (the up-downs are no stops) the four boxes.
  form->PageControl1->setCurrentIndex(1);
  form->Sort_R_RadioButton->setChecked(true);
  form->Sort_F_RadioButton->setFocus(Qt::OtherFocusReason);
  const QStringList second = {"SortPosEdit",        "ColumCheckBox",   "FieldCheckBox",
                              "StringCompCheckBox", "NumCompCheckBox", "ClipBoardCheckBox1"};
  form->Sort_R_RadioButton->setFocus(Qt::OtherFocusReason);
  QTest::keyClick(form->Sort_R_RadioButton, Qt::Key_Tab);  // to the tab strip
  seen.clear();
  for (int i = 0; i < second.size(); ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    seen << QApplication::focusWidget()->objectName();
  }
  ASSERT_EQ(seen, second);
}

TEST_F(LayoutTest, MenuWithAccessLetters) {
  TVelkarMainForm* form = fixture_->form.get();
  const QList<QAction*> top = form->menuBar()->actions();
  ASSERT_EQ(top.size(), 2);
  ASSERT_EQ(top[0]->text(), QString("&File"));
  ASSERT_EQ(top[1]->text(), QString("&Help"));
  const QStringList fileItems = {"&Open", "", "e&Xit"};
  const QStringList helpItems = {"&Contents", "&Search", "", "&About"};
  QStringList seen;
  for (QAction* a : form->FileMenu->actions()) seen << (a->isSeparator() ? QString() : a->text());
  ASSERT_EQ(seen, fileItems);
  seen.clear();
  for (QAction* a : form->HelpMenu->actions()) seen << (a->isSeparator() ? QString() : a->text());
  ASSERT_EQ(seen, helpItems);
  ASSERT_TRUE(form->N1->isSeparator());
  ASSERT_TRUE(form->N3->isSeparator());
  for (QAction* a : form->FileMenu->actions() + form->HelpMenu->actions()) {
    ASSERT_TRUE(a->shortcut().isEmpty());
  }
}

TEST_F(LayoutTest, DialogsAsDescribed) {
  TVelkarMainForm* form = fixture_->form.get();
  ASSERT_FALSE(form->OpenDialog.save);
  ASSERT_TRUE(form->SaveDialog.save);
  ASSERT_EQ(form->OpenDialog.filter,
            std::string("テキストファイル(*.TXT,*.CSV)|*.TXT;*.CSV|すべてのファイル(*.*)|*.*"));
  ASSERT_EQ(form->SaveDialog.filter,
            std::string("テキストファイル(*.TXT, *.CSV)|*.TXT;*.CSV|すべてのファイル(*.*)|*.*"));
  ASSERT_TRUE(form->OpenDialog.fileName.empty());
  ASSERT_TRUE(form->SaveDialog.fileName.empty());
}

// OKButton shows as the default whenever the focus is on no push button; a push
// button with the focus is the default itself. The frame must come back after the
// focus has passed over both buttons, and Enter in an edit must still run.
TEST_F(LayoutTest, DefaultButtonFollowsTheFocus) {
  TVelkarMainForm* form = fixture_->form.get();
  auto defaults = [form] {
    return QString("%1%2").arg(form->OKButton->isDefault() ? "OK" : "-",
                               form->CancelButton->isDefault() ? "Cancel" : "-");
  };
  auto tab = [](Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); };
  // From Sort_F_RadioButton round the whole chain and on to the tab strip.
  const QStringList expected = {"OK-", "OK-", "OK-",     "OK-", "OK-", "OK-",
                                "OK-", "OK-", "-Cancel", "OK-", "OK-"};
  QStringList seen;
  for (int i = 0; i < expected.size(); ++i) {
    tab(Qt::Key_Tab);
    seen << defaults();
  }
  ASSERT_EQ(seen, expected);
  // Backwards onto CancelButton and on to the radio button again.
  tab(Qt::Key_Backtab);
  tab(Qt::Key_Backtab);
  ASSERT_EQ(QApplication::focusWidget(), form->CancelButton);
  ASSERT_EQ(defaults(), QString("-Cancel"));
  tab(Qt::Key_Tab);
  ASSERT_EQ(defaults(), QString("OK-"));
  // A click-like focus change from a button straight into an edit counts too.
  form->CancelButton->setFocus(Qt::MouseFocusReason);
  ASSERT_EQ(defaults(), QString("-Cancel"));
  form->FileOpenCheckBox->setChecked(true);
  ASSERT_EQ(QApplication::focusWidget(), form->FileOpenEdit);
  ASSERT_EQ(defaults(), QString("OK-"));
  QTest::keyClick(form->FileOpenEdit, Qt::Key_Return);
  ASSERT_EQ(fixture_->Texts(), std::vector<std::string>{"読み込み先ファイルが未指定です"});
}

// Enter in an edit presses OKButton: here a run that stops at the missing input name.
TEST_F(LayoutTest, EnterInAnEditStartsARun) {
  TVelkarMainForm* form = fixture_->form.get();
  form->FileOpenCheckBox->setChecked(true);
  ASSERT_EQ(QApplication::focusWidget(), form->FileOpenEdit);
  QTest::keyClick(form->FileOpenEdit, Qt::Key_Return);
  ASSERT_EQ(fixture_->Texts(), std::vector<std::string>{"読み込み先ファイルが未指定です"});

  form->PageControl1->setCurrentIndex(1);
  form->SortPosEdit->setFocus();
  QTest::keyClick(form->SortPosEdit, Qt::Key_Enter, Qt::KeypadModifier);
  ASSERT_EQ(fixture_->fake->boxes.size(), std::size_t{2});
  ASSERT_EQ(fixture_->fake->boxes[1].caption, std::string("VELKAR-ERROR"));
}

// A status tip (a menu item hovered) leaves the status line's text alone.
TEST_F(LayoutTest, StatusTipsDoNotReachTheStatusLine) {
  TVelkarMainForm* form = fixture_->form.get();
  QStatusTipEvent tip(QStringLiteral("something else"));
  QApplication::sendEvent(form, &tip);
  ASSERT_EQ(form->StatusLine->SimpleText(), QString::fromUtf8("テキストソートユーティリティ"));
}

TEST_F(LayoutTest, ClosingByButtonMenuAndEsc) {
  TVelkarMainForm* form = fixture_->form.get();
  form->CancelButton->click();
  ASSERT_FALSE(form->isVisible());

  form->show();
  form->FileExitItem->trigger();
  ASSERT_FALSE(form->isVisible());

  // Esc from a control is not the window's own key.
  form->show();
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  ASSERT_TRUE(form->isVisible());
  int key = Qt::Key_Escape;
  form->FormKeyDown(form, key, Qt::NoModifier);
  ASSERT_FALSE(form->isVisible());
}
