// Fixture for tests that go through start-up: a fresh fake platform, and the
// process-wide start-up state put back afterwards so no test sees another's.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

#include "engine/engine.h"
#include "platform/platform_fake.h"
#include "ui/command_line.h"

namespace velkar {

class AppStateTest : public testing::Test {
 protected:
  ScopedFakePlatform fake_;

  void TearDown() override {
    // A quit queued by FormCreate must not end a later test's event loop.
    QCoreApplication::processEvents();
    AutoRun = 0;
    QuietFinish = 0;
  }

  // Whether FormCreate queued the application's quit: the application's loop
  // started now ends with the quit's status 0 at once, long before its own end
  // (status 1) comes. (A nested loop would not run after an earlier quit.)
  static bool QuitQueued() {
    QTimer fallback;
    fallback.setSingleShot(true);
    QObject::connect(&fallback, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    fallback.start(100);
    return QCoreApplication::exec() == 0;
  }
};

}  // namespace velkar
