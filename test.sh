#!/usr/bin/env bash
# Builds Tarnlow with warnings as errors and runs every test, headless: once in a
# normal build (then checks what it installs), once under AddressSanitizer and
# UndefinedBehaviorSanitizer; then runs each fuzzer (the core's parsers, and the
# engine against a server whose replies are perturbed) for 20 seconds
# (scripts/fuzz.sh).
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh --tests
jobs=$(nproc)

export QT_QPA_PLATFORM=offscreen

cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARNLOW_WERROR=ON -DTARNLOW_TEST_NET=1
cmake --build build-test -j "$jobs"
ctest --test-dir build-test --output-on-failure -j "$jobs"
# cmake --install puts exactly the expected files in place, with a valid desktop entry.
scripts/check-install.sh build-test

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARNLOW_WERROR=ON -DTARNLOW_SANITIZE=ON -DTARNLOW_TEST_NET=2
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j "$jobs"

scripts/fuzz.sh 20
