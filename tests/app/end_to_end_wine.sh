#!/usr/bin/env bash
# The Windows program as a store runs it, under Wine: the demo store laid out at the root of C:,
# the label systems' drop folder as drive Z:, one cycle with --once, then the window on a virtual
# X display until its exit button is pressed. Saves a screenshot of the window in ARTIFACTS.
# Then a second store, on drive X:, found from the current directory alone. BITS (64 or 32) says
# which Wine runs the program.
#
# Wine's command interpreter rejects "copy Import_VPA*.txt Z:\*.*" ("Invalid name"), where
# Windows' own copies the files; the program's copy script would then delete files it never
# copied. So the store gets a copy script of its own that moves the files to Z: in a form Wine
# runs, and a site script that copies with a destination Wine understands.
set -euo pipefail
exe="$1"
artifacts="$2"
bits="${3:-64}"

# A virtual X display of its own: the screenshot and the click must meet this program's window
# alone, not windows of other tests running beside it.
if [ -z "${ZAV5_WINE_DISPLAY:-}" ]; then
  export ZAV5_WINE_DISPLAY=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi

work=$(mktemp -d /tmp/zav5-wine-XXXXXX)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
if [ "$bits" = 32 ]; then
  export WINEARCH=win32
  wine=/usr/lib/wine/wine
fi
cleanup() {
  /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "$*"; exit 1; }

"$wine" wineboot --init >/dev/null 2>&1 || true
# No window manager runs on the virtual display: Wine draws the frames and captions itself.
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1
/usr/lib/wine/wineserver -w
c="$WINEPREFIX/drive_c"
[ -d "$c/windows" ] || fail "the Wine prefix was not created"
cp "$exe" "$c/zav5.exe"

# The demo store, made by the Windows program itself, then moved to the roots of C: and Z:.
(cd "$c" && "$wine" zav5.exe demo 'C:\demo' > "$work/demo.out" 2>&1) || {
  cat "$work/demo.out"; fail "zav5.exe demo failed"; }
mv "$c/demo/c/dorn" "$c/demo/c/sulvo" "$c/"
ln -sfn "$c/demo/z" "$WINEPREFIX/dosdevices/z:"
# Both scripts move the import files to Z:, deleting only what was copied: Wine's cmd.exe runs the
# command after && even when copy fails, so the delete asks the error level. The program counts
# files left in a label folder as not delivered. Each script waits until C:\via exists, which the
# test creates once it has kept the first cycle's files as the program wrote them.
printf '%s\r\n' '@echo off' ':attesa' 'if not exist C:\via goto attesa' 'cd /d C:\sulvo' \
  'copy Import_VPA*.txt Z:\' 'if not errorlevel 1 del Import_VPA*.txt' \
  'copy Import_PRO*.txt Z:\' 'if not errorlevel 1 del Import_PRO*.txt' > "$c/sulvo/frontalini.bat"
printf '%s\r\n' '@echo off' ':attesa' 'if not exist C:\via goto attesa' 'cd /d C:\sulvo\esl' \
  'copy ESL*.txt Z:\' 'if not errorlevel 1 del ESL*.txt' > "$c/sulvo/comandoP.bat"

source "$(dirname "$0")/await_files.sh"

# The lines of the only run log, without their date and time and CR.
log_lines() {
  local logs
  mapfile -t logs < <(find "$c/sulvo/bkp" -name 'logzav3_*.txt')
  [ "${#logs[@]}" -eq 1 ] || fail "expected one run log, found: ${logs[*]:-none}"
  sed -e 's/\r$//' -e 's|^[0-9][0-9]/[0-9][0-9]/[0-9]\{4\}-[0-9][0-9]:[0-9][0-9]:[0-9][0-9]||' "${logs[0]}"
}

# --- The checks, before the first cycle: the status says the expired offers wait (exit code 1),
# the preview writes the import files the cycle will hand over, and neither changes the store.
sums() { (cd "$c" && find dorn sulvo demo -type f -print0 | sort -z | xargs -0 md5sum); }
before=$(sums)
status=0
(cd "$c" && "$wine" zav5.exe status > "$work/status.out" 2>&1) || status=$?
[ "$status" -eq 1 ] || { cat "$work/status.out"; fail "status exited with $status, expected 1"; }
grep -q '^Offerte scadute ancora attive: 2' "$work/status.out" || { cat "$work/status.out"; fail "status did not list the expired offers"; }
status=0
(cd "$c" && "$wine" zav5.exe preview --out 'C:\anteprima' > "$work/preview.out" 2>&1) || status=$?
[ "$status" -eq 0 ] || { cat "$work/preview.out"; fail "preview exited with $status"; }
[ "$(sums)" == "$before" ] || fail "the checks changed the store"

# --- One cycle at once.
status=0
(cd "$c" && "$wine" zav5.exe --once > "$work/once.out" 2> "$work/once.err") || status=$?
[ "$status" -eq 0 ] || { cat "$work/once.out" "$work/once.err"; fail "--once exited with $status"; }
grep -q "^nrposw: 4" "$work/once.out" || { cat "$work/once.out"; fail "--once did not print nrposw"; }
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
mapfile -t lines < <(log_lines)
[ "${#lines[@]}" -eq "${#expected[@]}" ] || { printf '%s\n' "${lines[@]}"; fail "run log has ${#lines[@]} lines, expected ${#expected[@]}"; }
for i in "${!expected[@]}"; do
  [ "${lines[$i]}" == "${expected[$i]}" ] || fail "log line $((i + 1)): '${lines[$i]}', expected '${expected[$i]}'"
done

# The import files of both label systems, in Windows-1252 with CR LF, 54 fields a line. The copy
# script moves the price file to Z: once the test has kept the bytes the program wrote; the site
# script, started through the command interpreter, copies the one-file layout's file to Z:.
await_files "$c/sulvo" 'Import_VPA_*.txt' 1 60
await_files "$c/sulvo/esl" 'ESL*.txt' 1 60
mkdir "$work/written"
cp "$c"/sulvo/Import_VPA_*.txt "$c"/sulvo/esl/ESL*.txt "$work/written/"
touch "$c/via"
await_files "$c/demo/z" 'Import_VPA_*.txt' 1 60
await_files "$c/demo/z" 'ESL*.txt' 1 60
await_no_files "$c/sulvo" 'Import_*.txt' 60
await_no_files "$c/sulvo/esl" 'ESL*.txt' 60
for file in "$work"/written/*.txt; do
  cmp -s "$file" "$c/demo/z/${file##*/}" || fail "${file##*/} on Z: is not the file the program wrote"
done
for kind in Import_VPA_ ESL; do
  cmp -s "$c"/anteprima/101-*/"$kind"*.txt "$work"/written/"$kind"*.txt ||
    fail "the preview's $kind file is not the one the cycle wrote"
done
for file in "$c"/demo/z/Import_VPA_*.txt "$c"/demo/z/ESL*.txt; do
  [ -s "$file" ] || fail "$file is empty"
  [ "$(grep -c $'\r$' "$file")" -eq "$(wc -l < "$file")" ] || fail "$file: lines do not end in CR LF"
  while IFS= read -r line; do
    fields=$(tr -cd ';' <<< "${line%$'\r'}" | wc -c)
    [ "$fields" -eq 53 ] || fail "$file: a line with $((fields + 1)) fields: $line"
  done < "$file"
done

# --- The window: it opens, its cycles run on its timer, and its exit button ends the program.
(cd "$c" && exec "$wine" zav5.exe > "$work/window.out" 2> "$work/window.err") &
program=$!
window=$(timeout 60 xdotool search --sync --onlyvisible --name '^B$' | head -n 1) || fail "no window with caption B"
eval "$(xwininfo -id "$window" | awk '/Absolute upper-left X/ {print "x=" $NF} /Absolute upper-left Y/ {print "y=" $NF} /Width:/ {print "w=" $NF} /Height:/ {print "h=" $NF}')"
# The client area is 592 x 531 pixels; the frame adds a border all round and the caption on top.
border=$(( (w - 592) / 2 ))
[ "$border" -ge 0 ] && [ "$border" -le 10 ] || fail "window $w x $h: not 592 pixels wide inside a dialog frame"
caption=$(( h - 531 - 2 * border ))
[ "$caption" -ge 10 ] && [ "$caption" -le 40 ] || fail "window $w x $h: not 531 pixels high under a caption"
client_x=$(( x + border ))
client_y=$(( y + border + caption ))

# Second cycle, on the window's timer: the demo's second expired offer, about 10 s after the start.
second_cycle() { [ "$(log_lines | grep -c '^- Inizio elaborazione $')" -ge 2 ]; }
within 60 second_cycle || { log_lines; fail "the window's timer ran no second cycle"; }
# The cycle starts the copy and site scripts in maximised console windows of their own, over the
# window, as on Windows. Their work done (the price file moved to Z:, the site's file copied), a
# user sees the window again once those windows have closed.
await_files "$c/demo/z" 'Import_VPA_*.txt' 2 60
await_no_files "$c/sulvo" 'Import_*.txt' 60
await_files "$c/demo/z" 'ESL*.txt' 2 60
await_no_files "$c/sulvo/esl" 'ESL*.txt' 60

# The visible top-level windows stacked above window B that overlap it, as xwininfo lists them
# (the children of the root, top-most first, each ending in its size and place on the screen).
windows_over_b() {
  local id rest
  while read -r id rest; do
    [ "$((id))" -ne "$window" ] || return 0
    [[ "$rest" =~ \ ([0-9]+)x([0-9]+)\+(-?[0-9]+)\+(-?[0-9]+)\ +\+-?[0-9]+\+-?[0-9]+$ ]] || continue
    local ow=${BASH_REMATCH[1]} oh=${BASH_REMATCH[2]} ox=${BASH_REMATCH[3]} oy=${BASH_REMATCH[4]}
    if (( ox < x + w && x < ox + ow && oy < y + h && y < oy + oh )) &&
      xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable'; then
      echo "$id $rest"
    fi
  done < <(xwininfo -root -children | grep -E '^ +0x')
  echo "window B is no longer on the screen"
}
nothing_over_b() { [ -z "$(windows_over_b)" ]; }

mkdir -p "$artifacts"
# An image of the screen in $work/screen.ppm, saved in ARTIFACTS with the window alone beside it.
screenshot() {
  local attempt
  # X refuses an image of the screen now and then (BadMatch) while Wine changes a window.
  for attempt in 1 2 3 4 5; do
    if xwd -root -silent > "$work/screen.xwd" 2>/dev/null && [ -s "$work/screen.xwd" ]; then
      break
    fi
    [ "$attempt" -lt 5 ] || fail "no image of the screen"
    sleep 1
  done
  xwdtopnm < "$work/screen.xwd" 2>/dev/null | pnmdepth 255 > "$work/screen.ppm"
  pnmtopng < "$work/screen.ppm" > "$artifacts/form1.png" 2>/dev/null
  pamcut -left "$x" -top "$y" -width "$w" -height "$h" "$work/screen.ppm" |
    pnmtopng > "$artifacts/form1-window.png" 2>/dev/null
}

# One pixel of the screenshot at client coordinates $1,$2, as "R G B".
pixel() {
  pamcut -left $((client_x + $1)) -top $((client_y + $2)) -width 1 -height 1 "$work/screen.ppm" |
    pnmtoplainpnm | tail -n +4 | tr -s ' \n' ' ' | sed 's/^ //; s/ $//'
}
# What the screenshot shows wrong, nothing when it is right: the grey circles of tills 1 and 10
# (Frame1 at 8,8; circles 27 pixels wide at 96,32 + 40 a row inside it), left of their numbers;
# the frame's face beside them is not that grey.
circles_wrong() {
  local one ten face
  one=$(pixel 108 53)
  ten=$(pixel 108 413)
  face=$(pixel 100 53)
  if [ "$one" != "224 224 224" ]; then
    echo "circle 1 is $one, not light grey"
  elif [ "$ten" != "224 224 224" ]; then
    echo "circle 10 is $ten, not light grey"
  elif [ "$face" == "224 224 224" ]; then
    echo "the frame is grey where no circle is"
  fi
}

if ! within 60 nothing_over_b; then
  screenshot
  fail "windows stay over window B:"$'\n'"$(windows_over_b)"$'\n'"screenshot in $artifacts/form1.png"
fi
# A window that was uncovered is painted again by the program, on its own time: the screenshot is
# taken again until it shows the window (or the bound passes, with the last one saved).
deadline=$(( SECONDS + 60 ))
while :; do
  screenshot
  wrong=$(circles_wrong)
  [ -n "$wrong" ] || break
  [ "$SECONDS" -lt "$deadline" ] || fail "$wrong; screenshot in $artifacts/form1.png"
  sleep 0.5
done

# A click on Uscita (8,448, 577 x 73 pixels) ends the program with exit code 0. That the button
# holds the keyboard focus is checked by the window's own tests, through the Win32 API.
# The pointer settles on the button before it is pressed, as a hand's would: Wine takes the window
# under the pointer from the motion that comes first.
xdotool mousemove --sync $((client_x + 296)) $((client_y + 484))
sleep 0.5
xdotool mousedown 1
sleep 0.2
xdotool mouseup 1
status=0
for _ in $(seq 1 100); do
  kill -0 "$program" 2>/dev/null || break
  sleep 0.2
done
if kill -0 "$program" 2>/dev/null; then
  kill "$program"; fail "a click on Uscita did not end the program"
fi
wait "$program" || status=$?
[ "$status" -eq 0 ] || { cat "$work/window.err"; fail "the window's program exited with $status"; }
if log_lines | grep -q ERRORE; then log_lines; fail "the run log reports an error"; fi

# --- A store on a second drive, X:, found from the current directory alone, as a shortcut whose
# "Start in" is X:\ starts the program: no --current-drive. Its company database X:\dorn\sulvo.mdb
# names its store database on X: too. The run log stays C:\sulvo\bkp\ (the suite's).
x="$work/drive-x"
(cd "$c" && "$wine" zav5.exe demo 'C:\demo-x' > "$work/demo-x.out" 2>&1) || {
  cat "$work/demo-x.out"; fail "zav5.exe demo failed for drive X:"; }
mkdir "$x"
mv "$c/demo-x/c/dorn" "$c/demo-x/c/sulvo" "$x/"
sqlite3 "$x/dorn/sulvo.mdb" "UPDATE società SET database = 'X:\sulvo\neg01\dati.mdb'"
sqlite3 "$x/sulvo/neg01/dati.mdb" "UPDATE elettro SET percorsoint = 'X:' || substr(percorsoint, 3)"
ln -sfn "$x" "$WINEPREFIX/dosdevices/x:"
before=$(log_lines | wc -l)
status=0
(cd "$x" && "$wine" "$c/zav5.exe" --once > "$work/x.out" 2> "$work/x.err") || status=$?
mapfile -t lines < <(log_lines | tail -n +$((before + 1)))
expected=(
  "- Avvio programma"
  "- Apro DB  X:\\sulvo\\neg01\\dati.mdb"
  "- Apro DB  X:\\sulvo\\neg01\\vendite.mdb"
  "- Apro DB  x:\\dorn\\sulvo.mdb"
  "DB OK  "
)
for i in "${!expected[@]}"; do
  [ "${lines[$i]:-}" == "${expected[$i]}" ] || {
    cat "$work/x.out" "$work/x.err"; printf '%s\n' "${lines[@]}"
    fail "drive X: run, log line $((i + 1)): '${lines[$i]:-}', expected '${expected[$i]}'"; }
done
if printf '%s\n' "${lines[@]}" | grep -q ERRORE; then
  printf '%s\n' "${lines[@]}"; fail "the drive X: run reports an error"
fi
[ "$status" -eq 0 ] || { cat "$work/x.out" "$work/x.err"; fail "the drive X: run exited with $status"; }
# Its label files went to its own label folder on X:. The demo's copy script stays as the demo
# made it: Wine's command interpreter refuses its copy, so the files stay there.
await_files "$x/sulvo" 'Import_VPA_*.txt' 1 60
echo "Wine end-to-end ($bits bit): passed; screenshot in $artifacts/form1.png"
