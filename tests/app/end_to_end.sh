#!/usr/bin/env bash
# The program as a user runs it: create a demo store, run start-up once on it, read the run log.
set -euo pipefail
zav5="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$zav5" demo "$work/store" > "$work/demo.out"
grep -q -- "--drive C=$work/store/c --drive Z=$work/store/z" "$work/demo.out" || {
  echo "demo does not print the command that runs it:"; cat "$work/demo.out"; exit 1; }
printed=$(grep -- "--drive C=" "$work/demo.out" | awk '{print $1}')
[ "$printed" -ef "$zav5" ] || { echo "demo names the program $printed, not $zav5"; exit 1; }

# Runs start-up once on the demo store under $1 (further arguments go to the program) and checks
# its output and the nine lines of its run log.
check_startup() {
  local store="$1"; shift
  "$zav5" --drive "C=$store/c" --drive "Z=$store/z" --once "$@" > "$work/run.out" 2> "$work/run.err"
  grep -qx "nrposw: 4" "$work/run.out" || { echo "unexpected output:"; cat "$work/run.out" "$work/run.err"; exit 1; }
  [ ! -s "$work/run.err" ] || { echo "unexpected standard error:"; cat "$work/run.err"; exit 1; }

  # The log is named after the day the program started: the only log in the folder.
  local logs log lines i
  mapfile -t logs < <(find "$store/c/sulvo/bkp" -name 'logzav3_*.txt')
  [ "${#logs[@]}" -eq 1 ] || { echo "expected one run log, found: ${logs[*]:-none}"; exit 1; }
  log="${logs[0]}"
  [[ "$(basename "$log")" =~ ^logzav3_[0-3][0-9][01][0-9][0-9]{4}\.txt$ ]] || { echo "bad log name $log"; exit 1; }
  mapfile -t lines < <(sed -e 's/\r$//' -e 's|^[0-9][0-9]/[0-9][0-9]/[0-9]\{4\}-[0-9][0-9]:[0-9][0-9]:[0-9][0-9]||' "$log")
  if [ "${#lines[@]}" -ne "${#expected[@]}" ]; then
    echo "run log has ${#lines[@]} lines, expected ${#expected[@]}:"; cat "$log"; exit 1
  fi
  for i in "${!expected[@]}"; do
    [ "${lines[$i]}" == "${expected[$i]}" ] || {
      echo "line $((i + 1)): '${lines[$i]}', expected '${expected[$i]}'"; exit 1; }
  done
  [ "$(grep -c $'\r$' "$log")" -eq "${#expected[@]}" ] || { echo "lines do not end in CR LF"; exit 1; }
}

expected=(
  "- Avvio programma"
  "- Apro DB  C:\\sulvo\\neg01\\dati.mdb"
  "- Apro DB  C:\\sulvo\\neg01\\vendite.mdb"
  "- Apro DB  c:\\dorn\\sulvo.mdb"
  "DB OK  "
  "CONTROLLO DB SULVO OK"
  "- Controllo  DB  OK"
  "CONTROLLO COLLEGAMENTO CASSE"
  "- Controllo  collegamento casse"
)
check_startup "$work/store"

# The same through ODBC, on a store of its own.
"$zav5" demo "$work/odbc" > /dev/null
check_startup "$work/odbc" --odbc "Driver=SQLite3;Database={path};Timeout=5000;NoCreat=1;"

# A missing company database: one line on standard error, and the program still exits cleanly.
"$zav5" --drive "C=$work/store/z" --once > /dev/null 2> "$work/missing.err"
grep -qx 'ZAV5: ERRORE : FILE c:\\dorn\\sulvo.mdb NON ESISTE ' "$work/missing.err" || {
  echo "unexpected message:"; cat "$work/missing.err"; exit 1; }
echo "end-to-end: 1 passed, 0 failed"
