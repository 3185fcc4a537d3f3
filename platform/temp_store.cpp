// The default services for runs too large for memory: the memory budget, the
// temporary store of sorted runs, reads at an offset, and a clipboard that takes
// no parts.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <new>
#include <string>

#include "platform/memory_budget.h"
#include "platform/platform.h"
#include "platform/platform_file.h"

namespace velkar {

std::uint64_t Platform::MemoryBudget() { return BudgetFrom(ReadMemoryFacts()); }

namespace {

// The folder for temporary runs: $TMPDIR when set, else /var/tmp, which is on disk
// where /tmp is often memory.
std::string TempFolder() {
  const char* dir = std::getenv("TMPDIR");
  std::string folder = dir != nullptr && *dir != '\0' ? dir : "/var/tmp";
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

// Makes a named file and removes its name at once, with the terminating signals
// held back in between, so that no signal finds the name there.
int CreateUnlinked(const std::string& folder) {
  std::string pattern = folder + "/velkar-run-XXXXXX";
  sigset_t held;
  sigset_t previous;
  sigemptyset(&held);
  sigaddset(&held, SIGTERM);
  sigaddset(&held, SIGINT);
  sigaddset(&held, SIGHUP);
  ::pthread_sigmask(SIG_BLOCK, &held, &previous);
  // mkostemp makes the file with mode 0600 and O_EXCL: never through an existing
  // name or a symbolic link.
  const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd >= 0) ::unlink(pattern.c_str());
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return fd;
}

}  // namespace

PlatformFile* Platform::CreateTempStore(std::string* folder) {
  *folder = TempFolder();
  int fd = -1;
#if defined(O_TMPFILE)
  fd = ::open(folder->c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
#endif
  // File systems without unnamed files answer EOPNOTSUPP (older kernels EISDIR);
  // a missing or unwritable folder fails the same way either way.
  if (fd < 0 && errno != ENOENT && errno != EACCES && errno != ENOTDIR) {
    fd = CreateUnlinked(*folder);
  }
  if (fd < 0) return nullptr;
  auto* file = new (std::nothrow) PlatformFile{fd};
  if (file == nullptr) ::close(fd);
  return file;
}

std::uint64_t Platform::ReadFileAt(PlatformFile* file, void* buffer, std::uint64_t size,
                                   std::uint64_t offset) {
  auto* out = static_cast<unsigned char*>(buffer);
  std::uint64_t done = 0;
  while (done < size) {
    std::uint64_t chunk = size - done;
    if (chunk > (1u << 30)) chunk = 1u << 30;
    const ssize_t got = ::pread(file->fd, out + done, static_cast<std::size_t>(chunk),
                                static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<std::uint64_t>(got);
  }
  return done;
}

bool Platform::ClipboardInParts() { return false; }

std::int64_t Platform::ReadClipboardPart(void*, std::uint64_t) { return -1; }

bool Platform::WriteClipboardPart(const void*, std::uint64_t) { return false; }

bool Platform::FinishClipboardParts() { return false; }

}  // namespace velkar
