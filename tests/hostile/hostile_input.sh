#!/bin/bash
# Hostile input to the built program in console mode, one case per call: binary
# text, huge lines and line counts, long fields, names and words, unreadable and
# unwritable places, a file-size limit. Every case must end in time with the right
# status and message, no crash and nothing of the user's lost.
# Usage: hostile_input.sh PROGRAM CASE     (big inputs are made in a temporary folder)
set -u
program=$(readlink -f "$1")
script=$(readlink -f "$0")
case_name=$2

work=$(mktemp -d "${TMPDIR:-/tmp}/velkar-hostile.XXXXXX") || exit 1
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT INT TERM
cd "$work" || exit 1

fail() {
  echo "hostile $case_name: $*" >&2
  exit 1
}

# A sanitized program is slower; its time limits are longer.
slow=1
if ldd "$program" 2>/dev/null | grep -q 'lib[at]san'; then slow=3; fi

# run LIMIT WORDS...: the program in console mode, standard input from $stdin
# (default /dev/null), output to ./out and ./err; sets $status. A case that does not
# end within LIMIT seconds (times $slow) fails, and so does any sanitizer report.
stdin=/dev/null
run() {
  local limit=$(($1 * slow))
  shift
  env -u DISPLAY -u WAYLAND_DISPLAY -u VELKAR_CLIPBOARD_SERVER QT_QPA_PLATFORM=offscreen \
    timeout -k 10 "$limit" "$program" "$@" <"$stdin" >out 2>err
  status=$?
  if [ "$status" = 124 ] || [ "$status" = 137 ]; then fail "no end within ${limit}s"; fi
  if grep -qE 'Sanitizer|runtime error:' err; then
    head -c 4000 err >&2
    fail "sanitizer report"
  fi
  if [ "$status" -ge 128 ]; then fail "ended by signal $((status - 128))"; fi
}

expect_status() {
  if [ "$status" != "$1" ]; then
    head -c 2000 err >&2
    fail "exit status $status, expected $1"
  fi
}

# expect_err TEXT: standard error holds exactly TEXT (printf format, no arguments).
expect_err() {
  printf "$1" >want_err
  if ! cmp -s want_err err; then
    echo "--- expected stderr:" >&2; head -c 600 want_err | od -c | head -20 >&2
    echo "--- got:" >&2; head -c 600 err | od -c | head -20 >&2
    fail "standard error differs"
  fi
}

# expect_file WANT GOT: same bytes.
expect_file() {
  if ! cmp "$1" "$2" >&2; then fail "$2 differs from $1"; fi
}

# expect_same_lines A B: the same lines in any order (CR LF taken as LF).
expect_same_lines() {
  sed 's/\r$//' "$1" | LC_ALL=C sort >lines_a
  sed 's/\r$//' "$2" | LC_ALL=C sort >lines_b
  cmp -s lines_a lines_b || fail "$2 is no permutation of the lines of $1"
}

# No temporary file of a delivery is left in the folder.
expect_no_temp() {
  if ls -A "${1:-.}" | grep -q '\.velkar-'; then fail "a temporary file was left behind"; fi
}

crlf() { sed 's/$/\r/'; }

# Runs the case again in a mount namespace of its own, where it may mount a small
# tmpfs; the case is skipped where there is none. Returns in the namespace.
in_namespace() {
  if [ -n "${VELKAR_HOSTILE_NS:-}" ]; then return; fi
  local ns="unshare --mount --propagation private"
  [ "$(id -u)" = 0 ] || ns="unshare --map-root-user --mount --propagation private"
  if ! $ns true 2>/dev/null; then
    echo "hostile $case_name: skipped (no mount namespace here)"
    exit 0
  fi
  VELKAR_HOSTILE_NS=1 $ns bash "$script" "$program" "$case_name"
  exit $?
}

# A temporary folder of the case's own for the runs of a sort beyond memory.
runs_folder() {
  mkdir -p "$work/runs"
  export TMPDIR="$work/runs"
}
expect_no_runs() {
  [ -z "$(ls -A "$work/runs")" ] || fail "left in the runs folder: $(ls -A "$work/runs")"
}

case $case_name in

nul_bytes)
  # The first NUL ends the text; the piece before it is the last line.
  printf 'b\nc\0zz\na\n' >in
  run 30 -a+ -f in -o out.txt
  expect_status 0
  expect_err ''
  printf 'b\r\nc\r\n' >want
  expect_file want out.txt
  # Binary lines (every byte but NUL and CR), then a NUL and more binary after it.
  seq 1 60000 | gzip -n -c | tr -d '\000\r' >part
  printf '\n' >>part
  { cat part; printf '\0'; seq 1 1000 | gzip -n -c; } >bin
  LC_ALL=C sort part >sorted
  run 60 -a+ -f bin -o out.txt
  expect_status 0
  crlf <sorted >want
  expect_file want out.txt
  # The same through standard input and output, LF only.
  stdin=bin run 60 -a+
  expect_status 0
  expect_file sorted out
  ;;

line_50mb)
  { printf 'b\n'; head -c 50000000 /dev/zero | tr '\0' x; printf '\na\n'; } >in
  cp in before
  run 120 -a+ -f in -o out.txt
  expect_status 0
  expect_err ''
  { printf 'a\r\nb\r\n'; head -c 50000000 /dev/zero | tr '\0' x; printf '\r\n'; } >want
  expect_file want out.txt
  expect_file before in
  stdin=in run 120 -a+ -r
  expect_status 0
  { head -c 50000000 /dev/zero | tr '\0' x; printf '\nb\na\n'; } >want
  expect_file want out
  ;;

empty_lines_2m)
  head -c 2000000 /dev/zero | tr '\0' '\n' >in
  run 120 -a+ -f in -o out.txt
  expect_status 0
  [ "$(wc -c <out.txt)" = 4000000 ] || fail "CR LF output of 2,000,000 lines has the wrong size"
  [ "$(tr -d '\r\n' <out.txt | wc -c)" = 0 ] || fail "bytes other than CR LF in the output"
  # Equal keys every one, in every mode.
  for words in "-r" "-i" "-1n" "-3" "-2f" "-2nf"; do
    stdin=in run 120 -a+ $words
    expect_status 0
    expect_file in out
  done
  run 120 -a+ -u -f in -o out.txt
  expect_status 0
  printf '\r\n' >want
  expect_file want out.txt
  ;;

long_fields)
  # Fields of 600 bytes that differ in their first 512 bytes sort by them...
  awk 'BEGIN { z = sprintf("%595s", ""); gsub(/ /, "z", z);
               for (i = 0; i < 300; i++) { k = (i * 7919) % 300;
                 printf "k%d,%05d%s,tail\n", k, k, z } }' >in
  awk 'BEGIN { z = sprintf("%595s", ""); gsub(/ /, "z", z);
               for (k = 0; k < 300; k++) printf "k%d,%05d%s,tail\r\n", k, k, z }' >want
  run 60 -a+ -2f -f in -o out.txt
  expect_status 0
  expect_file want out.txt
  # ...and fields that agree in them compare equal, whatever follows.
  awk 'BEGIN { z = sprintf("%600s", ""); gsub(/ /, "q", z);
               for (i = 0; i < 300; i++) printf "x,%s%d\n", z, (i * 7919) % 300 }' >in
  run 60 -a+ -r -2f -f in -o out.txt
  expect_status 0
  expect_same_lines in out.txt
  run 60 -a+ -600 -f in -o out.txt
  expect_status 0
  expect_same_lines in out.txt
  ;;

long_name)
  # A 4,000-byte name: folders of 250 bytes, nested.
  part=$(printf '%250s' '' | tr ' ' d)
  deep=$PWD
  while [ ${#deep} -lt 3700 ]; do deep=$deep/$part; done
  mkdir -p "$deep" || fail "cannot make the nested folders"
  name=$deep/$(printf '%*s' $((3999 - ${#deep})) '' | tr ' ' f)
  [ ${#name} = 4000 ] || fail "name of ${#name} bytes"
  printf 'b\na\n' >"$name"
  run 30 -a+ -f "$name" -o "$name.out"
  expect_status 0
  printf 'a\r\nb\r\n' >want
  expect_file want "$name.out"
  run 30 -a+ -f "$name.x"
  expect_status 1
  expect_err "VELKAR-ERROR: File Open Error![$name.x]\n"
  # Longer than any path may be: refused with the whole name in the message.
  run 30 -a+ -f "$name/$name"
  expect_status 1
  expect_err "VELKAR-ERROR: File Open Error![$name/$name]\n"
  run 30 -a+ -f "$name" -o "$name/$name"
  expect_status 1
  expect_err "VELKAR-ERROR: File Open Error!\n[$name/$name]\n"
  ;;

input_directory)
  mkdir dir
  run 30 -a+ -f dir -o out.txt
  expect_status 1
  expect_err 'VELKAR-ERROR: File Open Error![dir]\n'
  [ ! -e out.txt ] || fail "an output was written"
  # A FIFO with no writer is an empty text, not a hang.
  mkfifo fifo
  run 30 -a+ -f fifo
  expect_status 1
  expect_err 'VELKAR-ERROR: No Line!\n'
  ;;

symlink_loop)
  # A name whose links lead round in a circle, as input and as output.
  ln -s loop loop
  printf 'b\na\n' >in
  run 30 -a+ -f loop
  expect_status 1
  expect_err 'VELKAR-ERROR: File Open Error![loop]\n'
  run 30 -a+ -f in -o loop
  expect_status 1
  expect_err 'VELKAR-ERROR: File Open Error!\n[loop]\n'
  [ -L loop ] || fail "the link was replaced"
  ;;

output_missing_folder)
  printf 'b\na\n' >in
  run 30 -a+ -f in -o missing/out.txt
  expect_status 1
  expect_err 'VELKAR-ERROR: File Open Error!\n[missing/out.txt]\n'
  [ ! -e missing ] || fail "the folder was made"
  ;;

output_directory)
  printf 'b\na\n' >in
  mkdir outdir
  printf 'keep\n' >outdir/file
  run 30 -a+ -f in -o outdir
  expect_status 1
  expect_err 'VELKAR-ERROR: File Open Error!\n[outdir]\n'
  printf 'keep\n' >want
  expect_file want outdir/file
  ;;

output_dev_full)
  printf 'b\na\n' >in
  run 30 -a+ -f in -o /dev/full
  expect_status 1
  expect_err 'VELKAR-ERROR: Write Error!(lstrlen(pMem)=[4], writesize=[0])\n'
  # Standard output on a full device is a failure too, never success.
  env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen \
    timeout $((30 * slow)) "$program" -a+ <in >/dev/full 2>err
  status=$?
  expect_status 1
  [ -s err ] || fail "no message for a full standard output"
  ;;

file_size_limit)
  # The input is its own output; the CR LF text outgrows the limit part way. The
  # old content must stay whole, whether the limit's signal is ignored or not.
  seq 1 20000 | sed 's/$/abcdefgh/' >data.txt
  cp data.txt before
  size=$(wc -c <data.txt)
  for disposition in ignored default; do
    (
      if [ $disposition = ignored ]; then trap '' XFSZ; fi
      ulimit -f 270  # KiB: above the input (263 KiB), below its CR LF form (282 KiB)
      run 60 -a+ -f data.txt -o data.txt
      echo "$status" >status
    )
    [ -s status ] || fail "$disposition: the run did not finish"
    status=$(cat status)
    expect_status 1
    grep -q "^VELKAR-ERROR: Write Error!(lstrlen(pMem)=\[$size\], writesize=\[[0-9]*\])\$" err ||
      fail "$disposition: no write-error message: $(head -c 300 err)"
    expect_file before data.txt
    expect_no_temp
  done
  ;;

position_200_digits)
  printf 'b,2\na,3\nc,1\n' >in
  digits=$(printf '%200s' '' | tr ' ' 7)
  for suffix in "" n f nf; do
    run 30 -a+ "-$digits$suffix" -f in -o out.txt
    expect_status 0
    expect_err ''
    expect_same_lines in out.txt
  done
  # Without -a nothing runs: the usage note and status 2.
  run 30 "-$digits" -f in
  expect_status 2
  [ -s err ] || fail "no usage note"
  ;;

word_100k)
  word=$(printf '%100000s' '' | tr ' ' w)
  run 30 -a+ "$word"
  expect_status 1
  expect_err "VELKAR-ERROR: File Open Error![$word]\n"
  printf 'b\na\n' >in
  run 30 -a+ -f in -o "$word"
  expect_status 1
  expect_err "VELKAR-ERROR: File Open Error!\n[$word]\n"
  run 30 -a+ "-1$(printf '%100000s' '' | tr ' ' 0)nf" -f in -o out.txt
  expect_status 0
  expect_same_lines in out.txt
  run 30 -r "$word"
  expect_status 2
  ;;

closed_descriptors)
  # Standard input closed: the clipboard stand-in reads nothing, and says so.
  env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen \
    timeout 30 "$program" -a+ <&- 2>err >out
  status=$?
  expect_status 1
  expect_err 'VELKAR-ERROR: No Text in ClipBoard!\n'
  # Standard output closed: the text cannot go anywhere, and the run says so.
  printf 'b\na\n' >in
  env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen \
    timeout 30 "$program" -a+ <in >&- 2>err
  status=$?
  expect_status 1
  expect_err 'VELKAR-ERROR: ClipBoard Write Error!\n'
  ;;

stdout_write_fails)
  # Every way a write to standard output fails is a failed run with one message:
  # a full device, a descriptor open for reading only, a reader gone while SIGPIPE
  # is ignored (the text is bigger than a pipe holds).
  seq 1 200000 >in
  sort_stdin() {
    env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen \
      timeout $((30 * slow)) "$program" -a+ <in 2>err
  }
  for way in full read_only reader_gone; do
    case $way in
    full) sort_stdin >/dev/full ;;
    read_only) sort_stdin 1<in ;;
    reader_gone) ( trap '' PIPE; sort_stdin; echo $? >status ) | head -c 1 >/dev/null ;;
    esac
    status=$?
    if [ $way = reader_gone ]; then status=$(cat status); fi
    [ "$status" = 1 ] || fail "$way: exit status $status, expected 1"
    expect_err 'VELKAR-ERROR: ClipBoard Write Error!\n'
  done
  ;;

nonblocking_stdin)
  # Standard input a pipe in non-blocking mode whose writer pauses: the pause is
  # waited out, and the text is read to its real end.
  seq 1 100000 >all
  LC_ALL=C sort all >want
  { seq 1 50000; sleep 1; seq 50001 100000; } |
    env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen timeout $((60 * slow)) \
      perl -MFcntl -e 'my $flags = fcntl(STDIN, F_GETFL, 0) or die;
                       fcntl(STDIN, F_SETFL, $flags | O_NONBLOCK) or die; exec @ARGV or die' \
      "$program" -a+ >out 2>err
  status=$?
  expect_status 0
  expect_err ''
  expect_file want out
  ;;

endless_stdin)
  # Standard input without end is sorted beyond memory: it spills to the temporary
  # folder until that is full, and is then refused with the folder's name. Nothing
  # is left in the folder. The folder is a small tmpfs in a mount namespace.
  in_namespace
  mkdir small
  mount -t tmpfs -o size=4m velkar-hostile small || fail "cannot mount a tmpfs"
  trap 'umount "$work/small" 2>/dev/null; rm -rf "$work"' EXIT
  yes 'an endless text of short lines' | {
    stdin=/dev/stdin TMPDIR=$work/small VELKAR_MEMORY=1M run 120 -a+
    echo "$status" >status
  }
  status=$(cat status)
  expect_status 1
  expect_err "VELKAR-ERROR: Temporary File Write Error![$work/small]\n"
  [ -z "$(ls -A small)" ] || fail "left in the temporary folder: $(ls -A small)"
  ;;

in_place_no_room)
  # An existing output on a file system with no free inode and no free space: no
  # temporary file can be made, the new text (CR LF, longer) does not fit, and the
  # old content must stay whole. Then, with room again, it is written in place.
  # The file system is a small tmpfs in a mount namespace of the test's own.
  in_namespace
  mkdir small
  mount -t tmpfs -o size=512k,nr_inodes=4 velkar-hostile small || fail "cannot mount a tmpfs"
  trap 'umount "$work/small" 2>/dev/null; rm -rf "$work"' EXIT
  seq 100009899 -1 100000000 >small/out.txt  # 9,900 lines of 10 bytes: 99,000 bytes
  cp small/out.txt before
  LC_ALL=C sort before >in
  dd if=/dev/zero of=small/filler bs=4k 2>/dev/null
  i=0
  { while : >"small/inode$i"; do i=$((i + 1)); done; } 2>/dev/null
  run 30 -a+ -f in -o small/out.txt
  expect_status 1
  grep -q '^VELKAR-ERROR: Write Error!(lstrlen(pMem)=\[99000\], writesize=\[0\])$' err ||
    fail "no write-error message: $(head -c 300 err)"
  expect_file before small/out.txt
  expect_no_temp small
  rm small/filler
  run 30 -a+ -f in -o small/out.txt
  expect_status 0
  crlf <in >want
  expect_file want small/out.txt
  expect_no_temp small
  umount small
  ;;

owner_kept)
  # A file of another user, written by root: the replacement keeps its owner, group
  # and mode, so its owner can still read it.
  if [ "$(id -u)" != 0 ]; then
    echo "hostile $case_name: skipped (needs root)"
    exit 0
  fi
  printf 'b\na\n' >in
  printf 'old\n' >out.txt
  chown 65534:65534 out.txt
  chmod 0600 out.txt
  run 30 -a+ -f in -o out.txt
  expect_status 0
  [ "$(stat -c %u:%g:%a out.txt)" = 65534:65534:600 ] ||
    fail "owner, group and mode are now $(stat -c %u:%g:%a out.txt)"
  printf 'a\r\nb\r\n' >want
  expect_file want out.txt
  expect_no_temp
  ;;

signal_removes_temp)
  # SIGTERM, SIGINT or SIGHUP while the new text goes to its temporary file: the
  # program ends by the signal, the temporary file goes with it and the old output
  # stays. The signal is sent as soon as the temporary file is seen; the program
  # runs at a lower priority than the watch, and a try in which it finished first
  # anyway is made again.
  seq 1 3000000 | sed 's/$/ of the lines to sort/' >in
  for sig in TERM INT HUP; do
    for try in 1 2 3 4 5; do
      printf 'old\n' >out.txt
      nice -n 10 env --default-signal=TERM,INT,HUP -u DISPLAY -u WAYLAND_DISPLAY \
        QT_QPA_PLATFORM=offscreen "$program" -a+ -f in -o out.txt >out 2>err &
      pid=$!
      seen=
      while [ -z "$seen" ] && kill -0 $pid 2>/dev/null; do
        for f in .out.txt.velkar-*; do
          if [ -e "$f" ]; then
            kill -$sig $pid
            seen=1
          fi
        done
      done
      { wait $pid; } 2>/dev/null
      status=$?
      [ -n "$seen" ] || fail "$sig: no temporary file was seen (exit status $status)"
      expect_no_temp
      if [ "$status" != 0 ]; then break; fi
    done
    [ "$status" = $((128 + $(kill -l $sig))) ] || fail "$sig: exit status $status"
    # Sent just as the rename was done, the signal may find the new text in place.
    [ "$(cat out.txt)" = old ] || [ "$(wc -l <out.txt)" = 3000000 ] ||
      fail "$sig: the output is neither the old nor the new text"
  done
  ;;


endless_input)
  # An endless device: its text ends at its first NUL, so /dev/zero holds no line.
  run 120 -a+ -f /dev/zero
  expect_status 1
  expect_err 'VELKAR-ERROR: No Line!\n'
  ;;

beyond_memory)
  # A text many times the memory cap, sorted from a file, onto itself and from
  # standard input: the same bytes as in memory for whole-line keys, the same
  # lines otherwise; no run is left in the temporary folder.
  runs_folder
  awk 'BEGIN { srand(7); for (i = 0; i < 400000; i++)
         printf "%d,w%x,%s\n", int(rand() * 1e6) - 5e5, int(rand() * 1e9), (i % 3 ? "x" : "XY") }' >in
  printf 'last line without LF' >>in
  for words in "" "-r" "-u -i" "-r -u" "-i" "-2f" "-1nf" "-r -3"; do
    # shellcheck disable=SC2086
    run 60 -a+ $words -f in -o mem.txt
    expect_status 0
    # shellcheck disable=SC2086
    VELKAR_MEMORY=1M run 120 -a+ $words -f in -o ext.txt
    expect_status 0
    expect_no_runs
    case $words in
      "" | -r | "-u -i" | "-r -u" | -i) expect_file mem.txt ext.txt ;;
      *) expect_same_lines mem.txt ext.txt ;;
    esac
  done
  cp in same.txt
  VELKAR_MEMORY=1M run 120 -a+ -u -f same.txt -o same.txt
  expect_status 0
  run 60 -a+ -u -f in -o mem.txt
  expect_file mem.txt same.txt
  stdin=in VELKAR_MEMORY=1M run 120 -a+ -r
  expect_status 0
  mv out piped
  run 60 -a+ -r -f in -o mem.txt
  sed 's/\r$//' mem.txt >mem_lf
  expect_file mem_lf piped
  expect_no_runs
  ;;

signal_beyond_memory)
  # SIGTERM while pieces are spilled, and while the runs are merged into the
  # output's temporary file: the program ends by the signal, no run and no
  # temporary file is left, and the old output stays.
  runs_folder
  seq 1 2000000 | sed 's/$/ of the lines to sort/' | sort -R --random-source=/dev/zero >in
  for phase in spill merge; do
    printf 'old\n' >out.txt
    VELKAR_MEMORY=2M nice -n 10 env --default-signal=TERM -u DISPLAY -u WAYLAND_DISPLAY \
      QT_QPA_PLATFORM=offscreen "$program" -a+ -f in -o out.txt >out 2>err &
    pid=$!
    seen=
    while [ -z "$seen" ] && kill -0 $pid 2>/dev/null; do
      if [ $phase = spill ]; then
        # An unnamed run shows among the open files as the folder's "#..." entry.
        ls -l /proc/$pid/fd 2>/dev/null | grep -q "$work/runs/" && seen=1
      else
        for f in .out.txt.velkar-*; do [ -e "$f" ] && seen=1; done
      fi
      [ -n "$seen" ] && kill -TERM $pid
    done
    { wait $pid; } 2>/dev/null
    status=$?
    [ -n "$seen" ] || fail "$phase: the phase was never seen (exit status $status)"
    [ "$status" = $((128 + 15)) ] || fail "$phase: exit status $status"
    expect_no_temp
    expect_no_runs
    [ "$(cat out.txt)" = old ] || fail "$phase: the old output was not kept"
  done
  ;;

full_run_leak_check)
  # A whole run of each kind; in a sanitized build ASan checks it for leaks at exit.
  export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=1"
  seq 1 5000 | sed 's/^/k,/' >in
  run 60 -a+ -r -2nf -f in -o out.txt
  expect_status 0
  expect_same_lines in out.txt
  stdin=in run 60 -a+ -u -i
  expect_status 0
  expect_same_lines in out
  stdin=in run 60 -a
  expect_status 0
  expect_err 'VELKAR: Finish!\n'
  run 60 -a+ -f missing.txt
  expect_status 1
  ;;

console_maps_no_qt)
  # A console run loads no Qt library: with no display, and as a filter fed from a
  # FIFO under a display (which must not even be asked). The run waits on the FIFO
  # while its memory map is read; then the writer gives it the text and it ends.
  mkfifo fifo
  for display in "" ":4243"; do
    # env executes the program in the same process, so $! is the program.
    env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u VELKAR_CLIPBOARD_SERVER DISPLAY="$display" \
      "$program" -a+ -r <fifo >out 2>err &
    pid=$!
    exec 3>fifo  # the writer end: the program's open of its standard input returns
    tries=0
    until [ "$(readlink "/proc/$pid/exe" 2>/dev/null)" = "$program" ]; do
      tries=$((tries + 1))
      [ $tries -gt 200 ] && { kill "$pid"; fail "the program did not start"; }
      sleep 0.05
    done
    # Until the text arrives the program blocks in its read of standard input.
    sleep 0.3
    kill -0 "$pid" 2>/dev/null || fail "the program ended before its input came"
    cp "/proc/$pid/maps" maps
    grep -q 'libc' maps || fail "no memory map was read"
    printf 'a\nb\n' >&3
    exec 3>&-
    wait "$pid"
    status=$?
    expect_status 0
    printf 'b\na\n' >want
    expect_file want out
    if grep -q 'libQt6' maps; then
      grep 'libQt6' maps | head -5 >&2
      fail "a console run with DISPLAY='$display' mapped Qt"
    fi
  done
  ;;

qt_fatal_is_one_line)
  # A platform Qt cannot load is one line and status 1, never an abort.
  env -u DISPLAY -u WAYLAND_DISPLAY -u VELKAR_CLIPBOARD_SERVER QT_QPA_PLATFORM=velkar-none \
    timeout -k 10 $((30 * slow)) "$program" -r </dev/null >out 2>err
  status=$?
  [ "$status" -ge 128 ] && fail "ended by signal $((status - 128))"
  expect_status 1
  tail -n 1 err | grep -q '^velkar: ' || { cat err >&2; fail "no closing line from the program"; }
  ;;

*)
  fail "no such case"
  ;;
esac
echo "hostile $case_name: passed"
