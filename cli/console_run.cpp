// Console mode's run.
#include "cli/console_run.h"

#include <cstdio>

#include "engine/engine.h"
#include "engine/messages.h"
#include "platform/platform.h"

namespace velkar {

int RunConsole(const RunSettings& settings) {
  if (!settings.autoRun) {
    std::fputs(kConsoleUsage, stderr);
    std::fflush(stderr);
    return 2;
  }
  if (const char* missing = settings.MissingName()) {
    CurrentPlatform()->ShowMessageBox(nullptr, missing, kErrorCaption, kBoxOk);
    return 1;
  }
  settings.Run(nullptr);
  return RunResult == 0 ? 0 : 1;
}

}  // namespace velkar
