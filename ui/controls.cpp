// The main window's small controls: byte-limited edit, browse panel, status line,
// file dialog object, decimal reading.
#include "ui/controls.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QValidator>
#include <limits>

#include "platform/byte_text.h"
#include "platform/platform.h"
#include "platform/window_handle.h"
#include "settings/command_words.h"

namespace velkar {

// Keeps the user's edits within the byte limit. An insertion that would pass it is
// cut to what fits, whole characters only; an insertion of which nothing fits is
// refused. Deleting is always allowed, even from a longer text the program set.
class TEdit::ByteLimit : public QValidator {
 public:
  explicit ByteLimit(TEdit* edit) : QValidator(edit), edit_(edit) {}

  State validate(QString& input, int& pos) const override {
    const std::size_t max = edit_->maxBytes_;
    if (!edit_->userAction_ || max == 0) return Acceptable;
    const QString& old = edit_->lastText_;
    const std::size_t newBytes = TextByteLength(input);
    if (newBytes <= max || newBytes <= TextByteLength(old)) return Acceptable;

    // The inserted piece ends at the caret and begins after the part the old and
    // the new text share in front.
    const qsizetype shortest = std::min(old.size(), input.size());
    qsizetype suffix = input.size() - pos;
    if (suffix < 0 || suffix > old.size() || old.right(suffix) != input.right(suffix)) {
      suffix = 0;
      while (suffix < shortest &&
             old[old.size() - 1 - suffix] == input[input.size() - 1 - suffix]) {
        ++suffix;
      }
    }
    qsizetype prefix = 0;
    while (prefix < shortest - suffix && old[prefix] == input[prefix]) ++prefix;
    QString inserted = input.mid(prefix, input.size() - prefix - suffix);
    const std::size_t outside = newBytes - TextByteLength(inserted);
    while (!inserted.isEmpty() && outside + TextByteLength(inserted) > max) {
      qsizetype cut = inserted.size() - 1;
      if (cut > 0 && inserted[cut].isLowSurrogate() && inserted[cut - 1].isHighSurrogate()) --cut;
      inserted.truncate(cut);
    }
    QString result = input.left(prefix) + inserted + input.right(suffix);
    if (result == old || TextByteLength(result) > max) return Invalid;
    input = result;
    pos = static_cast<int>(prefix + inserted.size());
    return Acceptable;
  }

 private:
  TEdit* edit_;
};

TEdit::TEdit(QWidget* parent) : QLineEdit(parent) {
  setAcceptDrops(false);
  // The user's limit is in bytes (SetMaxBytes); Qt's own limit of 32767 characters
  // would cut a longer name the program sets, and a cut name is another file.
  setMaxLength(std::numeric_limits<int>::max());
  setValidator(new ByteLimit(this));
  // Connected before anyone else's handlers, so both are current when they run.
  connect(this, &QLineEdit::textEdited, this, [this] { editPending_ = true; });
  connect(this, &QLineEdit::textChanged, this, [this](const QString& text) {
    modified_ = editPending_;
    editPending_ = false;
    lastText_ = text;
    // The user's change is reported; what handlers set from here is the program's.
    userAction_ = false;
  });
}

void TEdit::keyPressEvent(QKeyEvent* event) {
  AsUser([&] { QLineEdit::keyPressEvent(event); });
}

void TEdit::inputMethodEvent(QInputMethodEvent* event) {
  AsUser([&] { QLineEdit::inputMethodEvent(event); });
}

void TEdit::mouseReleaseEvent(QMouseEvent* event) {
  // The middle button pastes the selection on X11.
  AsUser([&] { QLineEdit::mouseReleaseEvent(event); });
}

void TEdit::contextMenuEvent(QContextMenuEvent* event) {
  // The menu runs here, not after return, so its Paste counts as the user's.
  QMenu* menu = createStandardContextMenu();
  AsUser([&] { menu->exec(event->globalPos()); });
  delete menu;
}

TBrowsePanel::TBrowsePanel(QWidget* parent) : QLabel(parent) {
  setFrameStyle(QFrame::Panel | QFrame::Raised);
  setLineWidth(1);
  setAlignment(Qt::AlignCenter);
  setFocusPolicy(Qt::TabFocus);
}

void TBrowsePanel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) pressed_ = true;
  event->accept();
}

void TBrowsePanel::mouseReleaseEvent(QMouseEvent* event) {
  const bool click =
      pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
  pressed_ = false;
  event->accept();
  if (click) emit Clicked();
}

void TBrowsePanel::focusInEvent(QFocusEvent* event) {
  QLabel::focusInEvent(event);
  update();
  switch (event->reason()) {
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::ShortcutFocusReason:
    case Qt::OtherFocusReason:
      emit Entered();
      break;
    default:  // the window's activation coming back, a closed popup menu
      break;
  }
}

void TBrowsePanel::paintEvent(QPaintEvent* event) {
  QLabel::paintEvent(event);
  if (!hasFocus()) return;
  QPainter painter(this);
  QStyleOptionFocusRect option;
  option.initFrom(this);
  option.rect = contentsRect().adjusted(1, 1, -1, -1);
  style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
}

TStatusLine::TStatusLine(QWidget* parent) : QStatusBar(parent), panel_(new QLabel(this)) {
  setSizeGripEnabled(false);
  panel_->setObjectName(QStringLiteral("StatusPanel"));
  panel_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  addWidget(panel_, 1);
}

QString TStatusLine::SimpleText() const { return panel_->text(); }

void TStatusLine::SetSimpleText(const QString& text) { panel_->setText(text); }

bool TFileDialog::Execute(QWidget* owner) {
  FileDialogRequest request;
  request.save = save;
  request.options = options;
  request.filter = filter;
  request.initialName = fileName;
  std::string chosen;
  if (!CurrentPlatform()->ShowFileDialog(HandleOf(owner), request, &chosen)) return false;
  fileName = chosen;
  return true;
}

// Any character outside ASCII makes a UTF-8 byte from 0x80 up, which is no digit.
int ParseDecimal(const QString& text, int fallback) {
  const QByteArray bytes = text.toUtf8();
  return DecimalValue(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                      fallback);
}

}  // namespace velkar
