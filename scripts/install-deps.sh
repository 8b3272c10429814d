#!/usr/bin/env bash
# Installs the Debian packages that building, testing and packaging zav5 need (dpkg-dev finds the
# Debian package's dependencies, systemd checks its unit, mdbtools's mdb-export tells the tests
# what real Jet files hold, clang-format and clang-tidy are scripts/lint.sh's), only those that are
# missing. Safe to run again.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libsqlite3-dev libfmt-dev libcli11-dev
  unixodbc-dev libsqliteodbc odbc-mdbtools unixodbc mdbtools
  libgtest-dev libgmock-dev libbenchmark-dev
  dpkg-dev systemd
  clang-format clang-tidy
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    echo "These packages are missing: ${missing[*]}" >&2
    echo "Run this script as root, or install sudo, to install them." >&2
    exit 1
  fi
  sudo="sudo"
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
