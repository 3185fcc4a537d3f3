// Fixture for tests that go through start-up: a fresh fake platform, and the
// process-wide start-up state put back afterwards so no test sees another's.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>

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
    SetCommandLineWords({});
    AutoRun = 0;
    QuietFinish = 0;
    QuitRequested = false;
  }
};

}  // namespace velkar
