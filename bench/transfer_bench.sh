#!/bin/sh
# Uploads and downloads one file of SIZE_MB MiB (default 200) through the FTP
# engine and through curl, both in active mode against the same test FTP server
# on the loopback, and prints throughput and peak RSS side by side.
#
# Usage: bench/transfer_bench.sh [SIZE_MB] [RUNS]
# Needs: python3 with pyftpdlib (/usr/bin/python3), curl, cmake, ninja,
# /usr/bin/time, and the right to listen on port 21 of 127.77.0.2.
set -eu

SIZE_MB=${1:-200}
RUNS=${2:-3}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BENCH_BUILD:-$ROOT/build-bench}
HOST=${BENCH_HOST:-127.77.0.2}
PY=/usr/bin/python3

if ! command -v curl >/dev/null 2>&1; then
    echo "curl is not installed: nothing to compare with (apt-get install curl)" >&2
    exit 1
fi
[ -x /usr/bin/time ] || { echo "/usr/bin/time is missing (apt-get install time)" >&2; exit 1; }

. "$ROOT/bench/bench_common.sh"
bench_build transfer_bench

mkdir -p "$WORK/local"
head -c "$((SIZE_MB * 1024 * 1024))" /dev/urandom >"$WORK/local/source.bin"

bench_start_server

# measure LABEL DIRECTION COMMAND...: runs COMMAND RUNS times under
# /usr/bin/time -v (it must leave $WORK/out.bin, or the server's copy, equal to
# the source) and prints the best wall time as MiB/s with that run's peak RSS.
measure() {
    label=$1 direction=$2
    shift 2
    best= bestkib=
    for run in $(seq "$RUNS"); do
        rm -f "$WORK/out.bin" "$WORK/root/up.bin"
        if ! /usr/bin/time -v -o "$WORK/time" "$@" >/dev/null 2>"$WORK/err"; then
            echo "$label $direction failed:" >&2
            cat "$WORK/err" >&2
            exit 1
        fi
        if [ "$direction" = upload ]; then copy=$WORK/root/up.bin; else copy=$WORK/out.bin; fi
        cmp -s "$WORK/local/source.bin" "$copy" || { echo "$label $direction: copy differs" >&2; exit 1; }
        ms=$(awk -F': ' '/Elapsed \(wall clock\)/ {
            n = split($2, t, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + t[i]; printf "%d", s * 1000 }' "$WORK/time")
        kib=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$WORK/time")
        if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; bestkib=$kib; fi
    done
    [ "$best" -gt 0 ] || best=1
    printf '%-14s %-8s %6d MiB  %7d ms  %8.1f MiB/s  peak RSS %7.1f MiB\n' "$label" "$direction" "$SIZE_MB" \
        "$best" "$(awk -v m="$SIZE_MB" -v ms="$best" 'BEGIN { print m * 1000 / ms }')" \
        "$(awk -v k="$bestkib" 'BEGIN { print k / 1024 }')"
}

URL="ftp://bench:bench@$HOST"
echo "Transfers of $SIZE_MB MiB with $HOST, active mode (best of $RUNS runs; whole process, login included)"
measure tarnlow upload "$BUILD/transfer_bench" put "$HOST" bench bench "$WORK/local/source.bin" up.bin
cp "$WORK/local/source.bin" "$WORK/root/down.bin"
measure tarnlow download "$BUILD/transfer_bench" get "$HOST" bench bench "$WORK/out.bin" down.bin
CURL="curl $(curl --version | awk 'NR == 1 { print $2 }')"
measure "$CURL" upload curl -sS -P - -T "$WORK/local/source.bin" "$URL/up.bin"
measure "$CURL" download curl -sS -P - "$URL/down.bin" -o "$WORK/out.bin"
