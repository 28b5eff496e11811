#!/usr/bin/env bash
# Builds the Debian package: a stripped Release build without the tests,
# packaged by CPack with its dependencies computed from the binary
# (dpkg-shlibdeps). Writes tarnlow_<version>_<arch>.deb into the repository
# root and prints how to install it.
# Usage: scripts/build-deb.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --package

# Debian's hardening flags (fortified libc calls, stack protector, relocations
# read-only and bound at start-up), as Debian's own package builds get them.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
# The package also holds what lintian is told to accept (and why).
cmake -S . -B build-deb -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNLOW_TESTS=OFF -DTARNLOW_DEBIAN_PACKAGE=ON \
    -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build build-deb
rm -f build-deb/tarnlow_*.deb
(cd build-deb && cpack -G DEB >cpack.log 2>&1) || {
    cat build-deb/cpack.log >&2
    exit 1
}

deb=$(cd build-deb && ls tarnlow_*.deb)
mv "build-deb/$deb" .
echo "Built $deb:"
dpkg-deb --field "$deb" Package Version Architecture Depends | sed 's/^/  /'
echo "Install it with: sudo apt install ./$deb"
