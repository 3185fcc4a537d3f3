// The application's frame: the run mode chosen from the environment, the start-up
// in its fixed order (title, help file, main window, FormCreate, showing, About
// box, loop), the help commands and the end of the program.
#pragma once

#include <string>

namespace velkar {

class TVelkarMainForm;

// Desktop: windows and an event loop. Console: no display, no window; boxes on
// standard error, the clipboard on standard input and output.
enum class RunMode { kDesktop, kConsole };

// The application's title and help file, as the start-up sets them.
inline constexpr char kApplicationTitle[] = "VELKAR.EXE";
inline constexpr char kHelpFileName[] = "Velkar.hlp";
const std::string& ApplicationHelpFile();

// The one line on standard error of a console start without an automatic run.
inline constexpr char kConsoleUsage[] =
    "usage: velkar -a|-a+ [-r] [-i] [-u] [-N[n][f]] [[-f] INPUT] [-o OUTPUT]  "
    "(no display: only -a or -a+ can run)\n";

// Opens /dev/null on any of the descriptors 0, 1 and 2 that is closed, so that
// nothing the program opens later takes their place; 1 is opened for reading only,
// so that writes to a closed standard output fail. Call it first of all.
void OpenStandardDescriptors();

// Console when QT_QPA_PLATFORM is "offscreen" or "minimal", or when neither DISPLAY
// nor WAYLAND_DISPLAY is set (then QT_QPA_PLATFORM is set to "offscreen"). On an X
// display with no platform named, QT_QPA_PLATFORM is set to "xcb": the X11
// clipboard can be read without a focused window, unlike Wayland's.
RunMode ChooseRunMode();

// The windows of the running program; nullptr outside RunApplication.
extern TVelkarMainForm* VelkarMainForm;

// Hooks the Help menu's items to their handlers.
void ConnectHelpMenu(TVelkarMainForm* form);

// The start-up once the QApplication exists, the loop (desktop only) and the
// end. Returns the exit status: always 0 on the desktop; in console mode 0 when
// the automatic run succeeded, 1 when it failed, 2 when none was asked for.
int RunApplication(RunMode mode);

}  // namespace velkar
