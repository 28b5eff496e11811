#!/usr/bin/env bash
# Builds the fuzzers (tests/fuzz: the core's parsers, and the engine against a
# server whose replies are perturbed) with clang, libFuzzer, AddressSanitizer
# (leaks included) and UndefinedBehaviorSanitizer into build-fuzz/, then runs
# each for a time budget on a copy of its corpus, so the committed corpus never
# grows by itself. Fails on the first crash, failed
# check, hang, oversized allocation or leak and names the input that caused it.
#
# Usage: scripts/fuzz.sh [seconds-per-fuzzer] [fuzzer...]
#   scripts/fuzz.sh                        # 20 s each, as the test command runs it
#   scripts/fuzz.sh 600 FuzzFtpListParser  # a longer run of one fuzzer
# New inputs found by a run stay in build-fuzz/runs/<fuzzer>/corpus; copy the
# ones worth keeping into tests/fuzz/corpus/<fuzzer>/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-20}
shift || true
fuzzers=("$@")
if [ ${#fuzzers[@]} -eq 0 ]; then
    fuzzers=(FuzzSettingsArchive FuzzFtpReplyReader FuzzFtpListParser FuzzPwdReply FuzzCommandLine FuzzReplyStream)
fi

scripts/install-deps.sh --tests
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
    -DCMAKE_CXX_COMPILER=clang++-14 -DTARNLOW_TESTS=OFF -DTARNLOW_FUZZ=ON >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target fuzzers

export ASAN_OPTIONS=detect_leaks=1:symbolize=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
symbolizer=/usr/lib/llvm-14/bin/llvm-symbolizer
[ -x "$symbolizer" ] && export ASAN_SYMBOLIZER_PATH="$symbolizer"

# The readers hold lines of up to 8 KiB: give them inputs long enough to pass that.
max_len() {
    case "$1" in
        FuzzFtpReplyReader | FuzzFtpListParser) echo 16384 ;;
        *) echo 4096 ;;
    esac
}

passed=0
for name in "${fuzzers[@]}"; do
    binary=build-fuzz/tests/fuzz/$name
    run=build-fuzz/runs/$name
    rm -rf "$run"
    mkdir -p "$run/artifacts"
    cp -r "tests/fuzz/corpus/$name" "$run/corpus"
    echo "== $name: ${seconds} s on $(find "$run/corpus" -type f | wc -l) corpus inputs"
    # -timeout catches a hang in one input, -malloc_limit_mb an allocation that
    # grows with a length the input claims; the outer timeout is a last resort.
    status=0
    timeout --kill-after=10 $((seconds + 120)) "$binary" \
        -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=256 \
        -max_len="$(max_len "$name")" -print_final_stats=1 \
        -artifact_prefix="$run/artifacts/" "$run/corpus" >"$run/log" 2>&1 || status=$?
    if [ "$status" -ne 0 ]; then
        tail -n 60 "$run/log"
        echo "FAILED: $name (exit $status); log: $run/log"
        for artifact in "$run"/artifacts/*; do
            [ -e "$artifact" ] && echo "reproduce with: $binary $artifact"
        done
        echo "fuzz: $passed passed, 1 failed"
        exit 1
    fi
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$run/log" | tr '\n' ' '
    echo
    passed=$((passed + 1))
done
echo "fuzz: $passed passed, 0 failed"
