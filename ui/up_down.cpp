// The up-down control: arrow drawing, stepping with limits, auto-repeat while an
// arrow is held, and the buddy edit's number and arrow keys.
#include "ui/up_down.h"

#include <qdrawutil.h>

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QTimerEvent>

#include "ui/controls.h"

namespace velkar {

namespace {
constexpr int kFirstRepeatMs = 400;
constexpr int kRepeatMs = 80;
}  // namespace

TUpDown::TUpDown(QWidget* parent) : QWidget(parent) { setFocusPolicy(Qt::NoFocus); }

void TUpDown::SetRange(int min, int max) {
  min_ = min;
  max_ = max;
  SetPosition(position_);
}

void TUpDown::SetPosition(int position) {
  position_ = std::clamp(position, min_, max_);
  update();
}

void TUpDown::SetBuddy(QLineEdit* buddy) {
  if (buddy_ != nullptr) buddy_->removeEventFilter(this);
  buddy_ = buddy;
  if (buddy_ != nullptr) buddy_->installEventFilter(this);
}

void TUpDown::Step(Direction direction) {
  int start = position_;
  if (buddy_ != nullptr) {
    int value = ParseDecimal(buddy_->text(), min_ - 1);
    if (value >= min_ && value <= max_) start = value;
  }
  long long next = static_cast<long long>(start) + (direction == Up ? increment_ : -increment_);
  if (next > max_) next = wrap_ ? min_ : max_;
  if (next < min_) next = wrap_ ? max_ : min_;
  if (next == start) return;
  position_ = static_cast<int>(next);
  if (buddy_ != nullptr) buddy_->setText(QString::number(position_));
  update();
  emit Click(direction);
}

QRect TUpDown::ArrowRect(Direction direction) const {
  const int half = height() / 2;
  return direction == Up ? QRect(0, 0, width(), half) : QRect(0, half, width(), height() - half);
}

void TUpDown::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  for (Direction d : {Up, Down}) {
    const QRect r = ArrowRect(d);
    const bool sunken = pressed_ && pressedArrow_ == d;
    qDrawWinButton(&painter, r, palette(), sunken, &palette().brush(QPalette::Button));
    // A small solid triangle in the middle of the half.
    const int cx = r.center().x() + (sunken ? 1 : 0);
    const int cy = r.center().y() + (sunken ? 1 : 0);
    const int w = std::max(1, std::min(r.width() - 6, 7) / 2);
    const int h = std::max(1, w);
    QPolygon triangle;
    if (d == Up) {
      triangle << QPoint(cx - w, cy + h / 2 + 1) << QPoint(cx + w, cy + h / 2 + 1)
               << QPoint(cx, cy - h / 2 - 1 + (h % 2));
    } else {
      triangle << QPoint(cx - w, cy - h / 2) << QPoint(cx + w, cy - h / 2)
               << QPoint(cx, cy + h / 2 + 1 - (h % 2));
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.drawPolygon(triangle);
  }
}

void TUpDown::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  pressed_ = true;
  pressedArrow_ = ArrowRect(Up).contains(event->position().toPoint()) ? Up : Down;
  update();
  Step(pressedArrow_);
  repeat_.start(kFirstRepeatMs, this);
}

void TUpDown::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  pressed_ = false;
  repeat_.stop();
  update();
}

void TUpDown::timerEvent(QTimerEvent* event) {
  if (event->timerId() != repeat_.timerId()) return QWidget::timerEvent(event);
  if (!pressed_) return repeat_.stop();
  repeat_.start(kRepeatMs, this);
  if (ArrowRect(pressedArrow_).contains(mapFromGlobal(QCursor::pos()))) Step(pressedArrow_);
}

bool TUpDown::eventFilter(QObject* watched, QEvent* event) {
  if (watched == buddy_ && event->type() == QEvent::KeyPress && isEnabled()) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier) {
      if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) {
        Step(key->key() == Qt::Key_Up ? Up : Down);
        return true;
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace velkar
