// How a start goes, decided before any Qt library is loaded: the console (no
// display, or a filter fed on standard input) or the desktop, which Qt platform the
// desktop uses and which display must answer first. Plain C++, no Qt.
#pragma once

#include <string>

#include "settings/server_role.h"

namespace velkar {

// Opens /dev/null on any of the descriptors 0, 1 and 2 that is closed, so that
// nothing the program opens later takes their place; 1 is opened for reading only,
// so that writes to a closed standard output fail. Call it first of all.
void OpenStandardDescriptors();

// What the start depends on: the environment and what standard input is.
struct StartEnvironment {
  std::string qtPlatform;      // QT_QPA_PLATFORM
  std::string display;         // DISPLAY
  std::string waylandDisplay;  // WAYLAND_DISPLAY
  std::string runtimeDir;      // XDG_RUNTIME_DIR
  bool stdinIsData = false;    // standard input is a pipe, a FIFO or a regular file

  bool operator==(const StartEnvironment&) const = default;
};

// The environment of this process.
StartEnvironment CurrentStartEnvironment();

// The display the desktop is going to talk to.
enum class DisplayKind { kX11, kWayland, kOther };

struct StartPlan {
  bool console = false;
  std::string qtPlatform;  // desktop: what QT_QPA_PLATFORM is set to ("" leaves it)
  DisplayKind display = DisplayKind::kOther;

  bool operator==(const StartPlan&) const = default;
};

// Console when the Qt platform named is "offscreen" or "minimal", when no platform
// is named and neither DISPLAY nor WAYLAND_DISPLAY is set, or when an automatic run
// is asked and standard input is a pipe, a FIFO or a regular file (a filter in a
// desktop terminal; /dev/null or a terminal keep the desktop clipboard). Otherwise
// the desktop: on X11 ("xcb", also under XWayland, whose clipboard needs no
// focused window) when DISPLAY is set and no platform is named, on Wayland when only
// WAYLAND_DISPLAY is, else on the platform named.
StartPlan PlanStart(const StartEnvironment& env, bool autoRun);

// Whether the display of the plan can be opened now: an X connection is made
// (libxcb, loaded only for this) and held until the program ends, a Wayland socket
// is connected to. A platform of another kind is taken to answer.
bool DisplayAnswers(const StartPlan& plan, const StartEnvironment& env);

// The display's name for a message: DISPLAY or WAYLAND_DISPLAY, or "(none)".
std::string DisplayName(const StartPlan& plan, const StartEnvironment& env);

}  // namespace velkar
