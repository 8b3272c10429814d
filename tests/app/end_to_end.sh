#!/usr/bin/env bash
# The program as a user runs it: create a demo store, run it once (start-up and one cycle) and read
# the run log and the label files; then let it run on its own until Ctrl+C.
set -euo pipefail
zav5="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$zav5" demo "$work/store" > "$work/demo.out"
grep -q -- "--drive C=$work/store/c --drive Z=$work/store/z" "$work/demo.out" || {
  echo "demo does not print the command that runs it:"; cat "$work/demo.out"; exit 1; }
printed=$(grep -- "--drive C=" "$work/demo.out" | awk '{print $1}')
[ "$printed" -ef "$zav5" ] || { echo "demo names the program $printed, not $zav5"; exit 1; }

source "$(dirname "$0")/await_files.sh"

# Runs start-up and one cycle on the demo store under $1 (further arguments go to the program) and
# checks its output, the lines of its run log and the label files the cycle hands over to Z:.
check_once() {
  local store="$1"; shift
  "$zav5" --drive "C=$store/c" --drive "Z=$store/z" --once "$@" > "$work/run.out" 2> "$work/run.err"
  grep -qx "nrposw: 4" "$work/run.out" || { echo "unexpected output:"; cat "$work/run.out" "$work/run.err"; exit 1; }
  # The copy scripts started by the cycle share the program's standard error; they report the file
  # kind that this store has none of, as the command interpreter does, and go on.
  if grep -v 'frontalini\.bat, riga [0-9]*: .*: file non trovato: ' "$work/run.err"; then
    echo "unexpected standard error:"; cat "$work/run.err"; exit 1
  fi

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

  # The started copy scripts run on after the program: wait for both label systems' files on Z:.
  await_files "$store/z" 'Import_VPA_*.txt' 1 20
  await_files "$store/z" 'ESL*.txt' 1 20
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
  "- Inizio elaborazione "
)
check_once "$work/store"

# The same through ODBC, on a store of its own.
"$zav5" demo "$work/odbc" > /dev/null
check_once "$work/odbc" --odbc "Driver=SQLite3;Database={path};Timeout=5000;NoCreat=1;"

# The operator's checks on a fresh demo store: they change no file, the preview's import files are
# the ones the next cycle hands over, and the exit codes say what waits.
"$zav5" demo "$work/checks" > /dev/null
store_sums() { (cd "$work/checks" && find . -type f -print0 | sort -z | xargs -0 md5sum); }
check() {
  local expected_rc="$1"; shift
  local before rc=0
  before=$(store_sums)
  "$zav5" --drive "C=$work/checks/c" --drive "Z=$work/checks/z" "$@" > "$work/check.out" 2>&1 || rc=$?
  [ "$rc" -eq "$expected_rc" ] || { echo "zav5 $* exited with $rc, expected $expected_rc:"; cat "$work/check.out"; exit 1; }
  [ "$(store_sums)" == "$before" ] || { echo "zav5 $* changed the store"; exit 1; }
}
check 1 status
grep -q '^zav5 status .*: WARNING' "$work/check.out" || { echo "status:"; cat "$work/check.out"; exit 1; }
grep -q '^Offerte scadute ancora attive: 2$' "$work/check.out" || { echo "status:"; cat "$work/check.out"; exit 1; }
check 1 status --json --lang en
grep -q '^{"code":1,"state":"WARNING",' "$work/check.out" || { echo "status --json:"; cat "$work/check.out"; exit 1; }
check 1 audit
grep -q '^Totale: 20 da controllare\.$' "$work/check.out" || { echo "audit:"; cat "$work/check.out"; exit 1; }
check 0 preview --out "$work/preview"
grep -q '^Offerta 101/[0-9]* "VOLANTINO DI NOVEMBRE"' "$work/check.out" || { echo "preview:"; cat "$work/check.out"; exit 1; }
"$zav5" --drive "C=$work/checks/c" --drive "Z=$work/checks/z" --once > /dev/null 2>&1
await_files "$work/checks/z" 'Import_VPA_*.txt' 1 20
await_files "$work/checks/z" 'ESL*.txt' 1 20
for kind in Import_VPA_ ESL; do
  cmp "$work"/preview/101-*/"$kind"*.txt "$work"/checks/z/"$kind"*.txt || {
    echo "the preview's $kind file differs from the one the cycle handed over"; exit 1; }
done
# Through ODBC the same, on what the cycle left: the other expired offer.
odbc=(--odbc "Driver=SQLite3;Database={path};Timeout=5000;NoCreat=1;")
check 1 "${odbc[@]}" status
grep -q '^Offerte scadute ancora attive: 1$' "$work/check.out" || { echo "status through ODBC:"; cat "$work/check.out"; exit 1; }
check 0 "${odbc[@]}" preview
grep -q '^Offerta 102/[0-9]* ' "$work/check.out" || { echo "preview through ODBC:"; cat "$work/check.out"; exit 1; }
check 1 "${odbc[@]}" audit
check 2 --current-drive Z status
grep -q 'CRITICAL: database aziendale Z:\\dorn\\sulvo.mdb non trovato' "$work/check.out" || {
  echo "status without a company database:"; cat "$work/check.out"; exit 1; }
check 2 --current-drive Z preview
check 2 --current-drive Z audit
check 3 status --max-wait 0

# A missing company database: one line on standard error; the cycle has no store database, so the
# single run ends with exit code 1.
rc=0
"$zav5" --drive "C=$work/store/z" --once > /dev/null 2> "$work/missing.err" || rc=$?
grep -qx 'ZAV5: ERRORE : FILE c:\\dorn\\sulvo.mdb NON ESISTE ' "$work/missing.err" || {
  echo "unexpected message:"; cat "$work/missing.err"; exit 1; }
[ "$rc" -eq 1 ] || { echo "a run without a store database exited with $rc, expected 1"; exit 1; }

# Unattended: a fresh demo store's two expired offers go one per cycle, about 10 s apart; Ctrl+C
# (SIGINT) then ends the program cleanly.
"$zav5" demo "$work/run" > /dev/null
"$zav5" --drive "C=$work/run/c" --drive "Z=$work/run/z" > "$work/loop.out" 2> "$work/loop.err" &
pid=$!
log_of() { find "$work/run/c/sulvo/bkp" -name 'logzav3_*.txt' -print -quit; }
cycles() {
  local log; log=$(log_of)
  if [ -n "$log" ]; then grep -c -- '- Inizio elaborazione ' "$log" || true; else echo 0; fi
}
for _ in $(seq 1 60); do
  [ "$(cycles)" -ge 2 ] && break
  sleep 1
done

# A second program on the same store refuses to start, before it touches anything, with exit
# code 3.
lines_before=$(wc -l < "$(log_of)")
rc=0
"$zav5" --drive "C=$work/run/c" --drive "Z=$work/run/z" --once > /dev/null 2> "$work/second.err" || rc=$?
[ "$rc" -eq 3 ] || { echo "a second program exited with $rc, expected 3:"; cat "$work/second.err"; exit 1; }
grep -q 'zav5 .* in esecuzione sul negozio di C:\\dorn\\sulvo.mdb (processo [0-9]*)' "$work/second.err" || {
  echo "unexpected message of the second program:"; cat "$work/second.err"; exit 1; }
[ "$(wc -l < "$(log_of)")" -eq "$lines_before" ] || { echo "the second program wrote to the run log"; exit 1; }
# The status sees it running, without standing in its way.
"$zav5" --drive "C=$work/run/c" --drive "Z=$work/run/z" status > "$work/running.out" || true
grep -q '^  zav5 in esecuzione    sì' "$work/running.out" || { echo "status of a running zav5:"; cat "$work/running.out"; exit 1; }
kill -INT "$pid"
rc=0
wait "$pid" || rc=$?
[ "$rc" -eq 0 ] || { echo "the program ended with $rc after Ctrl+C:"; cat "$work/loop.err"; exit 1; }
[ "$(cycles)" -ge 2 ] || { echo "fewer than two cycles in 60 s:"; cat "$(log_of)"; exit 1; }
grep -q ERRORE "$(log_of)" && { echo "the unattended run logged an error:"; cat "$(log_of)"; exit 1; }
await_files "$work/run/z" 'ESL*.txt' 2 20

# A label system whose folder is missing: the offer is deactivated all the same, the other system
# gets its file, the run log says which system waits, and the run exits with 1. Once the folder
# is back, the next run hands the waiting file over and says so.
"$zav5" demo "$work/broken" > /dev/null
rm -rf "$work/broken/c/sulvo/esl"
broken() { "$zav5" --drive "C=$work/broken/c" --drive "Z=$work/broken/z" --once > /dev/null 2>> "$work/broken.err"; }
broken_log() { iconv -f WINDOWS-1252 -t UTF-8 "$(find "$work/broken/c/sulvo/bkp" -name 'logzav3_*.txt' -print -quit)"; }
rc=0
broken || rc=$?
[ "$rc" -eq 1 ] || { echo "a run with a label system waiting exited with $rc, expected 1"; exit 1; }
[ "$(broken_log | grep -c '^ERRORE')" -eq 1 ] || { echo "expected one ERRORE line:"; broken_log; exit 1; }
broken_log | grep -q "^ERRORE : etichette dell'offerta 101/[0-9]* non consegnate al sistema ESL (cartella C:\\\\sulvo\\\\esl\\\\)" || {
  echo "the ERRORE line does not name the label system:"; broken_log; exit 1; }
await_files "$work/broken/z" 'Import_VPA_*.txt' 1 20
rc=0
"$zav5" --drive "C=$work/broken/c" --drive "Z=$work/broken/z" status --lang en > "$work/broken.status" || rc=$?
[ "$rc" -eq 2 ] || { echo "status of a broken label system exited with $rc, expected 2:"; cat "$work/broken.status"; exit 1; }
grep -q '^  CRITICAL: label system ESL (cartella C:\\sulvo\\esl\\) has not received the labels of offer 101/' "$work/broken.status" || {
  echo "status of a broken label system:"; cat "$work/broken.status"; exit 1; }
mkdir "$work/broken/c/sulvo/esl"
broken || true
await_files "$work/broken/z" 'ESL*.txt' 1 20
broken_log | grep -q "^[0-9/]*-[0-9:]*- Etichette dell'offerta 101/[0-9]* consegnate al sistema ESL" || {
  echo "no line says that the waiting file was handed over:"; broken_log; exit 1; }
await_files "$work/broken/z" 'Import_VPA_*.txt' 2 20
[ "$(count_files "$work/broken/z" 'Import_VPA_*.txt')" -eq 2 ] || {
  echo "the other label system did not get each offer's file once:"; ls "$work/broken/z"; exit 1; }
echo "end-to-end: 1 passed, 0 failed"
