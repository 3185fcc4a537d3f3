// Shared by the widget tests: a fresh main window over a fresh fake platform, shown
// and active, and small helpers for the fake's log and for typing text with keys.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform_fake.h"
#include "tests/ui/qt_print.h"
#include "ui/main_form.h"

namespace velkar::test {

struct FormFixture {
  ScopedFakePlatform fake;
  std::unique_ptr<TVelkarMainForm> form;

  explicit FormFixture(bool show = true) : form(std::make_unique<TVelkarMainForm>()) {
    if (show) {
      form->show();
      form->activateWindow();
      EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
  }

  // Captions of the boxes shown so far, and their texts, as UTF-8.
  std::vector<std::string> Captions() {
    std::vector<std::string> out;
    for (const auto& box : fake->boxes) out.push_back(box.caption);
    return out;
  }
  std::vector<std::string> Texts() {
    std::vector<std::string> out;
    for (const auto& box : fake->boxes) out.push_back(box.text);
    return out;
  }
};

// Types text with key events that carry it, as an input method would deliver plain
// characters (QTest::keyClicks refuses text outside Latin-1).
inline void Type(QWidget* widget, const QString& text) {
  for (QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(widget, &release);
  }
}

inline std::string U8(const QString& text) { return text.toStdString(); }

}  // namespace velkar::test
