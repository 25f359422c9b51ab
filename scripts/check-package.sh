#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Quorvik developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Builds the Debian package, runs lintian on it, and (as root) installs it for
# real: the capability is granted, an ordinary user's quorvik started from the
# desktop entry receives a tagged text and an SNMP trap on port 162 in a
# private network namespace and logs both in that user's data folder; on a
# stock receive buffer limit (net.core.rmem_max 212992) the installed sysctl
# drop-in raises it, so that three bursts of 20,000 traps at full speed lose
# none; removing the package leaves none of its files. The machine's limit
# is restored however the script ends.
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

echo "== install on a stock receive buffer limit"
program=/usr/bin/quorvik
home=$(mktemp -d)
pid=""
# net.core.rmem_max is the whole machine's, not the network namespace's.
machine_rmem_max=$(sysctl -n net.core.rmem_max)
cleanup() {
    [ -z "$pid" ] || kill "$pid" 2>/dev/null || true
    dpkg -P quorvik >/dev/null 2>&1 || true
    sysctl -q -w net.core.rmem_max="$machine_rmem_max" || true
    rm -rf "$home"
}
trap cleanup EXIT
sysctl -q -w net.core.rmem_max=212992

dpkg -i "$deb" >/dev/null
[ "$(sysctl -n net.core.rmem_max)" = 16777216 ] ||
    { echo "the sysctl drop-in was not applied: rmem_max $(sysctl -n net.core.rmem_max)"; exit 1; }
echo "rmem_max 212992 -> $(sysctl -n net.core.rmem_max) by /usr/lib/sysctl.d/60-quorvik.conf"
getcap "$program" | grep -q cap_net_bind_service || { echo "no capability: $(getcap "$program")"; exit 1; }
# Maintainer scripts run again (a re-configure) change nothing and succeed.
/var/lib/dpkg/info/quorvik.postinst configure >/dev/null
getcap "$program" | grep -q cap_net_bind_service || { echo "capability lost on a second run"; exit 1; }

echo "== receive on port 162 as nobody"
chown nobody "$home"
exec_line=$(sed -n 's/^Exec=//p' /usr/share/applications/org.quorvik.Quorvik.desktop)
token="pkg$$"
log="$home/.local/share/quorvik/quorvik.log"
sender="$build/bench_sender"
[ -x "$sender" ] || { echo "no $sender"; exit 1; }
export home exec_line token log sender
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
    echo "both events in $log"

    # Three bursts at full speed; each is counted in the log once it has
    # stopped growing.
    traps() { grep -c "^Trap;" "$log" || true; }
    lost_total=0
    for burst in 1 2 3; do
        before=$(traps)
        "$sender" --port 162 --count 20000 --kind trap --first $((burst * 20000)) >/dev/null
        count=$(traps) quiet=0
        while [ $quiet -lt 30 ] && [ $((count - before)) -lt 20000 ]; do
            sleep 0.1
            now=$(traps)
            if [ "$now" = "$count" ]; then quiet=$((quiet + 1)); else quiet=0 count=$now; fi
        done
        lost=$((20000 - (count - before)))
        lost_total=$((lost_total + lost))
        echo "burst $burst: 20000 traps sent, $((count - before)) logged, $lost lost"
    done
    [ $lost_total -eq 0 ] || { echo "$lost_total of 60000 lost"; exit 1; }
    echo "0 of 60000 lost"
'


echo "== remove"
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print substr($6, 2) }')
dpkg -P quorvik >/dev/null
left=""
for f in $files; do [ ! -e "$f" ] || left="$left $f"; done
[ ! -e /usr/share/doc/quorvik ] || left="$left /usr/share/doc/quorvik"
[ -z "$left" ] || { echo "left behind:$left"; exit 1; }
echo "package removed, nothing left"
