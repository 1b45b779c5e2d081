#!/bin/bash
# The run command without a display, stopped with Ctrl+C as a person in a
# terminal stops it: SIGINT to its whole process group once the address is
# printed. It must say that it was stopped by Ctrl+C, print none of Wine's
# messages (they go to the logs folder), exit with 130, and leave no
# process and no port of its own behind.
#   run-interrupt-test.sh SOURCE_DIR BUILD
set -u
source_dir=$1
build=$2
out=$build/run-interrupt.out
export ZV_DEMO_PREFIX=$build/interrupt-prefix
source "$(dirname "$0")/check.sh"

# A process group of its own, as a terminal gives the command it runs, and
# SIGINT as a terminal leaves it: a command started in the background here
# would inherit it ignored.
env -u DISPLAY python3 -c 'import os, signal, sys
signal.signal(signal.SIGINT, signal.SIG_DFL)
os.setsid()
os.execvp(sys.argv[1], sys.argv[1:])' bash "$source_dir/scripts/run.sh" >"$out" 2>&1 </dev/null &
leader=$!
for _ in $(seq 600); do
  grep -q "^Open http://127.0.0.1:" "$out" && break
  sleep 0.5
done
check "the address was printed" grep -q "^Open http://127.0.0.1:" "$out" || cat "$out"
port=$(sed -nE 's|^Open http://127.0.0.1:([0-9]+)/.*|\1|p' "$out")
# Let the program's window come up first.
sleep 8
kill -INT -- -"$leader"
wait "$leader"
rc=$?
echo "--- what the run command printed"
cat "$out"
echo "---"
check "exit code 130 (got $rc)" test "$rc" = 130
check "it says it was stopped by Ctrl+C" grep -q "stopped by Ctrl+C" "$out"
check "none of Wine's messages on the terminal" bash -c "! grep -qE 'X connection|^[0-9a-f]+:(err|fixme|warn):|^wine: ' '$out'"
check "no 'the program ended' line" bash -c "! grep -q 'the program ended' '$out'"
# What the group still holds, zombies aside (an orphan that has exited is
# reaped by whatever adopted it, which may take its time): given 10 s, as
# Wine's processes end only once their server has gone.
left_in_group() { ps -eo pid=,pgid=,stat=,args= | awk -v g="$leader" '$2 == g && $3 !~ /^Z/'; }
for _ in $(seq 50); do
  [ -z "$(left_in_group)" ] && break
  sleep 0.2
done
left=$(left_in_group)
check "no process of its process group left${left:+: $left}" test -z "$left"
in_prefix() { grep -lsz "^WINEPREFIX=$ZV_DEMO_PREFIX\$" /proc/[0-9]*/environ; }
check "no Wine process of its prefix left" test -z "$(in_prefix)"
check "the web port ${port:-?} is closed" bash -c "[ -n '$port' ] && [ -z \"\$(ss -Hltn 'sport = :$port')\" ]"
summary run_interrupt
