#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks that exactly the expected
# files arrive (no test program, nothing missing) and that Debian's
# desktop-file-validate accepts the desktop entry.
# Usage: scripts/check-install.sh BUILD_DIR
set -euo pipefail

build=${1:?usage: scripts/check-install.sh BUILD_DIR}

# Every file `cmake --install` puts under the prefix. The install rules are in
# CMakeLists.txt and resources/CMakeLists.txt; the help page's place must match
# app/HelpFile.cpp, which finds it from bin/ as ../share/tarnlow/tarnlow.html.
expected="bin/tarnlow
share/applications/tarnlow.desktop
share/icons/hicolor/128x128/apps/tarnlow.png
share/icons/hicolor/16x16/apps/tarnlow.png
share/icons/hicolor/24x24/apps/tarnlow.png
share/icons/hicolor/256x256/apps/tarnlow.png
share/icons/hicolor/32x32/apps/tarnlow.png
share/icons/hicolor/48x48/apps/tarnlow.png
share/icons/hicolor/64x64/apps/tarnlow.png
share/icons/hicolor/scalable/apps/tarnlow.svg
share/man/man1/tarnlow.1.gz
share/tarnlow/tarnlow.html"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >"$work/install.log" || {
    cat "$work/install.log" >&2
    exit 1
}

installed=$(cd "$prefix" && find . -mindepth 1 ! -type d -printf '%P\n' | LC_ALL=C sort)
if [ "$installed" != "$(LC_ALL=C sort <<<"$expected")" ]; then
    echo "check-install: the installed files differ from the expected list (- expected, + installed):" >&2
    diff -u <(LC_ALL=C sort <<<"$expected") <(printf '%s\n' "$installed") | tail -n +3 >&2
    exit 1
fi
[ -x "$prefix/bin/tarnlow" ] || { echo "check-install: bin/tarnlow is not executable" >&2; exit 1; }

desktop-file-validate "$prefix/share/applications/tarnlow.desktop"
echo "check-install: $(wc -l <<<"$installed") files installed as expected; the desktop entry is valid"
