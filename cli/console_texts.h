// Every text the program shows on the console of its own, once: the usage line,
// "--help" and "--version", and the program's own lines on standard error. The
// engine's messages are in engine/messages.h; the console backend prints them.
#pragma once

#include "settings/version.h"

namespace velkar {

// The one line on standard error of a console start without an automatic run.
inline constexpr char kConsoleUsage[] =
    "usage: velkar -a|-a+ [-r] [-i] [-u] [-N[n][f]] [[-f] INPUT] [-o OUTPUT]  "
    "(no display: only -a or -a+ can run)\n";

// What "--help" prints on standard output: the options, console use, exit statuses.
inline constexpr char kHelpText[] =
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
    "1 it failed, or the display cannot be opened; 2 no -a or -a+ and no display.\n"
    "Environment: VELKAR_MEMORY=SIZE caps the memory a run may use (e.g. 512M, 2G);\n"
    "a larger text is sorted through temporary runs in TMPDIR (default /var/tmp).\n"
    "VELKAR_THREADS=N sets the number of threads (default: every processor).\n";

// What "--version" prints on standard output.
inline constexpr char kVersionText[] = "VELKAR " VELKAR_VERSION "\n";

// The program's own lines on standard error: the desktop part not loadable (%s:
// why), the display that does not answer (%s: its name) without and with an
// automatic run.
inline constexpr char kCannotLoadDesktop[] = "velkar: cannot load the desktop part: %s\n";
inline constexpr char kCannotOpenDisplay[] = "velkar: cannot open display %s\n";
inline constexpr char kRunningInConsole[] =
    "velkar: cannot open display %s; running in console mode\n";

}  // namespace velkar
