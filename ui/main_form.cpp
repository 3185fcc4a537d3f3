// The main window as a whole: its construction, every connection of its controls
// and menu items to their handlers, the first showing (centred, the focus on the
// first tab stop), the default button following the focus, its keys and closing.
#include "ui/main_form.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

namespace velkar {

namespace {

// Qt keeps the default-button state in step with the focus only inside a dialog;
// in this window a push button that loses the focus also drops its default mark,
// so after the focus has passed over both buttons none would show as the default.
// The push button with the focus is the default; with the focus on anything else
// in the window, OKButton is (Enter there presses it).
void ShowDefaultButton(TVelkarMainForm* form, QWidget* focus) {
  if (focus == nullptr || focus->window() != form) return;
  auto* focusedButton = qobject_cast<QPushButton*>(focus);
  QPushButton* const owner = focusedButton != nullptr ? focusedButton : form->OKButton;
  for (QPushButton* button : {form->OKButton, form->CancelButton}) {
    button->setDefault(button == owner);
  }
}

}  // namespace

TVelkarMainForm::TVelkarMainForm(QWidget* parent) : QMainWindow(parent) {
  BuildFromDescription();
  ConnectHandlers();
  // A target for files dropped from outside from the start.
  setAcceptDrops(true);
}

TVelkarMainForm::~TVelkarMainForm() = default;

// Each handler gets the control or item that fired as its Sender.
void TVelkarMainForm::ConnectHandlers() {
  // Check boxes react to every real change of state, the program's included.
  struct Pair {
    QCheckBox* box;
    void (TVelkarMainForm::*handler)(QObject*);
  };
  const Pair pairs[] = {
      {ClipBoardCheckBox1, &TVelkarMainForm::ClipBoardCheckBox1Click},
      {FileOpenCheckBox, &TVelkarMainForm::FileOpenCheckBoxClick},
      {ClipBoardCheckBox2, &TVelkarMainForm::ClipBoardCheckBox2Click},
      {FileSaveCheckBox, &TVelkarMainForm::FileSaveCheckBoxClick},
      {ColumCheckBox, &TVelkarMainForm::ColumCheckBoxClick},
      {FieldCheckBox, &TVelkarMainForm::FieldCheckBoxClick},
      {StringCompCheckBox, &TVelkarMainForm::StringCompCheckBoxClick},
      {NumCompCheckBox, &TVelkarMainForm::NumCompCheckBoxClick},
  };
  for (const Pair& pair : pairs) {
    connect(pair.box, &QCheckBox::toggled, this, [this, pair] { (this->*pair.handler)(pair.box); });
  }
  connect(FileOpenPanel, &TBrowsePanel::Clicked, this, [this] { FileOpen(FileOpenPanel); });
  connect(FileOpenPanel, &TBrowsePanel::Entered, this, [this] { FileOpen(FileOpenPanel); });
  connect(FileSavePanel, &TBrowsePanel::Clicked, this, [this] { FileSaveAs(FileSavePanel); });
  connect(SortPosEdit, &QLineEdit::textChanged, this, [this] { SortPosEditChange(SortPosEdit); });
  connect(UpDown1, &TUpDown::Click, this,
          [this](TUpDown::Direction direction) { UpDown1Click(UpDown1, direction); });
  connect(UpDown2, &TUpDown::Click, this,
          [this](TUpDown::Direction direction) { UpDown2Click(UpDown2, direction); });
  connect(OKButton, &QPushButton::clicked, this, [this] { OKButtonClick(OKButton); });
  connect(CancelButton, &QPushButton::clicked, this, [this] { CancelButtonClick(CancelButton); });

  // The menu.
  connect(FileOpenItem, &QAction::triggered, this, [this] { FileOpen2(FileOpenItem); });
  connect(FileExitItem, &QAction::triggered, this, [this] { FileExit(FileExitItem); });
  connect(HelpContentsItem, &QAction::triggered, this, [this] { HelpContents(HelpContentsItem); });
  connect(HelpSearchItem, &QAction::triggered, this, [this] { HelpSearch(HelpSearchItem); });
  connect(HelpAboutItem, &QAction::triggered, this, [this] { HelpAbout(HelpAboutItem); });

  connect(qApp, &QApplication::focusChanged, this,
          [this](QWidget*, QWidget* now) { ShowDefaultButton(this, now); });
}

// --- Showing ---

void TVelkarMainForm::showEvent(QShowEvent* event) {
  if (!shownOnce_) {
    shownOnce_ = true;
    adjustSize();
    if (QScreen* screen = this->screen()) {
      QRect frame = frameGeometry();
      frame.moveCenter(screen->availableGeometry().center());
      move(frame.topLeft());
    }
    FocusFirstTabStop();
  }
  QMainWindow::showEvent(event);
}

// The first tab stop in tab order that can take the focus now (controls on a page
// behind count as hidden); of the radio buttons only the checked one is a tab stop.
void TVelkarMainForm::FocusFirstTabStop() {
  for (QWidget* widget : tabChain_) {
    if (!widget->isVisibleTo(this) || !widget->isEnabled()) continue;
    if (auto* radio = qobject_cast<QRadioButton*>(widget);
        radio != nullptr && !radio->isChecked()) {
      continue;
    }
    // Given as on activation, so that a browse panel opens nothing.
    widget->setFocus(Qt::ActiveWindowFocusReason);
    return;
  }
}

bool TVelkarMainForm::event(QEvent* event) {
  // The status line shows only its own text: menu and control status tips are dropped.
  if (event->type() == QEvent::StatusTip) return true;
  return QMainWindow::event(event);
}

// --- Keys and closing ---

void TVelkarMainForm::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  // Enter that no control took for itself (only push buttons do) presses the
  // default button.
  if ((key == Qt::Key_Return || key == Qt::Key_Enter) &&
      (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
    if (OKButton->isVisible() && OKButton->isEnabled()) {
      event->accept();
      OKButton->click();
      return;
    }
  }
  QWidget* focus = QApplication::focusWidget();
  if (focus == nullptr || focus == this) {
    int k = key;
    FormKeyDown(this, k, event->modifiers());
  }
  QMainWindow::keyPressEvent(event);
}

void TVelkarMainForm::FormKeyDown(QObject*, int& Key, Qt::KeyboardModifiers) {
  if (Key == Qt::Key_Escape) close();
}

void TVelkarMainForm::FileExit(QObject*) { close(); }

void TVelkarMainForm::CancelButtonClick(QObject*) { close(); }

}  // namespace velkar
