// peak OUT COMMAND [ARGS...]: runs COMMAND and writes its peak resident set in KiB
// (ru_maxrss from wait4) to the file OUT; exits with COMMAND's status.
//
// A launcher of its own because Linux counts the resident size a process had
// before its exec in ru_maxrss: a child forked (or vforked) from the benchmark's
// Python process, which holds whole corpora in memory, would report Python's size
// instead of the sorter's. This process stays at a few hundred KiB.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

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
  int status = 0;
  struct rusage usage {};
  if (wait4(pid, &status, 0, &usage) != pid) return 127;
  if (std::FILE* out = std::fopen(argv[1], "w")) {
    std::fprintf(out, "%ld\n", usage.ru_maxrss);
    std::fclose(out);
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + WTERMSIG(status);
}
