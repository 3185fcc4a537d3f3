// Console mode's run and the usage texts.
#include "cli/console_run.h"

#include <cstdio>

#include "engine/engine.h"
#include "platform/platform.h"

namespace velkar {

const char kHelpText[] =
    "usage: velkar [-a|-a+] [-r] [-i] [-u] [-N[n][f]] [[-f] INPUT] [-o OUTPUT]\n"
    "       velkar --help | --version\n"
    "Sorts the lines of INPUT, or of the clipboard, into OUTPUT, or the clipboard.\n"
    "  -a         sort at once and quit when the run succeeds (shows \"Finish!\")\n"
    "  -a+        the same without the \"Finish!\" message\n"
    "  -r         descending order\n"
    "  -i         ignore the case of the letters A to Z\n"
    "  -u         drop duplicate neighbouring lines\n"
    "  -N[n][f]   the key from byte column N (1 and up); n: compare it as a number;\n"
    "             f: the N-th comma-separated field instead of the column\n"
    "  -f INPUT   the input file; any other word that is no option names it too\n"
    "  -o OUTPUT  the output file, lines ended by CR LF\n"
    "Without -a or -a+ the window opens with these settings.\n"
    "Console use: with no display, or with -a or -a+ and standard input a pipe, a\n"
    "FIFO or a file, no window opens: the clipboard is standard input (read to its\n"
    "end or its first NUL) and standard output (lines ended by LF), and every\n"
    "message is CAPTION: TEXT on standard error, the text's own line breaks kept\n"
    "(an output file that cannot be opened gives two lines). A filter, e.g.\n"
    "  velkar -a+ -3nf < in.csv > out.csv\n"
    "Exit status: 0 the automatic run succeeded (on the desktop: always 0);\n"
    "1 it failed, or the display cannot be opened; 2 no -a or -a+ and no display.\n";

int RunConsole(const RunSettings& settings) {
  if (!settings.autoRun) {
    std::fputs(kConsoleUsage, stderr);
    std::fflush(stderr);
    return 2;
  }
  QuietFinish = settings.quietFinish ? 1 : 0;
  if (const char* missing = settings.MissingName()) {
    CurrentPlatform()->ShowMessageBox(nullptr, missing, kRequestCaption, kBoxOk);
    return 1;
  }
  settings.Run(nullptr);
  return RunResult == 0 ? 0 : 1;
}

}  // namespace velkar
