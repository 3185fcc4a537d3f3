// The platform's default services: heap, movable blocks and POSIX files (a
// temporary file guarded against terminating signals by temp_file_guard.cpp),
// shared by every backend; and the one pointer to the platform in use.
#include "platform/platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/ascii_fold.h"
#include "platform/platform_file.h"
#include "platform/temp_file_guard.h"

namespace velkar {

namespace {

Platform* current = nullptr;

constexpr std::uint32_t kBlockMagic = 0x564b4c42;  // "VKLB"

}  // namespace

// A movable block: this header, then the bytes. The header is padded so the
// bytes keep the alignment malloc gives.
struct MemBlock {
  std::size_t size;
  std::uint32_t magic;
  std::int32_t locks;
  alignas(std::max_align_t) unsigned char bytes[1];
};

Platform::~Platform() = default;

Platform* CurrentPlatform() { return current; }
void SetCurrentPlatform(Platform* platform) { current = platform; }

void* Platform::HeapAlloc(std::size_t size) { return std::malloc(size == 0 ? 1 : size); }

void Platform::HeapFree(void* p) { std::free(p); }

MemHandle Platform::GlobalAlloc(std::size_t size) {
  constexpr std::size_t header = offsetof(MemBlock, bytes);
  if (size > SIZE_MAX - header - 1) return nullptr;
  void* raw = std::calloc(1, header + size + 1);
  if (raw == nullptr) return nullptr;
  auto* block = static_cast<MemBlock*>(raw);
  block->size = size;
  block->magic = kBlockMagic;
  block->locks = 0;
  ++liveBlocks_;
  return block;
}

void* Platform::GlobalLock(MemHandle block) {
  if (block == nullptr || block->magic != kBlockMagic) return nullptr;
  ++block->locks;
  return block->bytes;
}

void Platform::GlobalUnlock(MemHandle block) {
  if (block != nullptr && block->magic == kBlockMagic && block->locks > 0) --block->locks;
}

void Platform::GlobalFree(MemHandle block) { FreeBlockStorage(block); }

void Platform::FreeBlockStorage(MemHandle block) {
  if (block == nullptr || block->magic != kBlockMagic) return;
  block->magic = 0;
  std::free(block);
  --liveBlocks_;
}

MemHandle Platform::GlobalHandle(const void* lockedAddress) {
  if (lockedAddress == nullptr) return nullptr;
  auto* bytes = static_cast<const unsigned char*>(lockedAddress);
  auto* block =
      reinterpret_cast<MemBlock*>(const_cast<unsigned char*>(bytes - offsetof(MemBlock, bytes)));
  return block->magic == kBlockMagic ? block : nullptr;
}

std::size_t Platform::GlobalSize(MemHandle block) {
  return block != nullptr && block->magic == kBlockMagic ? block->size : 0;
}

bool Platform::ClipboardTextOutOfMemory() { return false; }

bool Platform::StringsEqual(const char* a, const char* b, bool ignoreCase) {
  if (!ignoreCase) return std::strcmp(a, b) == 0;
  for (;; ++a, ++b) {
    const unsigned char x = FoldAscii(static_cast<unsigned char>(*a));
    const unsigned char y = FoldAscii(static_cast<unsigned char>(*b));
    if (x != y) return false;
    if (x == 0) return true;
  }
}

int Platform::QueryFile(const char* name, FileInfo* info) {
  struct stat st {};
  if (::stat(name, &st) != 0) return -1;
  info->size = S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
  info->mode = st.st_mode & 07777;
  info->isRegular = S_ISREG(st.st_mode);
  info->isDirectory = S_ISDIR(st.st_mode);
  info->owner = st.st_uid;
  info->group = st.st_gid;
  return 0;
}

namespace {

PlatformFile* WrapFd(int fd) {
  if (fd < 0) return nullptr;
  auto* file = new (std::nothrow) PlatformFile{fd};
  if (file == nullptr) ::close(fd);
  return file;
}

}  // namespace

PlatformFile* Platform::OpenFileRead(const char* name) {
  // O_NONBLOCK keeps a FIFO without a writer from hanging the open; it is
  // cleared at once so that reads wait for data as usual.
  int fd = ::open(name, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd >= 0) {
    int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  }
  return WrapFd(fd);
}

std::uint64_t Platform::ReadFile(PlatformFile* file, void* buffer, std::uint64_t size) {
  auto* out = static_cast<unsigned char*>(buffer);
  std::uint64_t done = 0;
  while (done < size) {
    std::uint64_t chunk = size - done;
    if (chunk > (1u << 30)) chunk = 1u << 30;
    ssize_t got = ::read(file->fd, out + done, static_cast<std::size_t>(chunk));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<std::uint64_t>(got);
  }
  return done;
}

PlatformFile* Platform::OpenFileWrite(const char* name) {
  return WrapFd(::open(name, O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
}

PlatformFile* Platform::CreateTempFileBeside(const char* target, std::string* tempName) {
  std::string path(target);
  std::string::size_type slash = path.rfind('/');
  std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  // Keep the name short enough for any file system; the directory part is what
  // places the file beside its target.
  if (base.size() > 100) base.resize(100);
  std::string pattern = dir + "." + base + ".velkar-XXXXXX";
  // The signal guard goes in before the file exists, so that no terminating signal
  // can leave it behind, however early it comes.
  const int slot = ArmTempFileGuard(pattern.size());
  if (slot < 0) return nullptr;
  int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  PublishTempFile(slot, fd >= 0 ? pattern.c_str() : nullptr);
  if (fd < 0) return nullptr;
  *tempName = pattern;
  return WrapFd(fd);
}

std::uint64_t WriteToDescriptor(int fd, const void* data, std::uint64_t size) {
  auto* in = static_cast<const unsigned char*>(data);
  std::uint64_t done = 0;
  while (done < size) {
    std::uint64_t chunk = size - done;
    if (chunk > (1u << 30)) chunk = 1u << 30;
    ssize_t put = ::write(fd, in + done, static_cast<std::size_t>(chunk));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) break;
    done += static_cast<std::uint64_t>(put);
  }
  return done;
}

std::size_t TextLength(const char* bytes, std::size_t size) {
  const void* nul = std::memchr(bytes, 0, size);
  return nul != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nul) - bytes) : size;
}

bool WriteAll(int fd, const void* data, std::uint64_t size) {
  return WriteToDescriptor(fd, data, size) == size;
}

std::uint64_t Platform::WriteFile(PlatformFile* file, const void* data, std::uint64_t size) {
  return WriteToDescriptor(file->fd, data, size);
}

int Platform::ReserveFileSpace(PlatformFile* file, std::uint64_t size) {
  struct stat before {};
  if (::fstat(file->fd, &before) != 0) return -1;
  if (!S_ISREG(before.st_mode) || size == 0) return 0;
  if (size > static_cast<std::uint64_t>(INT64_MAX)) return -1;
  int rc;
  do {
    rc = ::posix_fallocate(file->fd, 0, static_cast<off_t>(size));
  } while (rc == EINTR);
  if (rc == 0) return 0;
  // A reservation that failed part way may have grown the file: give it back its
  // old length (the bytes added were zeros).
  struct stat after {};
  if (::fstat(file->fd, &after) == 0 && after.st_size != before.st_size) {
    while (::ftruncate(file->fd, before.st_size) != 0 && errno == EINTR) {
    }
  }
  return -1;
}

int Platform::SetFileLength(PlatformFile* file, std::uint64_t size) {
  struct stat st {};
  if (::fstat(file->fd, &st) != 0) return -1;
  if (!S_ISREG(st.st_mode)) return 0;
  if (size > static_cast<std::uint64_t>(INT64_MAX)) return -1;
  while (::ftruncate(file->fd, static_cast<off_t>(size)) != 0) {
    if (errno != EINTR) return -1;
  }
  return 0;
}

int Platform::SetFileOwner(PlatformFile* file, std::uint32_t owner, std::uint32_t group) {
  struct stat st {};
  if (::fstat(file->fd, &st) != 0) return -1;
  if (st.st_uid == owner && st.st_gid == group) return 0;
  return ::fchown(file->fd, owner, group) == 0 ? 0 : -1;
}

int Platform::FlushFile(PlatformFile* file) {
  if (::fsync(file->fd) == 0) return 0;
  // Devices, pipes and some file systems cannot be synced; that is no failure.
  return errno == EINVAL || errno == EROFS || errno == ENOTSUP ? 0 : -1;
}

int Platform::CloseFile(PlatformFile* file) {
  if (file == nullptr) return -1;
  int rc = ::close(file->fd);
  delete file;
  return rc == 0 || errno == EINTR ? 0 : -1;
}

int Platform::RenameFile(const char* from, const char* to) {
  return ::rename(from, to) == 0 ? 0 : -1;
}

int Platform::RemoveFile(const char* name) { return ::unlink(name) == 0 ? 0 : -1; }

int Platform::SetFileMode(const char* name, unsigned mode) {
  return ::chmod(name, static_cast<mode_t>(mode)) == 0 ? 0 : -1;
}

// A name already guarded (the file CreateTempFileBeside made) stays as it is.
void Platform::GuardTempFile(const char* name) {
  if (name == nullptr) {
    EndTempFileGuards();
    return;
  }
  GuardTempFileName(name);
}

void Platform::ReportProgress(const RunProgress&) {}

bool Platform::CanWriteFile(const char* name) { return ::access(name, W_OK) == 0; }

std::string Platform::ResolveLinks(const char* name) {
  std::string path(name);
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
    ssize_t len = ::readlink(path.c_str(), target.data(), target.size());
    if (len < 0 || static_cast<std::size_t>(len) >= target.size()) return path;
    target.resize(static_cast<std::size_t>(len));
    if (!target.empty() && target[0] != '/') {
      std::string::size_type slash = path.rfind('/');
      if (slash != std::string::npos) target = path.substr(0, slash + 1) + target;
    }
    path = target;
  }
  return path;
}

}  // namespace velkar
