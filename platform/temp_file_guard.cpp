// The temporary-file guard: the slot table the signal handler reads, its
// preparation outside the handler, and the handler itself.
#include "platform/temp_file_guard.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <new>
#include <string>

namespace velkar {

namespace {

constexpr int kGuardedSignals[] = {SIGTERM, SIGINT, SIGHUP};
constexpr int kGuardedCount = static_cast<int>(sizeof kGuardedSignals / sizeof kGuardedSignals[0]);

// One guarded name. The storage is prepared before the name is published and is
// kept for the life of the program, so that a handler running late on another
// thread never reads freed memory; the handler reads only `name`.
struct Slot {
  std::string* storage = nullptr;
  std::atomic<const char*> name{nullptr};
  bool used = false;  // taken (armed or guarding); touched outside the handler only
};

Slot slots[kTempFileGuardSlots];

// Slots whose file is being made: a signal then only leaves its number, and the
// maker ends the program once the file's name is known.
std::atomic<int> creating{0};
std::atomic<int> pendingSignal{0};

struct sigaction previousActions[kGuardedCount];
bool installed[kGuardedCount] = {};

void EndBySignal(int signalNumber) {
  struct sigaction byDefault {};
  byDefault.sa_handler = SIG_DFL;
  sigemptyset(&byDefault.sa_mask);
  ::sigaction(signalNumber, &byDefault, nullptr);
  ::raise(signalNumber);
}

void RemoveGuardedFiles() {
  for (Slot& slot : slots) {
    const char* name = slot.name.load();
    if (name != nullptr) ::unlink(name);
  }
}

extern "C" void RemoveGuardedFile(int signalNumber) {
  if (creating.load() != 0) {
    pendingSignal.store(signalNumber);
    return;
  }
  RemoveGuardedFiles();
  // Then the signal's own end: its default action, taken once this handler returns
  // and the signal is unblocked again.
  EndBySignal(signalNumber);
}

void InstallHandlers() {
  struct sigaction action {};
  action.sa_handler = RemoveGuardedFile;
  sigemptyset(&action.sa_mask);
  for (int signalNumber : kGuardedSignals) sigaddset(&action.sa_mask, signalNumber);
  for (int i = 0; i < kGuardedCount; ++i) {
    if (installed[i]) continue;
    struct sigaction existing {};
    if (::sigaction(kGuardedSignals[i], nullptr, &existing) != 0) continue;
    if ((existing.sa_flags & SA_SIGINFO) != 0 || existing.sa_handler != SIG_DFL) continue;
    if (::sigaction(kGuardedSignals[i], &action, &previousActions[i]) == 0) installed[i] = true;
  }
}

void RestoreHandlers() {
  for (int i = 0; i < kGuardedCount; ++i) {
    if (installed[i]) ::sigaction(kGuardedSignals[i], &previousActions[i], nullptr);
    installed[i] = false;
  }
}

// A free slot with room for a name of `nameLength` bytes, marked used; -1 when
// none is free or the room cannot be had.
int TakeSlot(std::size_t nameLength) {
  for (int i = 0; i < kTempFileGuardSlots; ++i) {
    Slot& slot = slots[i];
    if (slot.used) continue;
    try {
      if (slot.storage == nullptr) slot.storage = new std::string;
      slot.storage->reserve(nameLength + 1);
    } catch (const std::bad_alloc&) {
      return -1;
    }
    slot.used = true;
    return i;
  }
  return -1;
}

void FreeSlot(Slot& slot) {
  slot.name.store(nullptr);
  slot.used = false;
  for (const Slot& other : slots) {
    if (other.used) return;
  }
  RestoreHandlers();
}

int SlotOf(const char* name) {
  for (int i = 0; i < kTempFileGuardSlots; ++i) {
    const char* guarded = slots[i].name.load();
    if (guarded != nullptr && std::strcmp(guarded, name) == 0) return i;
  }
  return -1;
}

// Publishes a name whose room was reserved: no allocation here.
void Publish(Slot& slot, const char* name) {
  slot.storage->assign(name);
  slot.name.store(slot.storage->c_str());
}

}  // namespace

int ArmTempFileGuard(std::size_t nameLength) {
  const int slot = TakeSlot(nameLength);
  if (slot < 0) return -1;
  if (creating.fetch_add(1) == 0) pendingSignal.store(0);
  InstallHandlers();
  return slot;
}

void PublishTempFile(int slot, const char* name) {
  if (slot < 0 || slot >= kTempFileGuardSlots) return;
  if (name != nullptr) Publish(slots[slot], name);
  if (creating.fetch_sub(1) == 1) {
    if (int signalNumber = pendingSignal.exchange(0); signalNumber != 0) {
      RemoveGuardedFiles();
      EndBySignal(signalNumber);
    }
  }
  if (name == nullptr) FreeSlot(slots[slot]);
}

int GuardTempFileName(const char* name) {
  if (const int guarded = SlotOf(name); guarded >= 0) return guarded;
  const int slot = TakeSlot(std::strlen(name));
  if (slot < 0) return -1;
  Publish(slots[slot], name);
  InstallHandlers();
  return slot;
}

void UnguardTempFile(const char* name) {
  if (const int slot = SlotOf(name); slot >= 0) FreeSlot(slots[slot]);
}

void EndTempFileGuards() {
  for (Slot& slot : slots) {
    slot.name.store(nullptr);
    slot.used = false;
  }
  creating.store(0);
  RestoreHandlers();
}

int GuardedTempFileCount() {
  int count = 0;
  for (const Slot& slot : slots) count += slot.name.load() != nullptr ? 1 : 0;
  return count;
}

}  // namespace velkar
