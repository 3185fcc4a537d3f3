// TUpDown: a small vertical up-down control with two arrows, a position kept within
// its range, a step size and an optional buddy edit that it reads and writes.
#pragma once

#include <QBasicTimer>
#include <QWidget>

class QLineEdit;

namespace velkar {

class TUpDown : public QWidget {
  Q_OBJECT
 public:
  enum Direction { Up, Down };

  explicit TUpDown(QWidget* parent = nullptr);

  void SetRange(int min, int max);
  int Min() const { return min_; }
  int Max() const { return max_; }
  void SetIncrement(int increment) { increment_ = increment; }
  int Increment() const { return increment_; }
  void SetWrap(bool wrap) { wrap_ = wrap; }
  bool Wrap() const { return wrap_; }

  // The position, always within the range: a value outside it is brought to the
  // nearer limit. Setting it leaves the buddy's text alone.
  int Position() const { return position_; }
  void SetPosition(int position);

  // Attaches the edit: each step starts from the number in it (when that is a number
  // within the range) and writes the new position into it; its Up and Down keys step.
  void SetBuddy(QLineEdit* buddy);
  QLineEdit* Buddy() const { return buddy_; }

  // One step as an arrow click makes it. Click follows only when the position changed.
  void Step(Direction direction);

 signals:
  void Click(velkar::TUpDown::Direction direction);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QRect ArrowRect(Direction direction) const;

  int min_ = 0;
  int max_ = 100;
  int position_ = 0;
  int increment_ = 1;
  bool wrap_ = false;
  QLineEdit* buddy_ = nullptr;
  bool pressed_ = false;  // an arrow is held down
  Direction pressedArrow_ = Up;
  QBasicTimer repeat_;  // steps again while the arrow is held
};

}  // namespace velkar
