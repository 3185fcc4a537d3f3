// Stand-in for the sort engine while engine/ is not part of the build: every run
// fails with one message, so the window can be built and tried without it.
#include "engine/engine.h"

namespace velkar {

std::int32_t RunResult = 0;
unsigned char QuietFinish = 0;

void RunSort(WindowHandle ownerWindow, std::int32_t, const char*, const char*, std::int32_t,
             std::int32_t) {
  CurrentPlatform()->ShowMessageBox(ownerWindow, "The sort engine is not built.", "VELKAR-ERROR",
                                    kBoxIconError);
  RunResult = -1;
}

}  // namespace velkar
