// The main window's own small controls: the edit box with a byte limit and a
// user-modified flag, the check box and radio button that answer a click anywhere
// on them, the panel used as a browse button, the status line with one simple
// panel, the file dialog object that remembers its last name, and the reading of a
// decimal text.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QStatusBar>
#include <cstdint>
#include <string>

class QValidator;

namespace velkar {

// Single-line edit. The user's own editing may be limited to a number of bytes in
// the program's code page; text set by the program is never limited. Drops are left
// to the window. Modified() tells whether the last change came from the user.
class TEdit : public QLineEdit {
  Q_OBJECT
 public:
  explicit TEdit(QWidget* parent = nullptr);

  // 0: no limit.
  void SetMaxBytes(std::size_t maxBytes) { maxBytes_ = maxBytes; }
  std::size_t MaxBytes() const { return maxBytes_; }

  // Set by the user's typing, deleting, cutting and pasting; cleared whenever the
  // program assigns the text. Valid inside textChanged handlers.
  bool Modified() const { return modified_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  class ByteLimit;
  friend class ByteLimit;

  // Runs a user action with the byte limit armed.
  template <typename F>
  void AsUser(F&& action) {
    bool outer = userAction_;
    userAction_ = true;
    action();
    userAction_ = outer;
  }

  std::size_t maxBytes_ = 0;
  bool userAction_ = false;   // a user action is being processed
  bool editPending_ = false;  // textEdited came for the change not yet reported
  bool modified_ = false;
  QString lastText_;  // the text before the change being validated
};

// Check box and radio button that answer a click anywhere in their area, not only
// on the mark and the caption's text.
class TCheckBox : public QCheckBox {
  Q_OBJECT
 public:
  using QCheckBox::QCheckBox;

 protected:
  bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

class TRadioButton : public QRadioButton {
  Q_OBJECT
 public:
  using QRadioButton::QRadioButton;

 protected:
  bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

// A panel used as a button: raised bevel, centred caption, reached by Tab but not
// focused by a click. Clicked on a mouse click; Entered when the focus arrives from
// another control (not when it comes back with the window's activation).
class TBrowsePanel : public QLabel {
  Q_OBJECT
 public:
  explicit TBrowsePanel(QWidget* parent = nullptr);

 signals:
  void Clicked();
  void Entered();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  bool pressed_ = false;
};

// A status bar in simple mode: one panel across the whole bar holding one text.
// During a long run a progress bar stands beside the text; it is hidden otherwise.
class TStatusLine : public QStatusBar {
  Q_OBJECT
 public:
  explicit TStatusLine(QWidget* parent = nullptr);
  QString SimpleText() const;
  void SetSimpleText(const QString& text);
  QLabel* Panel() const { return panel_; }

  // Shows `done` of `total` (0: not known, a busy bar) with the step's name.
  void ShowProgress(const QString& step, std::uint64_t done, std::uint64_t total);
  void HideProgress();
  QProgressBar* ProgressBar() const { return progress_; }

 private:
  QLabel* panel_;
  QProgressBar* progress_;
};

// An open or save dialog as the form holds it: filter, options set by the handlers
// before each showing, and the name last chosen, offered again next time.
struct TFileDialog {
  bool save = false;
  std::string filter;    // Windows form: "description|patterns|..."
  unsigned options = 0;  // kDlg* bits
  std::string fileName;  // bytes; the last chosen name

  // Shows the dialog through the platform; true when the user chose a name.
  bool Execute(QWidget* owner);
};

// The text read as a decimal integer (optional sign, digits, 32 bits), or `fallback`.
int ParseDecimal(const QString& text, int fallback);

}  // namespace velkar
