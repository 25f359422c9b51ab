#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for the given number of seconds,
# starting from a small seed corpus. Exits non-zero on any finding; the
# failing inputs stay in <build-dir>/fuzz/artifacts.
#
#   scripts/run-fuzzers.sh <build-dir> <seconds>
set -u

if [ $# -ne 2 ]; then
    echo "usage: $0 <build-dir> <seconds>" >&2
    exit 2
fi
build=$(cd "$1" && pwd) || exit 2
seconds=$2
source_dir=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
artifacts="$build/fuzz/artifacts"
mkdir -p "$artifacts"

seed() { # <target> <name> <printf format>
    mkdir -p "$work/$1"
    printf "$3" >"$work/$1/$2"
}

marker='\x06\x08\x2B\x06\x01\x02\x01\x01\x01\x00\x04'
seed parse_event tagged 'trapo$LEVL$:W$HOST$:srv7$SOURCE$:backup$DEVC$:disk_2$MSG$:quota reached'
seed parse_event cut '$MSG$:  a_b$HOST$:  h$DATE$:$DEVC$:x$LEVL$:e$MSG$:b'
seed parse_event trap_short "\x30\x20\x02\x01\x00\x04\x06public$marker\x05hello\x30\x00"
seed parse_event trap_long "\x30\x20\x04\x06public$marker\x81\x03abc\x05\x00"
seed parse_event trap_over "$marker\x82\xff\xffabc"
seed profile config '\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c[Global]\r\nWinTop=120\r\nPopuplevel="4"\r\n\r\n[Color]\r\nC0=&HFF\r\nC1=*none\r\n; note\r\n'
seed profile lf '\x10\x20\x30\x40\x50\x60\x70\x80\x90\xa0\xb0\xc0 [ sound ] \n S0 = "/a b.wav" \nS1=\n[global\nMaxLines=1200abc'
seed log_line event 'Warning;07.12.2026 20:41:05;srv7;backup;disk 2;quota reached'
seed log_line semicolons 'Note;d;p;x;y;o;a;b'
seed log_line short 'Trap;;'
seed history_line dated 'Warning;12.05.2014 12:40:25;host7;backup;disk1;space low; 80 %%'
seed history_line search '\x04HOSTTrap;12.5.14 0:30;host7;snmpd;;cold start'
seed history_line time '23:59'
# linkDown as snmptrap -v 2c sends it, the same as an inform, and as -v 1.
seed snmp_trap v2c_link_down '\x30\x78\x02\x01\x01\x04\x06\x70\x75\x62\x6c\x69\x63\xa7\x6b\x02\x04\x2a\x7e\x32\xcf\x02\x01\x00\x02\x01\x00\x30\x5d\x30\x0f\x06\x08\x2b\x06\x01\x02\x01\x01\x03\x00\x43\x03\x02\x73\xde\x30\x17\x06\x0a\x2b\x06\x01\x06\x03\x01\x01\x04\x01\x00\x06\x09\x2b\x06\x01\x06\x03\x01\x01\x05\x03\x30\x0f\x06\x0a\x2b\x06\x01\x02\x01\x02\x02\x01\x01\x02\x02\x01\x02\x30\x0f\x06\x0a\x2b\x06\x01\x02\x01\x02\x02\x01\x07\x02\x02\x01\x01\x30\x0f\x06\x0a\x2b\x06\x01\x02\x01\x02\x02\x01\x08\x02\x02\x01\x02'
seed snmp_trap v2c_inform '\x30\x78\x02\x01\x01\x04\x06\x70\x75\x62\x6c\x69\x63\xa6\x6b\x02\x04\x2a\x7e\x32\xcf\x02\x01\x00\x02\x01\x00\x30\x5d\x30\x0f\x06\x08\x2b\x06\x01\x02\x01\x01\x03\x00\x43\x03\x02\x73\xde\x30\x17\x06\x0a\x2b\x06\x01\x06\x03\x01\x01\x04\x01\x00\x06\x09\x2b\x06\x01\x06\x03\x01\x01\x05\x03\x30\x0f\x06\x0a\x2b\x06\x01\x02\x01\x02\x02\x01\x01\x02\x02\x01\x02\x30\x0f\x06\x0a\x2b\x06\x01\x02\x01\x02\x02\x01\x07\x02\x02\x01\x01\x30\x0f\x06\x0a\x2b\x06\x01\x02\x01\x02\x02\x01\x08\x02\x02\x01\x02'
seed snmp_trap v1_link_down '\x30\x4c\x02\x01\x00\x04\x06\x70\x75\x62\x6c\x69\x63\xa4\x3f\x06\x08\x2b\x06\x01\x04\x01\x03\x01\x01\x40\x04\xc0\x00\x02\x01\x02\x01\x02\x02\x01\x00\x43\x03\x02\x73\xe9\x30\x22\x30\x0f\x06\x0a\x2b\x06\x01\x02\x01\x02\x02\x01\x01\x02\x02\x01\x02\x30\x0f\x06\x0a\x2b\x06\x01\x02\x01\x02\x02\x01\x07\x02\x02\x01\x01'
seed snmp_trap v3_header '\x30\x11\x02\x01\x03\x30\x0c\x02\x01\x01\x02\x03\x00\xff\xe3\x04\x01\x04\x02\x01\x03'
seed syslog_message event '\x80''07.12.2026 20:41:05\0srv 7\0a]"\\b\0obj\0Gr\xc3\xbc\xdf\0192.0.2.7'

status=0
for target in parse_event profile log_line history_line snmp_trap syslog_message; do
    binary="$build/fuzz/fuzz_$target"
    if [ ! -x "$binary" ]; then
        echo "missing fuzz target $binary" >&2
        status=1
        continue
    fi
    dict=()
    if [ -f "$source_dir/fuzz/$target.dict" ]; then
        dict=(-dict="$source_dir/fuzz/$target.dict")
    fi
    echo "== fuzz_$target for ${seconds}s"
    if ! "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$artifacts/${target}-" "${dict[@]}" "$work/$target" \
        >"$work/$target.log" 2>&1; then
        echo "fuzz_$target found a fault:" >&2
        tail -n 40 "$work/$target.log" >&2
        status=1
    else
        grep -E '^stat::number_of_executed_units|^Done' "$work/$target.log" || true
    fi
done
exit $status
