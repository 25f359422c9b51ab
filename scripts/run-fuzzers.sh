#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Quorvik developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Runs every fuzz target of a fuzz build for the given number of seconds. The
# targets are the ones fuzz/CMakeLists.txt lists (it writes them to
# <build-dir>/fuzz/targets); each starts from its committed seed corpus in
# fuzz/corpus/<target>/, which is only read. What a run finds that is new goes
# to <build-dir>/fuzz/corpus/<target>/ and is read again by the next run of
# the same build. Exits non-zero on any finding; the failing inputs stay in
# <build-dir>/fuzz/artifacts.
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
artifacts="$build/fuzz/artifacts"
mkdir -p "$artifacts"
if [ ! -s "$build/fuzz/targets" ]; then
    echo "$build/fuzz/targets is missing: configure the build with -DQUORVIK_FUZZ=ON" >&2
    exit 2
fi

# The leak check at exit leaves OpenSSL's own state alone (fuzz/lsan.supp).
export LSAN_OPTIONS="suppressions=$source_dir/fuzz/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

status=0
while read -r target; do
    binary="$build/fuzz/fuzz_$target"
    seeds="$source_dir/fuzz/corpus/$target"
    found="$build/fuzz/corpus/$target"
    if [ ! -x "$binary" ]; then
        echo "missing fuzz target $binary" >&2
        status=1
        continue
    fi
    if [ -z "$(ls -A "$seeds" 2>/dev/null)" ]; then
        echo "fuzz_$target has no seed corpus in $seeds" >&2
        status=1
        continue
    fi
    mkdir -p "$found"
    dict=()
    if [ -f "$source_dir/fuzz/$target.dict" ]; then
        dict=(-dict="$source_dir/fuzz/$target.dict")
    fi
    echo "== fuzz_$target for ${seconds}s"
    log="$build/fuzz/$target.log"
    if ! "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$artifacts/${target}-" "${dict[@]}" "$found" "$seeds" \
        >"$log" 2>&1; then
        echo "fuzz_$target found a fault:" >&2
        tail -n 40 "$log" >&2
        status=1
    else
        grep -E '^stat::number_of_executed_units|^Done' "$log" || true
    fi
done <"$build/fuzz/targets"
exit $status
