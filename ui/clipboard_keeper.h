// Keeps the clipboard's text readable after the program has exited on X11, where
// the text lives in the program that set it: the text is handed to this same
// program re-run in a small server role that holds the clipboard until another
// program takes it. The role is chosen by kClipboardServerVariable, which the
// program reads (IsClipboardServerRole, settings/server_role.h) before loading this
// part.
#pragma once

#include "settings/server_role.h"

namespace velkar {

// The server role: reads the clipboard's formats from standard input, takes the
// clipboard and serves it until another program takes it. Returns the exit status.
int RunClipboardServer(int argc, char** argv);

// Called by the desktop start-up just before the program exits: when this
// process still owns the X11 clipboard, hands its content to a detached server
// and waits (at most about 2 s) until the server has taken it.
void KeepClipboardAfterExit();

}  // namespace velkar
