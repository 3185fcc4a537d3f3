// The command line on the window's side: the flags the words set and the hint
// text. The words themselves and the option table are plain C++ (cli/); the
// operations ParseCommandLine and FormCreate of TVelkarMainForm apply them.
#pragma once

#include <QString>

#include "cli/command_words.h"

namespace velkar {

// Set by "-a" and "-a+", cleared by FormCreate, read once by FormCreate.
extern unsigned char AutoRun;

// Whether FormCreate asked the application to quit after a successful automatic run.
extern bool QuitRequested;

// The application's current hint text (Qt's status tip), which ShowHint shows.
QString ApplicationHint();

}  // namespace velkar
