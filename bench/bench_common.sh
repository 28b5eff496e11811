# Shared by the benchmark scripts; sourced once ROOT, BUILD, HOST and PY are set.
# Gives a work folder that is removed on exit, a build of one driver, and the
# test FTP server on $HOST port 21 serving $WORK/root as user bench/bench.

WORK=$(mktemp -d)
SERVER=
bench_cleanup() {
    [ -n "$SERVER" ] && kill "$SERVER" 2>/dev/null && wait "$SERVER" 2>/dev/null
    rm -rf "$WORK"
}
trap bench_cleanup EXIT INT TERM
mkdir -p "$WORK/root"

# bench_build TARGET: configures the benchmarks' own build and builds TARGET.
bench_build() {
    cmake -S "$ROOT/bench" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$BUILD" --target "$1" >/dev/null
}

# bench_start_server [SWITCH...]: starts the server and waits (at most 10 s) until it listens.
bench_start_server() {
    "$PY" "$ROOT/tests/ftpserver/ftpd.py" --host "$HOST" --port 21 --root "$WORK/root" \
        --user bench --password bench "$@" >"$WORK/server.out" 2>&1 &
    SERVER=$!
    i=0
    until grep -q READY "$WORK/server.out"; do
        i=$((i + 1))
        [ $i -le 100 ] || { echo "test server did not start" >&2; exit 1; }
        sleep 0.1
    done
}
