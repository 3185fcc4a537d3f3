// The command line on the window's side: the flags the words set and the hint
// text. The words themselves and the option table are plain C++ (cli/); the
// operations ParseCommandLine and FormCreate of TVelkarMainForm apply them.
#pragma once

#include <QString>

#include "cli/command_words.h"

namespace velkar {

// Set by "-a" and "-a+"; cleared by FormCreate before it applies the command
// line, then read by it to start the automatic run, and by Settings().
extern unsigned char AutoRun;

// Cleared by FormCreate on entry and set when it queues the application's quit,
// which it does after an automatic run that succeeded (RunResult 0). Nothing in
// the program reads it; it tells the tests that the quit was asked for.
extern bool QuitRequested;

// The application's current hint text (Qt's status tip), which ShowHint shows.
QString ApplicationHint();

}  // namespace velkar
