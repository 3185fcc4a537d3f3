// Console mode: one sort run made from the plain settings value, with no window
// and no Qt; the platform in use (the console backend in the program) shows the
// messages and stands for the clipboard. Its texts are in cli/console_texts.h.
#pragma once

#include "cli/console_texts.h"
#include "settings/run_settings.h"

namespace velkar {

// The automatic run the settings ask for, as the window would make it. Returns the exit status: 0
// when the run succeeded, 1 when it failed (after its message), 2 with the usage line on standard
// error when no automatic run was asked for.
int RunConsole(const RunSettings& settings);

}  // namespace velkar
