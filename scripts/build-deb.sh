#!/usr/bin/env bash
# Builds the Debian source package and the binary package from debian/ with
# dpkg-buildpackage (debhelper, CMake, Debian's build flags and hardening, no
# tests), in a clean copy of the sources under build-deb/, and checks both
# with lintian --pedantic. Writes tarnlow_<version>_<arch>.deb into the
# repository root and leaves the source package (.dsc, .tar.xz) in build-deb/.
# Usage: scripts/build-deb.sh [--twice]
#   --twice  build once more in another folder and compare the two binary
#            packages byte for byte: the build is reproducible when they match
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

twice=0
case "${1:-}" in
"") ;;
--twice) twice=1 ;;
*) echo "usage: scripts/build-deb.sh [--twice]" >&2; exit 2 ;;
esac

scripts/install-deps.sh --package

source=$(dpkg-parsechangelog -S Source)
version=$(dpkg-parsechangelog -S Version)
arch=$(dpkg-architecture -q DEB_HOST_ARCH)
deb=${source}_${version}_${arch}.deb

# Builds from a copy of the files git knows (committed or not, ignored ones
# left out), so that no build folder ends up in the source package. The copy
# takes the time it is made as the files' dates: the packages must not depend
# on them (SOURCE_DATE_EPOCH, the changelog's date, stands in for every date).
build_in() {
    local out=$1 tree=$1/$source-$version
    rm -rf "$out"
    mkdir -p "$tree"
    git ls-files -z --cached --others --exclude-standard \
        | xargs -0 -I{} sh -c 'test ! -e "$1" || cp -P --parents "$1" "$2"' _ {} "$tree"
    # Source and binary packages, unsigned, with as many jobs as processors.
    (cd "$tree" && dpkg-buildpackage -us -uc -Jauto >"$out/build.log" 2>&1) || {
        tail -n 40 "$out/build.log" >&2
        echo "build-deb: dpkg-buildpackage failed; the whole log is $out/build.log" >&2
        exit 1
    }
}

build_in "$root/build-deb"
# The source package and the binary packages, as the .changes lists them.
lintian --pedantic --fail-on error,warning "build-deb/${source}_${version}_${arch}.changes"

if [ "$twice" -eq 1 ]; then
    build_in "$root/build-deb-again"
    for file in "$deb" "${source}-dbgsym_${version}_${arch}.deb" "${source}_${version}.tar.xz"; do
        cmp "build-deb/$file" "build-deb-again/$file" \
            || { echo "build-deb: $file differs between two builds" >&2; exit 1; }
    done
    echo "Built twice, in two folders: the packages are identical byte for byte."
    rm -rf build-deb-again
fi

cp "build-deb/$deb" .
echo "Built $deb (the source package is in build-deb/):"
dpkg-deb --field "$deb" Package Version Architecture Depends Recommends | sed 's/^/  /'
echo "Install it with: sudo apt install ./$deb"
