// The command line on the window's side: the flag the words set and the hint
// text. The words, the option table and the settings value are plain C++
// (settings/); the operations ParseCommandLine and FormCreate of TVelkarMainForm
// apply the value to the window.
#pragma once

#include <QString>

namespace velkar {

// Set by "-a" and "-a+" (ParseCommandLine); cleared by FormCreate before it
// applies the command line, then read by it to start the automatic run, and by
// Settings().
extern unsigned char AutoRun;

// The application's current hint text (Qt's status tip), which ShowHint shows.
QString ApplicationHint();

}  // namespace velkar
