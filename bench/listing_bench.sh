#!/bin/sh
# Lists a directory of ENTRIES entries (default 10000; every tenth a folder)
# from the test FTP server on the loopback, once in the real window and once
# with curl, and prints the figures side by side.
#
# Usage: bench/listing_bench.sh [ENTRIES] [RUNS]
# Needs: python3 with pyftpdlib (/usr/bin/python3), curl, cmake, ninja, and the
# right to listen on port 21 of 127.77.0.1 (the window always uses port 21).
set -eu

ENTRIES=${1:-10000}
RUNS=${2:-3}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BENCH_BUILD:-$ROOT/build-bench}
HOST=${BENCH_HOST:-127.77.0.1}
PY=/usr/bin/python3

. "$ROOT/bench/bench_common.sh"
bench_build listing_bench

mkdir -p "$WORK/config" "$WORK/run"
chmod 700 "$WORK/run"
"$PY" - "$WORK/root" "$ENTRIES" <<'PYEOF'
import os, sys
root, count = sys.argv[1], int(sys.argv[2])
for i in range(count):
    path = os.path.join(root, 'entry-%05d' % i)
    if i % 10 == 0:
        os.mkdir(path)
    else:
        open(path + '.dat', 'wb').close()
PYEOF

# Both clients read the same LIST text: MLSD is switched off.
bench_start_server --no-mlsd

echo "Listing $ENTRIES entries from $HOST (median of $RUNS runs; RSS is the whole process)"
XDG_RUNTIME_DIR="$WORK/run" XDG_CONFIG_HOME="$WORK/config" QT_QPA_PLATFORM=offscreen "$BUILD/listing_bench" "$HOST" bench bench "$RUNS"

# curl, active mode like the window, writing the listing to a file.
best=
for run in $(seq "$RUNS"); do
    /usr/bin/time -f '%e %M' -o "$WORK/time" \
        curl -s -P - "ftp://bench:bench@$HOST/" -o "$WORK/list.txt"
    ms=$(awk '{ printf "%d", $1 * 1000 }' "$WORK/time")
    kib=$(awk '{ print $2 }' "$WORK/time")
    if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; bestkib=$kib; fi
done
lines=$(wc -l <"$WORK/list.txt")
printf '%-22s %8d lines  total %6d ms  (best of %d)                      peak RSS %6.1f MiB\n' \
    "curl $(curl --version | awk 'NR == 1 { print $2 }')" "$lines" "$best" "$RUNS" \
    "$(awk -v k="$bestkib" 'BEGIN { print k / 1024 }')"
