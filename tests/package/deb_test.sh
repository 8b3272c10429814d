#!/usr/bin/env bash
# The Debian package as a store's Linux server gets it: made by CPack from the build folder BUILD,
# installed with apt-get (its dependencies resolved), its program run, its systemd unit checked by
# systemd-analyze verify, and the program run as the unit runs it (as the user zav5, with the
# options of the unit's environment file) on a demo store; then purged. It changes the machine,
# so it needs root and a machine without a zav5 package of its own; it is skipped otherwise.
set -euo pipefail
build="$1"
fail() { echo "$*"; exit 1; }
if [ "$(id -u)" -ne 0 ]; then
  echo "not root: the package is not installed"; exit 77
fi
if dpkg-query -W -f='${Status}' zav5 2>/dev/null | grep -q "install ok installed"; then
  echo "this machine has a zav5 package of its own: left alone"; exit 77
fi

work=$(mktemp -d /tmp/zav5-deb-XXXXXX)
chmod 755 "$work"
cleanup() {
  DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq zav5 >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

(cd "$work" && cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" > "$work/cpack.log" 2>&1) ||
  { cat "$work/cpack.log"; fail "cpack made no package"; }
debs=("$work"/out/zav5_*.deb)
[ -f "${debs[0]}" ] || fail "no zav5_*.deb in $work/out"
deb="${debs[0]}"
dpkg-deb -c "$deb" | awk '{print $NF}' > "$work/contents"
for file in ./usr/bin/zav5 ./usr/lib/systemd/system/zav5.service ./etc/default/zav5 \
            ./usr/share/doc/zav5/README.md; do
  grep -qx "$file" "$work/contents" || { cat "$work/contents"; fail "the package lacks $file"; }
done
dpkg-deb -f "$deb" Depends | grep -q "libsqlite3-0" || fail "the package does not depend on SQLite"

DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" \
  > "$work/install.log" 2>&1 || { cat "$work/install.log"; fail "apt-get did not install $deb"; }
zav5 --version | grep -q '^zav5 [0-9]' || fail "zav5 --version: $(zav5 --version 2>&1)"
getent passwd zav5 >/dev/null || fail "the package made no user zav5"

unit=/usr/lib/systemd/system/zav5.service
systemd-analyze verify "$unit" > "$work/verify.log" 2>&1 || { cat "$work/verify.log"; fail "systemd-analyze verify failed"; }
if grep -i 'zav5' "$work/verify.log"; then fail "systemd-analyze verify has remarks on the unit"; fi
grep -qx 'ExecStart=/usr/bin/zav5 $ZAV5_OPTIONS' "$unit" || fail "the unit does not run /usr/bin/zav5 with its options"
grep -qx 'EnvironmentFile=/etc/default/zav5' "$unit" || fail "the unit reads no /etc/default/zav5"

# As the unit runs it: a demo store owned by the service's user, mapped in the environment file.
zav5 demo "$work/store" > /dev/null
chown -R zav5:zav5 "$work/store"
sed -i "s|^ZAV5_OPTIONS=.*|ZAV5_OPTIONS=\"--drive C=$work/store/c --drive Z=$work/store/z\"|" /etc/default/zav5
status=0
(set -a; . /etc/default/zav5; set +a
 # shellcheck disable=SC2086 # split at blanks, as systemd splits an unquoted $ZAV5_OPTIONS
 runuser -u zav5 -- /usr/bin/zav5 $ZAV5_OPTIONS --once > "$work/once.out" 2>&1) || status=$?
[ "$status" -eq 0 ] || { cat "$work/once.out"; fail "zav5 --once as the unit runs it exited with $status"; }
logs=("$work"/store/c/sulvo/bkp/logzav3_*.txt)
grep -aq 'Inizio elaborazione' "${logs[0]}" || fail "no processing cycle in the run log"
if grep -aq ERRORE "${logs[0]}"; then cat "${logs[0]}"; fail "the run log reports an error"; fi

DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq zav5 > "$work/purge.log" 2>&1 ||
  { cat "$work/purge.log"; fail "apt-get purge failed"; }
for file in /usr/bin/zav5 "$unit" /etc/default/zav5; do
  [ ! -e "$file" ] || fail "$file is left after the purge"
done
echo "Debian package: passed"
