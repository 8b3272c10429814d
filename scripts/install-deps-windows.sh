#!/usr/bin/env bash
# Installs what the Windows builds need on top of the Linux build's packages: the MinGW-w64
# cross compilers for 64-bit and 32-bit Windows (POSIX threads, for std::mutex and GoogleTest),
# 64-bit and 32-bit Wine and a virtual X server for the tests, and the tools that make SQLite's
# amalgamation from Debian's own sqlite3 source package. 32-bit Wine comes from Debian's i386
# architecture, which is added for it, with the 32-bit unixODBC that its ODBC layer hands the
# driver manager's work to, as 64-bit Wine does with the 64-bit one. Safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

packages=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix
  wine64 wine32:i386 libodbc2:i386 xvfb xauth x11-utils x11-apps netpbm xdotool
  tcl dpkg-dev sqlite3
)

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "Adding Debian's i386 architecture for 32-bit Wine"
  $sudo dpkg --add-architecture i386
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# SQLite for Windows is compiled from the source package of the sqlite3 that Debian ships, so both
# builds run the same engine. The source lists are enabled for that alone.
sqlite_dir="build/third_party/sqlite3"
if [ ! -f "$sqlite_dir/sqlite3.c" ]; then
  if ! apt-get source --print-uris sqlite3 >/dev/null 2>&1; then
    sources=/etc/apt/sources.list.d/debian.sources
    if [ ! -f "$sources" ]; then
      echo "No $sources to take the source lists from; add a deb-src entry for Debian by hand." >&2
      exit 1
    fi
    sed 's/^Types: deb$/Types: deb-src/' "$sources" | $sudo tee /etc/apt/sources.list.d/zav5-deb-src.sources >/dev/null
    $sudo apt-get update -qq
  fi
  work="build/third_party/sqlite3-source"
  rm -rf "$work" && mkdir -p "$work"
  (cd "$work" && apt-get source -qq sqlite3 >/dev/null)
  tree=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'sqlite3-*' | head -n 1)
  mkdir -p "$tree/amalgamation"
  (cd "$tree/amalgamation" && ../configure --quiet >/dev/null && make -s sqlite3.c >/dev/null)
  mkdir -p "$sqlite_dir"
  cp "$tree/amalgamation/sqlite3.c" "$tree/amalgamation/sqlite3.h" "$sqlite_dir/"
  rm -rf "$work"
  echo "SQLite amalgamation made from $(basename "$tree") in $sqlite_dir"
fi
