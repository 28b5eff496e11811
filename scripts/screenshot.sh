#!/usr/bin/env bash
# Redraws docs/screenshot.png, the README's picture of the real window: site 1
# on the demo server (scripts/demo-server.sh --slow), its listing, and the
# progress strip in the middle of a download. Run it again when the window
# changes. It runs the program under Xvfb with settings in a temporary folder
# (never the user's own) and clicks with xdotool.
#
# Usage: sudo scripts/screenshot.sh     (the demo server needs port 21)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

if [ "$(id -u)" -ne 0 ]; then
    echo "The demo server listens on port 21, which needs root: sudo $0" >&2
    exit 1
fi

scripts/install-deps.sh
missing=()
for p in xvfb xauth imagemagick xdotool python3-pyftpdlib; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNLOW_TESTS=OFF >/dev/null
cmake --build build

# The download folder shows in the picture, so it has a plain name.
work=$(mktemp -d)
downloads=/tmp/tarnlow-screenshot/Downloads
server=
cleanup() {
    if [ -n "$server" ]; then
        kill "$server" 2>/dev/null || true
        wait "$server" 2>/dev/null || true
    fi
    rm -rf "$work" "$(dirname "$downloads")"
}
trap cleanup EXIT
rm -rf "$(dirname "$downloads")"
mkdir -p "$work/config/Tarnlow" "$work/config/Halvorn" "$work/run" "$downloads"
chmod 700 "$work/run"

# Site 1 on the demo server, as a new user fills it in. The settings file holds
# 20 length-prefixed strings: 5 sites x address, username, password (each byte
# less 0x4B), directory.
/usr/bin/python3 - "$work/config/Tarnlow/FTPSettings.dat" <<'PYEOF'
import sys

sites = [(b"127.0.0.21", b"demo", b"demo", b"")] + [(b"", b"", b"", b"")] * 4
data = b""
for address, user, password, directory in sites:
    for field in (address, user, bytes((b - 0x4B) % 256 for b in password), directory):
        data += bytes([len(field)]) + field
with open(sys.argv[1], "wb") as f:
    f.write(data)
PYEOF
chmod 600 "$work/config/Tarnlow/FTPSettings.dat"
printf '[General]\nPath=%s\n' "$downloads" >"$work/config/Halvorn/Tarnlow.conf"

scripts/demo-server.sh --slow >"$work/server.log" 2>&1 &
server=$!
for _ in $(seq 100); do
    grep -q '^Ready' "$work/server.log" && break
    kill -0 "$server" 2>/dev/null || break
    sleep 0.1
done
grep -q '^Ready' "$work/server.log" || { cat "$work/server.log" >&2; exit 1; }

# Inside Xvfb: open the window, wait for the listing, select every entry but
# ".." (a download skips folders) and press Download; take the picture while
# the slowed large file is on its way, after the two small files before it.
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run SERVER_LOG=$work/server.log
export OUT=$root/docs/screenshot.png PROGRAM=$root/build/tarnlow
mkdir -p docs
xvfb-run -a -s "-screen 0 1280x1024x24" bash -euo pipefail <<'XEOF'
"$PROGRAM" >/dev/null 2>&1 &
app=$!
trap 'kill $app 2>/dev/null || true' EXIT

# wait_for PATTERN: waits (at most 10 s) until the server's log has a matching line.
wait_for() {
    for _ in $(seq 100); do
        grep -Eq "$1" "$SERVER_LOG" && return 0
        sleep 0.1
    done
    echo "screenshot: the demo server never logged: $1" >&2
    exit 1
}

window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Tarnlow$' | head -n 1)
# The listing's connection ends once the listing is read.
wait_for 'session closed'
sleep 1

# Places in the window are in its own units: the list spans 16..255 of the
# window's 326 across and 205..254 of its 323 down; ".." is its first entry.
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool windowfocus --sync "$window"
xdotool mousemove --window "$window" $((WIDTH * 24 / 326)) $((HEIGHT * 209 / 323)) click 1
sleep 0.3
xdotool key --clearmodifiers ctrl+a
sleep 0.3
xdotool keydown ctrl click 1 keyup ctrl
sleep 0.3
xdotool key --clearmodifiers alt+w

wait_for 'RETR .*/harbour.png completed'
sleep 3
import -window "$window" "$OUT"
XEOF
echo "Wrote docs/screenshot.png"
