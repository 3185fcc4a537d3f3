#!/bin/sh
# Runs one case of the built program on a private Xvfb display with the real X
# clipboard, driven by xclip (and xdotool for the window), with no clipboard
# manager: what velkar leaves on the clipboard must outlive velkar itself.
# Usage: run_x11.sh PROGRAM CASE
set -u
program=$1
case_name=$2
here=$(cd "$(dirname "$0")" && pwd)

work=$(mktemp -d "${TMPDIR:-/tmp}/velkar-x11.XXXXXX") || exit 1
xvfb_pid=
cleanup() {
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# Xvfb picks a free display itself and writes its number to descriptor 3; its log
# records each client's connection and its end.
Xvfb -displayfd 3 -audit 4 -screen 0 1024x768x24 -nolisten tcp 3> "$work/display" 2> "$work/xvfb.log" &
xvfb_pid=$!
tries=0
while [ ! -s "$work/display" ]; do
  tries=$((tries + 1))
  if [ $tries -gt 200 ] || ! kill -0 "$xvfb_pid" 2>/dev/null; then
    echo "Xvfb did not start"; cat "$work/xvfb.log"; exit 1
  fi
  sleep 0.05
done
DISPLAY=:$(cat "$work/display")
export DISPLAY
unset WAYLAND_DISPLAY QT_QPA_PLATFORM VELKAR_CLIPBOARD_SERVER
cd "$work"

failed=0
fail() { echo "FAIL: $*"; failed=1; }

clip_out() { xclip -selection clipboard -o 2>/dev/null; }

# Puts text on the clipboard from xclip's own server process, as a user's copy would.
# xclip takes the selection from a child it forks, so wait (at most 5 s) until the
# clipboard serves the new text before going on.
clip_in() {
  printf "$1" > clip_want
  printf "$1" | xclip -selection clipboard -i
  tries=0
  while [ $tries -lt 50 ]; do
    clip_out > clip_got
    cmp -s clip_want clip_got && return 0
    sleep 0.1
    tries=$((tries + 1))
  done
  echo "xclip did not take the clipboard"
}

# Compares the clipboard's bytes with the printf format $1.
expect_clipboard() {
  printf "$1" > want
  clip_out > got
  if ! cmp -s want got; then
    fail "clipboard: expected"; od -c want; echo "got"; od -c got
  fi
}

# Runs velkar with a time limit, so that a hang is a failure, not a stuck test;
# standard input /dev/null, as from a menu entry (a pipe would make it a filter).
velkar() { timeout 30 "$program" "$@" < /dev/null; }

# The clipboard servers velkar left on this display: processes started in the
# server role with this DISPLAY in their environment.
count_servers() {
  n=0
  for dir in /proc/[0-9]*; do
    env=$(tr '\0' '\n' < "$dir/environ" 2>/dev/null) || continue
    case $env in *VELKAR_CLIPBOARD_SERVER=*) ;; *) continue ;; esac
    printf '%s\n' "$env" | grep -qx "DISPLAY=$DISPLAY" && n=$((n + 1))
  done
  echo $n
}

# Waits (at most 3 s) until at most $1 servers are alive.
wait_servers_at_most() {
  tries=0
  while [ "$(count_servers)" -gt "$1" ]; do
    [ $tries -ge 30 ] && return 1
    sleep 0.1
    tries=$((tries + 1))
  done
}

# Whether the process $1 ended an X connection and then opened another (from
# Xvfb's log): a server whose last client leaves resets, and a connection made
# during the reset, velkar's own next one or another program's, is refused.
expect_display_held() {
  awk -v pid="$1" '
    { for (i = 1; i < NF; i++) if ($i == "client") id = $(i + 1) }
    / connected from / { for (i = 1; i <= NF; i++) if ($i ~ /^pid=/) owner[id] = substr($i, 5)
                         if (owner[id] == pid && ended) reopened = 1 }
    / disconnected$/ { if (owner[id] == pid) ended = 1; owner[id] = "" }
    END { exit reopened }' "$work/xvfb.log" ||
    fail "velkar ended a display connection and opened another"
}

# Waits for a window whose name matches $1 and prints its id.
wait_window() { timeout 20 xdotool search --sync --onlyvisible --name "$1" | head -n 1; }

case $case_name in
ascending)
  # The example of the documentation: b, a in; a, b out, after velkar has gone.
  clip_in 'b\na\n'
  velkar -a+ || fail "status $?"
  expect_clipboard 'a\nb\n'
  expect_clipboard 'a\nb\n'  # served to any number of readers
  ;;
field_number_descending)
  clip_in 'x,10\ny,9\nz,100\n'
  velkar -a+ -r -2nf || fail "status $?"
  expect_clipboard 'z,100\nx,10\ny,9\n'
  ;;
file_to_clipboard_then_taken)
  printf 'pear\r\napple\r\n' > in.txt
  velkar -A+ -F in.txt || fail "status $?"
  expect_clipboard 'apple\npear\n'
  # Another program takes the clipboard: its text, not ours, is there afterwards.
  clip_in 'other\n'
  expect_clipboard 'other\n'
  ;;
servers_end_with_ownership)
  # Each run hands its result to a new server, which takes the clipboard from the
  # previous one: a server that lost the clipboard ends, so one is left, serving.
  clip_in 'b\na\n'
  for run in 1 2 3 4 5 6; do
    velkar -a+ || fail "run $run: status $?"
  done
  wait_servers_at_most 1 || fail "$(count_servers) clipboard servers alive after six runs"
  expect_clipboard 'a\nb\n'
  # Another program takes the clipboard: the last server ends too.
  clip_in 'other\n'
  wait_servers_at_most 0 || fail "$(count_servers) clipboard servers alive after xclip took it"
  expect_clipboard 'other\n'
  ;;
clipboard_to_file)
  clip_in 'b\na\n'
  velkar -a+ -o out.txt || fail "status $?"
  printf 'a\r\nb\r\n' > want.txt
  cmp -s want.txt out.txt || fail "out.txt differs"
  # The clipboard was only read: xclip still serves the original.
  expect_clipboard 'b\na\n'
  ;;
finish_box)
  # "-a" shows "Finish!" before quitting; OK on the box ends the program.
  clip_in '2\n1\n'
  velkar -a &
  pid=$!
  box=$(wait_window '^VELKAR$')
  [ -n "$box" ] || fail "no Finish! box"
  # The result is on the clipboard while the box is showing.
  expect_clipboard '1\n2\n'
  xdotool windowactivate --sync "$box" key Return 2>/dev/null || xdotool key Return
  wait "$pid" || fail "status $?"
  expect_clipboard '1\n2\n'
  ;;
failed_run_opens_window)
  # A failed automatic run leaves the window open; File > eXit ends with status 0.
  velkar -a+ -f missing.txt &
  pid=$!
  box=$(wait_window '^VELKAR-ERROR$')
  [ -n "$box" ] || fail "no error box"
  velkar_pid=$(xdotool getwindowpid "$box")
  xdotool windowactivate --sync "$box" key Return 2>/dev/null || xdotool key Return
  main=$(wait_window '^VELKAR$')
  [ -n "$main" ] || fail "no main window"
  # The File menu by mouse (its title sits at the window's top left), then its
  # eXit item by its access key: the open menu has the keyboard.
  xdotool mousemove --window "$main" 20 8 click 1
  timeout 20 sh -c 'until xdotool search --onlyvisible --class velkar | grep -qv "^'"$main"'$"; do sleep 0.1; done'
  xdotool key x
  wait "$pid" || fail "status $?"
  expect_display_held "$velkar_pid"
  ;;
piped_stdin_is_a_filter)
  # In a desktop terminal a pipe into an automatic run is a filter: standard input
  # to standard output, the X clipboard left alone, no window.
  clip_in 'keep\n'
  printf 'b\na\n' | timeout 30 "$program" -a+ > out 2> err || fail "status $?"
  printf 'a\nb\n' > want
  cmp -s want out || { fail "standard output"; od -c out; }
  [ -s err ] && { fail "standard error"; cat err; }
  expect_clipboard 'keep\n'
  # Standard input a file: the same. Without -a or -a+ the pipe changes nothing.
  printf 'b\na\n' > in.txt
  timeout 30 "$program" -a+ -r < in.txt > out || fail "status $?"
  printf 'b\na\n' > want
  cmp -s want out || fail "standard output from a file"
  expect_clipboard 'keep\n'
  ;;
quiet_start)
  # A start outside a login session (no XDG_RUNTIME_DIR) prints nothing from Qt
  # and leaves nothing in the temporary folder (Qt's fallback runtime folder is
  # made there); --help and --version answer on standard output with the display
  # there.
  clip_in 'b\na\n'
  mkdir tmp
  env -u XDG_RUNTIME_DIR TMPDIR="$work/tmp" timeout 30 "$program" -a+ < /dev/null 2> err ||
    fail "status $?"
  [ -s err ] && { fail "standard error not empty"; cat err; }
  expect_clipboard 'a\nb\n'
  left=$(ls -A tmp)
  [ -z "$left" ] || fail "left in the temporary folder: $left"
  velkar --version > out || fail "--version status $?"
  printf 'VELKAR 1.30\n' > want
  cmp -s want out || fail "--version output"
  velkar --help > out || fail "--help status $?"
  head -n 1 out | grep -q '^usage: velkar' || fail "--help output"
  ;;
long_run_window)
  # A run of a few seconds from the window: during it the window is drawn anew
  # where a window that covered it has gone, and a close request from the window
  # manager, which Qt holds back with the user's input, does not cut it: the
  # whole result is written and "Finish!" shown.
  awk 'BEGIN { srand(7); for (i = 0; i < 10000000; i++) printf "%d\n", rand() * 1e9 }' > big.txt
  timeout 60 "$program" -f big.txt -o out.txt < /dev/null &
  pid=$!
  main=$(wait_window '^VELKAR$')
  [ -n "$main" ] || main=$(wait_window '^VELKAR$')  # a display slow to answer at first
  [ -n "$main" ] || fail "no main window"
  xdotool windowfocus --sync "$main" key Return
  sleep 1
  if [ "$(xdotool search --onlyvisible --name '^VELKAR$' | wc -l)" = 1 ]; then
    # A window that covered it goes: what it uncovered is drawn again.
    python3 "$here/x11_window.py" cover "$main"
    sleep 0.3
    left=$(python3 "$here/x11_window.py" magenta "$main")
    [ "$left" = 0 ] || fail "the window was not drawn anew during the run ($left pixels left)"
    python3 "$here/x11_window.py" close "$main"
    sleep 0.3
    xdotool search --onlyvisible --name '^VELKAR$' | grep -qx "$main" ||
      fail "the close request cut the run"
  else
    echo "the run ended within a second: the window during a run not checked"
  fi
  box=$(timeout 60 sh -c 'until xdotool search --onlyvisible --name "^VELKAR\$" | grep -vx "'"$main"'"; do sleep 0.1; done' | head -n 1)
  [ -n "$box" ] || fail "no Finish! box"
  [ "$(tr -d '\r' < out.txt | wc -l)" = 10000000 ] || fail "out.txt is not the whole text"
  tr -d '\r' < out.txt | LC_ALL=C sort -c || fail "out.txt is not sorted"
  xdotool windowfocus --sync "$box" key Return
  # The request held back reached the "Finish!" box, which refuses it as any
  # modal box does: the window is closed again.
  sleep 0.3
  xdotool search --onlyvisible --name '^VELKAR$' | grep -qx "$main" &&
    python3 "$here/x11_window.py" close "$main"
  wait "$pid" || fail "status $?"
  ;;
*)
  echo "unknown case $case_name"; exit 2 ;;
esac

if [ $failed != 0 ]; then echo "case $case_name failed"; exit 1; fi
echo "case $case_name passed"
