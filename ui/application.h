// The application's frame on the desktop: the start-up in its fixed order (title,
// help file, main window, FormCreate, showing, About box, loop), the help commands
// and the end of the program.
#pragma once

#include <string>

namespace velkar {

class TVelkarMainForm;

// The application's title and help file, as the start-up sets them.
inline constexpr char kApplicationTitle[] = "VELKAR.EXE";
inline constexpr char kHelpFileName[] = "Velkar.hlp";
const std::string& ApplicationHelpFile();

// The windows of the running program; nullptr outside RunApplication.
extern TVelkarMainForm* VelkarMainForm;

// Hooks the Help menu's items to their handlers.
void ConnectHelpMenu(TVelkarMainForm* form);

// The start-up once the QApplication exists, the loop and the end. Returns the
// exit status, always 0.
int RunApplication();

}  // namespace velkar
