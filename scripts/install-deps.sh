#!/usr/bin/env bash
# Installs, with apt-get, whatever of Tarnlow's build and test needs is missing.
# Usage: scripts/install-deps.sh [--tests] [--package]
#   --tests    also what the tests use: the test FTP server, desktop-file-validate,
#              appstreamcli
#   --package  also what building and checking the Debian package uses
#              (dpkg-buildpackage, debhelper, lintian)
set -euo pipefail

# qt6-tools-dev and qt6-l10n-tools build the translations (lupdate, lrelease);
# qt6-translations-l10n holds Qt's own, which the program loads beside its own.
packages=(cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools libgl-dev qt6-tools-dev qt6-l10n-tools
    qt6-translations-l10n)
for option in "$@"; do
    case "$option" in
    # The test FTP server, the desktop-entry and AppStream checks; the fonts the
    # window's layout is tried with; clang with libFuzzer and the sanitizers'
    # runtimes, and llvm-symbolizer for readable reports, for scripts/fuzz.sh.
    --tests) packages+=(python3-pyftpdlib desktop-file-utils appstream fonts-cantarell fonts-dejavu-core
        fonts-dejavu-extra clang-14 libclang-rt-14-dev llvm-14) ;;
    --package) packages+=(dpkg-dev debhelper lintian) ;;
    *) echo "usage: scripts/install-deps.sh [--tests] [--package]" >&2; exit 2 ;;
    esac
done

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
