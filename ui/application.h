// The application's frame on the desktop: the start-up in its fixed order (title,
// icon, help file, main window, FormCreate, showing, About box, loop), the end of
// the loop with its windows, and the help file the Help menu's Contents and Search
// open (both handlers are defined in application.cpp).
#pragma once

#include <string>

#include "settings/run_settings.h"
#include "ui/ui_texts.h"

namespace velkar {

class TVelkarMainForm;

// The application's title and help file, as the start-up sets them.
inline constexpr const auto& kApplicationTitle = texts::kProductName;
inline constexpr char kHelpFileName[] = "Velkar.hlp";
const std::string& ApplicationHelpFile();

// The main window of the running program; nullptr outside RunApplication.
extern TVelkarMainForm* VelkarMainForm;

// The start-up once the QApplication exists, with the settings the command line
// made, the loop and the end (the About box and the main window deleted).
// Returns the exit status, always 0.
int RunApplication(const RunSettings& commandLine);

}  // namespace velkar
