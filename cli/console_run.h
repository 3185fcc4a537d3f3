// Console mode: one sort run made from the plain settings value, with no window
// and no Qt; the platform in use (the console backend in the program) shows the
// messages and stands for the clipboard. Also the program's usage texts.
#pragma once

#include "settings/run_settings.h"
#include "settings/version.h"

namespace velkar {

// The one line on standard error of a console start without an automatic run.
inline constexpr char kConsoleUsage[] =
    "usage: velkar -a|-a+ [-r] [-i] [-u] [-N[n][f]] [[-f] INPUT] [-o OUTPUT]  "
    "(no display: only -a or -a+ can run)\n";

// What "--help" prints on standard output: the options, console use, exit statuses.
extern const char kHelpText[];

// What "--version" prints on standard output.
inline constexpr char kVersionText[] = "VELKAR " VELKAR_VERSION "\n";

// The automatic run the settings ask for, as the window would make it. Returns the exit status: 0
// when the run succeeded, 1 when it failed (after its message), 2 with the usage line on standard
// error when no automatic run was asked for.
int RunConsole(const RunSettings& settings);

}  // namespace velkar
