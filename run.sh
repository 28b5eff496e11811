#!/usr/bin/env bash
# Builds Tarnlow and starts it. Arguments are passed on (local paths to upload).
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNLOW_TESTS=OFF >/dev/null
cmake --build build
exec build/tarnlow "$@"
