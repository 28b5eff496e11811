#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks that exactly the expected
# files arrive (no test program, nothing missing), that Debian's
# desktop-file-validate accepts the desktop entry and appstreamcli the AppStream
# metadata, that the copyright file is in Debian's machine-readable format, and
# that the program's version (--version), the changelog, the metadata's newest
# release and the manual page agree (the manual page's date too).
# Usage: scripts/check-install.sh BUILD_DIR
set -euo pipefail

build=${1:?usage: scripts/check-install.sh BUILD_DIR}

# Every file `cmake --install` puts under the prefix. The install rules are in
# CMakeLists.txt and resources/CMakeLists.txt; the help page's place must match
# app/HelpFile.cpp, which finds it from bin/ as ../share/tarnlow/tarnlow.html.
# The Debian package holds the same files under /usr (debhelper installs the
# copyright and changelog there) and adds share/lintian/overrides/tarnlow.
id=io.github.tarnlow.Tarnlow
expected="bin/tarnlow
share/applications/$id.desktop
share/doc/tarnlow/changelog.gz
share/doc/tarnlow/copyright
share/icons/hicolor/128x128/apps/$id.png
share/icons/hicolor/16x16/apps/$id.png
share/icons/hicolor/24x24/apps/$id.png
share/icons/hicolor/256x256/apps/$id.png
share/icons/hicolor/32x32/apps/$id.png
share/icons/hicolor/48x48/apps/$id.png
share/icons/hicolor/64x64/apps/$id.png
share/icons/hicolor/scalable/apps/$id.svg
share/man/man1/tarnlow.1.gz
share/metainfo/$id.metainfo.xml
share/tarnlow/tarnlow.html"

fail() {
    echo "check-install: $*" >&2
    exit 1
}

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
[ -x "$prefix/bin/tarnlow" ] || fail "bin/tarnlow is not executable"

desktop-file-validate "$prefix/share/applications/$id.desktop"
appstreamcli validate --pedantic --no-net "$prefix/share/metainfo/$id.metainfo.xml" >"$work/appstream.log" 2>&1 || {
    cat "$work/appstream.log" >&2
    fail "appstreamcli rejects share/metainfo/$id.metainfo.xml"
}

# Debian's machine-readable copyright format: the format line, a paragraph for
# every file, and the text of each licence named.
python3 - "$prefix/share/doc/tarnlow/copyright" <<'PYTHON' || fail "share/doc/tarnlow/copyright is not in the machine-readable format"
import sys
paragraphs = [p for p in open(sys.argv[1], encoding="utf-8").read().split("\n\n") if p.strip()]
def fields(paragraph):
    result, name = {}, None
    for line in paragraph.splitlines():
        if line[:1] in (" ", "\t"):
            assert name, "a continuation line comes first"
            result[name] += "\n" + line
        else:
            name, _, value = line.partition(":")
            assert _ and name not in result, "bad field line: " + line
            result[name] = value.strip()
    return result
header, *rest = map(fields, paragraphs)
assert header.get("Format") == "https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/", "format line"
files = [p for p in rest if "Files" in p]
assert files and files[0]["Files"] == "*", "no paragraph for every file"
named = set()
for p in files:
    assert p.get("Copyright") and p.get("License"), "a Files paragraph lacks Copyright or License"
    named.add(p["License"].splitlines()[0].strip())
texts = {p["License"].splitlines()[0].strip() for p in rest if "Files" not in p and "\n" in p.get("License", "")}
assert named <= texts, "no licence text for " + ", ".join(sorted(named - texts))
assert "GPL-3+" in named, "GPL-3+ not named"
PYTHON

# One version everywhere: what the program says, the changelog's newest entry,
# the metadata's newest release and the manual page's header.
version=$("$prefix/bin/tarnlow" --version) || fail "tarnlow --version failed"
version=${version%%$'\n'*}
version=${version#tarnlow }
[ -n "$version" ] || fail "tarnlow --version printed no version"
gzip -t "$prefix/share/doc/tarnlow/changelog.gz" || fail "changelog.gz is damaged"
zcat "$prefix/share/doc/tarnlow/changelog.gz" | head -n 1 | grep -q "^tarnlow ($version) " \
    || fail "the changelog's newest entry is not version $version"
grep -o '<release version="[^"]*"' "$prefix/share/metainfo/$id.metainfo.xml" | head -n 1 \
    | grep -qF "\"$version\"" || fail "the metadata's newest release is not version $version"
# The manual page carries the release's date, that of the changelog's newest
# entry: no build date, so every build of a release is the same.
date=$(zcat "$prefix/share/doc/tarnlow/changelog.gz" | sed -n 's/^ -- .*>  //p' | head -n 1)
date=$(date -u -d "$date" +%Y-%m-%d) || fail "the changelog's newest entry has no date"
zcat "$prefix/share/man/man1/tarnlow.1.gz" | head -n 1 | grep -qF "\"$date\" \"Tarnlow $version\"" \
    || fail "the manual page is not that of version $version of $date"
# --help names the help page this installation holds (the program knows its
# own folder with every link resolved).
"$prefix/bin/tarnlow" --help | grep -qxF "Help page: $(cd "$prefix" && pwd -P)/share/tarnlow/tarnlow.html" \
    || fail "tarnlow --help does not name the installed help page"

echo "check-install: $(wc -l <<<"$installed") files installed as expected; the desktop entry, the AppStream" \
    "metadata and the copyright file are valid; version $version throughout"
