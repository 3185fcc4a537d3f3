// The temporary-file guard: while a name is guarded, SIGTERM, SIGINT and SIGHUP,
// where they would end the program, remove every guarded file first and then end
// the program as the signal does. Several names may be guarded at once (a small
// fixed table of slots). The signal handler only reads storage prepared before and
// calls unlink, sigaction and raise, all async-signal-safe. Only a signal that
// would end the program is taken over: one the user ignores (nohup, a background
// job) stays ignored, and a handler of the caller's stays. The handlers go in with
// the first guarded name and the previous ones come back with the last.
#pragma once

#include <cstddef>

namespace velkar {

// How many names can be guarded at once.
inline constexpr int kTempFileGuardSlots = 8;

// Takes a slot for a temporary file about to be made, its name of `nameLength`
// bytes not yet known: a signal that comes while the file is being made is held
// until PublishTempFile. The slot, or -1 when none is free or its name cannot be
// stored.
int ArmTempFileGuard(std::size_t nameLength);

// The name of the file made for `slot` (nullptr: none was made, and the slot is
// free again). A signal that came while it was being made ends the program now,
// every guarded file removed first.
void PublishTempFile(int slot, const char* name);

// Guards the existing file `name`; its slot (the one it has already when it is
// guarded), or -1 when no slot is free or its name cannot be stored.
int GuardTempFileName(const char* name);

// Ends the guard of `name`; nothing when it is not guarded.
void UnguardTempFile(const char* name);

// Ends every guard.
void EndTempFileGuards();

// How many names are guarded now.
int GuardedTempFileCount();

}  // namespace velkar
