// peak OUT COMMAND [ARGS...]: runs COMMAND and writes its peak resident set in KiB
// (ru_maxrss from wait4), then the bytes it read and wrote through system calls
// (rchar, wchar of /proc/PID/io, taken while it is a zombie) to the file OUT; exits
// with COMMAND's status.
//
// A launcher of its own because Linux counts the resident size a process had
// before its exec in ru_maxrss: a child forked (or vforked) from the benchmark's
// Python process, which holds whole corpora in memory, would report Python's size
// instead of the sorter's. This process stays at a few hundred KiB.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: peak OUT COMMAND [ARGS...]\n", stderr);
    return 2;
  }
  pid_t pid = fork();
  if (pid < 0) return 127;
  if (pid == 0) {
    execvp(argv[2], argv + 2);
    _exit(127);
  }
  // Its I/O counts are read after it has ended but before it is reaped.
  siginfo_t info {};
  long long rchar = 0;
  long long wchar = 0;
  if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) == 0) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/io", static_cast<int>(pid));
    if (std::FILE* io = std::fopen(path, "r")) {
      char line[128];
      while (std::fgets(line, sizeof line, io) != nullptr) {
        if (std::strncmp(line, "rchar:", 6) == 0) rchar = std::atoll(line + 6);
        if (std::strncmp(line, "wchar:", 6) == 0) wchar = std::atoll(line + 6);
      }
      std::fclose(io);
    }
  }
  int status = 0;
  struct rusage usage {};
  if (wait4(pid, &status, 0, &usage) != pid) return 127;
  if (std::FILE* out = std::fopen(argv[1], "w")) {
    std::fprintf(out, "%ld %lld %lld\n", usage.ru_maxrss, rchar, wchar);
    std::fclose(out);
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + WTERMSIG(status);
}
