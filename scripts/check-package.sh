#!/usr/bin/env bash
# Builds the Debian package, runs lintian on it, and (as root) installs it for
# real: the capability is granted, an ordinary user's quorvik started from the
# desktop entry receives a tagged text and an SNMP trap on port 162 in a
# private network namespace and logs both in that user's data folder, and
# removing the package leaves none of its files.
# Usage: check-package.sh <build folder>
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
version=$(sed -n 's/^project(Quorvik VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../CMakeLists.txt")
deb="$build/quorvik_${version}_$(dpkg --print-architecture).deb"

echo "== package"
rm -f "$deb"
cmake --build "$build" --target package >/dev/null
[ -f "$deb" ] || { echo "no package at $deb"; exit 1; }

echo "== lintian"
# Accepted tags are in packaging/lintian-overrides, each with its reason.
lintian --fail-on error,warning "$deb"

if [ "$(id -u)" -ne 0 ]; then
    echo "== install test skipped: it needs root (dpkg -i, setcap, a network namespace)"
    exit 0
fi

echo "== install"
program=/usr/bin/quorvik
home=$(mktemp -d)
pid=""
cleanup() {
    [ -z "$pid" ] || kill "$pid" 2>/dev/null || true
    dpkg -P quorvik >/dev/null 2>&1 || true
    rm -rf "$home"
}
trap cleanup EXIT

dpkg -i "$deb" >/dev/null
getcap "$program" | grep -q cap_net_bind_service || { echo "no capability: $(getcap "$program")"; exit 1; }
# Maintainer scripts run again (a re-configure) change nothing and succeed.
/var/lib/dpkg/info/quorvik.postinst configure >/dev/null
getcap "$program" | grep -q cap_net_bind_service || { echo "capability lost on a second run"; exit 1; }

echo "== receive on port 162 as nobody"
chown nobody "$home"
exec_line=$(sed -n 's/^Exec=//p' /usr/share/applications/org.quorvik.Quorvik.desktop)
token="pkg$$"
log="$home/.local/share/quorvik/quorvik.log"
export home exec_line token log
unshare --net bash -euo pipefail -c '
    ip link set lo up
    mkdir -m 700 "$home/run" && chown nobody "$home/run"
    setpriv --reuid=nobody --regid=nogroup --clear-groups \
        env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$home/run" \
        QT_QPA_PLATFORM=offscreen $exec_line >"$home/out" 2>&1 &
    pid=$!
    trap "kill $pid 2>/dev/null || true" EXIT
    for _ in $(seq 100); do
        ss -Hunl "sport = :162" | grep -q . && break
        kill -0 $pid 2>/dev/null || { cat "$home/out"; exit 1; }
        sleep 0.1
    done
    ss -Hunl "sport = :162" | grep -q . || { echo "quorvik did not bind port 162"; cat "$home/out"; exit 1; }
    printf "\$LEVL\$:W\$HOST\$:pkgtest\$SOURCE\$:install\$DEVC\$:deb\$MSG\$:text $token" \
        >/dev/udp/127.0.0.1/162
    MIBS= SNMP_PERSISTENT_DIR="$home/snmp" snmptrap -m "" -v 2c -c public 127.0.0.1:162 "" \
        1.3.6.1.6.3.1.1.5.1 1.3.6.1.2.1.1.1.0 s "trap $token" >"$home/snmptrap.out" 2>&1 ||
        { cat "$home/snmptrap.out"; exit 1; }
    for _ in $(seq 100); do
        grep -q "text $token" "$log" 2>/dev/null && grep -q "trap $token" "$log" && break
        sleep 0.1
    done
    grep -q "^Warning;.*;pkgtest;install;deb; *text $token" "$log" ||
        { echo "tagged text not logged"; cat "$log" "$home/out"; exit 1; }
    grep -q "^Trap;.*;127.0.0.1;.*trap $token" "$log" ||
        { echo "trap not logged"; cat "$log" "$home/out"; exit 1; }
    [ "$(stat -c %U "$log")" = nobody ] || { echo "log not owned by the user"; exit 1; }
'
echo "both events in $log"

echo "== remove"
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print substr($6, 2) }')
dpkg -P quorvik >/dev/null
left=""
for f in $files; do [ ! -e "$f" ] || left="$left $f"; done
[ ! -e /usr/share/doc/quorvik ] || left="$left /usr/share/doc/quorvik"
[ -z "$left" ] || { echo "left behind:$left"; exit 1; }
echo "package removed, nothing left"
