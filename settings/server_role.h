// The clipboard server role of the program (ui/clipboard_keeper.h), chosen by an
// environment variable rather than a word: every unknown word on the command line
// is an input file name. Read by the program before it loads the desktop part,
// and by the desktop part when it starts a server.
#pragma once

#include <cstdlib>

namespace velkar {

inline constexpr char kClipboardServerVariable[] = "VELKAR_CLIPBOARD_SERVER";

// Whether this process was started in the clipboard server role.
inline bool IsClipboardServerRole() {
  const char* value = std::getenv(kClipboardServerVariable);
  return value != nullptr && *value != '\0';
}

}  // namespace velkar
