// The floor of a file-to-file run: what any sorter that writes velkar's bytes must
// at least do, with no sorting at all. One read of the whole input, one pass that
// cuts the lines (a CR right before an LF is dropped, a last line without LF gets
// one) and ends each with CR LF, one write of the result: the same bytes velkar
// writes, in input order. Plain heap memory, one thread.
//   floor IN OUT          writes OUT in place (open, truncate, write, close); no fsync
//   floor --sync IN OUT   velkar's delivery to an existing file: a temporary file
//                         beside OUT, write, fsync, close, chmod to OUT's mode, rename
// Exit status 0 on success, 1 with a message on standard error otherwise.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int Fail(const char* what, const char* name) {
  std::fprintf(stderr, "floor: %s %s: %s\n", what, name, std::strerror(errno));
  return 1;
}

// Reads the whole regular file into *data (malloc'ed); its size in *size.
bool ReadWhole(const char* name, char** data, size_t* size) {
  int fd = ::open(name, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    ::close(fd);
    return false;
  }
  size_t want = static_cast<size_t>(st.st_size);
  char* buffer = static_cast<char*>(std::malloc(want + 1));
  size_t done = 0;
  while (buffer != nullptr && done < want) {
    ssize_t got = ::read(fd, buffer + done, want - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  ::close(fd);
  if (buffer == nullptr) return false;
  *data = buffer;
  *size = done;
  return true;
}

// Writes the lines of in[0, size) to out, each ended by CR LF; returns the bytes
// written. out must hold 2 * size + 2 bytes (the worst case: every byte an LF).
size_t ExpandLineEnds(const char* in, size_t size, char* out) {
  char* put = out;
  const char* at = in;
  const char* end = in + size;
  while (at < end) {
    const char* lf = static_cast<const char*>(std::memchr(at, '\n', end - at));
    const char* stop = lf != nullptr ? lf : end;
    size_t length = static_cast<size_t>(stop - at);
    if (lf != nullptr && length > 0 && stop[-1] == '\r') --length;
    std::memcpy(put, at, length);
    put += length;
    *put++ = '\r';
    *put++ = '\n';
    at = lf != nullptr ? lf + 1 : end;
  }
  return static_cast<size_t>(put - out);
}

bool WriteAll(int fd, const char* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    ssize_t put = ::write(fd, data + done, size - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    done += static_cast<size_t>(put);
  }
  return true;
}

int DeliverInPlace(const char* name, const char* data, size_t size) {
  int fd = ::open(name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return Fail("cannot open", name);
  bool written = WriteAll(fd, data, size);
  if (::close(fd) != 0 || !written) return Fail("cannot write", name);
  return 0;
}

int DeliverThroughTemp(const char* name, const char* data, size_t size) {
  std::string target(name);
  std::string::size_type slash = target.rfind('/');
  std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  std::string temp = dir + "." + base + ".floor-XXXXXX";
  struct stat st {};
  mode_t mode = ::stat(name, &st) == 0 ? st.st_mode & 07777 : 0644;
  int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return Fail("cannot create a temporary file beside", name);
  bool stored = WriteAll(fd, data, size) && ::fsync(fd) == 0;
  if (::close(fd) != 0 || !stored || ::chmod(temp.c_str(), mode) != 0 ||
      ::rename(temp.c_str(), name) != 0) {
    int saved = errno;
    ::unlink(temp.c_str());
    errno = saved;
    return Fail("cannot write", name);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  bool sync = argc == 4 && std::strcmp(argv[1], "--sync") == 0;
  if (argc != 3 && !sync) {
    std::fprintf(stderr, "usage: floor [--sync] IN OUT\n");
    return 2;
  }
  const char* in = argv[argc - 2];
  const char* out = argv[argc - 1];
  char* text = nullptr;
  size_t size = 0;
  if (!ReadWhole(in, &text, &size)) return Fail("cannot read", in);
  char* block = static_cast<char*>(std::malloc(2 * size + 2));
  if (block == nullptr) return Fail("no memory for", in);
  size_t length = ExpandLineEnds(text, size, block);
  std::free(text);
  return sync ? DeliverThroughTemp(out, block, length) : DeliverInPlace(out, block, length);
}
