#!/usr/bin/env bash
# The Windows zip as a store PC gets it, made by CPack from the 32-bit build folder BUILD: both
# zav5.exe, each of its bitness, and the installation guide in Italian and English, with the
# line ends Notepad expects.
set -euo pipefail
build="$1"
fail() { echo "$*"; exit 1; }
work=$(mktemp -d /tmp/zav5-zip-XXXXXX)
trap 'rm -rf "$work"' EXIT

(cd "$work" && cpack --config "$build/CPackConfig.cmake" -G ZIP -B "$work/out" > "$work/cpack.log" 2>&1) ||
  { cat "$work/cpack.log"; fail "cpack made no zip"; }
zips=("$work"/out/zav5-*-windows.zip)
[ -f "${zips[0]}" ] || fail "no zav5-*-windows.zip in $work/out"
mkdir "$work/x"
(cd "$work/x" && cmake -E tar xf "${zips[0]}")
top=("$work"/x/*)
[ "${#top[@]}" -eq 1 ] && [ -d "${top[0]}" ] || fail "the zip does not hold one folder"
cd "${top[0]}"
find . -type f | sort > "$work/files"
expected=$'./32-bit/zav5.exe\n./64-bit/zav5.exe\n./LEGGIMI.txt\n./README.txt'
[ "$(cat "$work/files")" == "$expected" ] || { cat "$work/files"; fail "the zip holds other files"; }

# Each program is of its bitness, and one file: it needs Windows' own libraries alone, none of the
# compiler's (libstdc++, libgcc, winpthread), which a store PC does not have.
format() { objdump -p "$1" | sed -n 's/.*file format //p' | head -n 1; }
[ "$(format 32-bit/zav5.exe)" == pei-i386 ] || fail "32-bit/zav5.exe is $(format 32-bit/zav5.exe)"
[ "$(format 64-bit/zav5.exe)" == pei-x86-64 ] || fail "64-bit/zav5.exe is $(format 64-bit/zav5.exe)"
for exe in 32-bit/zav5.exe 64-bit/zav5.exe; do
  while read -r dll; do
    case "$dll" in
      kernel32.dll | user32.dll | gdi32.dll | shell32.dll | odbc32.dll | msvcrt.dll) ;;
      *) fail "$exe needs $dll, which is not part of Windows" ;;
    esac
  done < <(objdump -p "$exe" | awk '/DLL Name:/ {print tolower($3)}')
done

for guide in LEGGIMI.txt README.txt; do
  lines=$(wc -l < "$guide")
  [ "$lines" -gt 20 ] || fail "$guide is short: $lines lines"
  [ "$(grep -c $'\r$' "$guide")" -eq "$lines" ] || fail "$guide: lines do not end in CR LF"
  for says in '32-bit\zav5.exe' 'Microsoft Access Driver (*.mdb)' 'odbcad32.exe' 'shell:startup' \
              'C:\sulvo\bkp\logzav3_'; do
    grep -qF "$says" "$guide" || fail "$guide does not say $says"
  done
done
grep -qF '"Start in"' README.txt || fail "README.txt does not name \"Start in\""
grep -qF '"Da:"' LEGGIMI.txt || fail "LEGGIMI.txt does not name \"Da:\""
echo "Windows zip: passed"
