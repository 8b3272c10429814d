#!/usr/bin/env bash
# The program's processor time between cycles: on a fresh demo store it runs until the demo's
# expired offers are taken off the shelves and one more cycle has found nothing to do; then its
# user and system time (utime + stime in /proc/PID/stat) are read before and after SECONDS
# seconds. The cycles of that interval are counted in it: they are the program's own work, every
# 10 seconds; between them the program should only wait.
#
#   bench/idle_cpu.sh PROGRAM [SECONDS]
set -euo pipefail

program=$(realpath "$1")
seconds=${2:-60}
work=$(mktemp -d)
pid=""
cleanup() {
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    kill -TERM "$pid"
    wait "$pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

"$program" demo "$work/negozio" >/dev/null
"$program" --drive "C=$work/negozio/c" --drive "Z=$work/negozio/z" >"$work/uscita.txt" 2>&1 &
pid=$!

# Cycles begun so far, as the run log records them.
cicli() {
  cat "$work"/negozio/c/sulvo/bkp/logzav3_*.txt 2>/dev/null | grep -c "Inizio elaborazione" || true
}

# utime + stime of the program, in clock ticks. The fields after the process name (which may
# hold blanks) are counted from the ")" that closes it: utime and stime are the 12th and 13th.
tempo() {
  local stat
  stat=$(cat "/proc/$pid/stat")
  stat=${stat##*) }
  awk '{ print $12 + $13 }' <<<"$stat"
}

# The same to the nanosecond, from the scheduler's account (the first field of schedstat), where
# the kernel keeps one.
tempo_ns() {
  if [ -r "/proc/$pid/schedstat" ]; then
    awk '{ print $1 }' "/proc/$pid/schedstat"
  else
    echo 0
  fi
}

# Two offers, then a cycle that finds none: about 30 seconds after the start.
for _ in $(seq 1 90); do
  [ "$(cicli)" -ge 3 ] && break
  kill -0 "$pid" 2>/dev/null || { echo "il programma si è fermato:" >&2; cat "$work/uscita.txt" >&2; exit 1; }
  sleep 1
done
if [ "$(cicli)" -lt 3 ]; then
  echo "le offerte del negozio dimostrativo non sono state elaborate in 90 s" >&2
  exit 1
fi

ticks=$(getconf CLK_TCK)
prima=$(tempo)
prima_ns=$(tempo_ns)
cicli_prima=$(cicli)
sleep "$seconds"
dopo=$(tempo)
dopo_ns=$(tempo_ns)
cicli_dopo=$(cicli)

awk -v t="$((dopo - prima))" -v hz="$ticks" -v ns="$((dopo_ns - prima_ns))" -v s="$seconds" \
    -v c="$((cicli_dopo - cicli_prima))" 'BEGIN {
  printf "Inattivo per %d s: utime+stime %d ms (%.3f %% di un processore; un tick = %d ms),", \
         s, t * 1000 / hz, t * 100 / (hz * s), 1000 / hz
  printf " schedstat %.1f ms; %d cicli senza offerte nel frattempo\n", ns / 1e6, c
}'
