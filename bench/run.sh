#!/usr/bin/env bash
# The benchmark: Tarnlow beside curl and lftp against a real vsftpd on the
# loopback, active mode, binary. Installs what it needs from Debian, builds the
# driver (bench/tarnlow_bench.cpp), starts vsftpd on 127.66.0.1 for a user of its
# own, creates the data, runs every scenario several times with the tools taking
# turns run by run, stops the server, and prints a table (median, min, max) and
# a summary line. See docs/performance.md for what each scenario does.
#
# Usage: bench/run.sh [--runs N] [--quick] [--only SCENARIO,...] [--profile] [--keep]
#   --runs N   runs of each scenario and tool (default 6; 16 for the 1 GiB
#              transfers, which are quick and the noisiest; 3 for the long drop,
#              which has no peer); an even number lets each tool go first
#              equally often
#   --quick    one run, 256 MiB instead of 1 GiB, a drop of 6,000 files instead of 30,000
#   --only     a subset of: fixed upload download tree fetch-many listing drop-30k window
#   --profile  one run of each scenario, our side under `perf record -g`; prints
#              where its processor time went (our threads and the kernel on
#              their behalf), and how much of the run that time was
#   --keep     leave the work folder in place (its path is printed)
# Needs root (a user for the server, ports 20 and 21); re-runs itself with sudo.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
ARGS=("$@")
SCENARIOS="fixed upload download tree fetch-many listing drop-30k window"
RUNS=6
BIG_RUNS=16
DROP_RUNS=3
BIG_MIB=1024
DROP_FILES=30000
ONLY=
KEEP=0
PROFILE=0
while [ $# -gt 0 ]; do
    case "$1" in
    --runs) RUNS=${2:-}; BIG_RUNS=${2:-}; DROP_RUNS=${2:-}; shift $(($# > 1 ? 2 : 1)) ;;
    --quick) RUNS=1; BIG_RUNS=1; DROP_RUNS=1; BIG_MIB=256; DROP_FILES=6000; shift ;;
    --only) ONLY=",${2:-},"; shift $(($# > 1 ? 2 : 1)) ;;
    --profile) PROFILE=1; RUNS=1; BIG_RUNS=1; DROP_RUNS=1; shift ;;
    --keep) KEEP=1; shift ;;
    *) sed -n '2,/^set -e/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2; exit 2 ;;
    esac
done
[[ "$RUNS" =~ ^[1-9][0-9]?$ ]] || { echo "--runs takes a number from 1 to 99" >&2; exit 2; }
for name in ${ONLY//,/ }; do
    [[ " $SCENARIOS " == *" $name "* ]] || { echo "--only takes names from: $SCENARIOS" >&2; exit 2; }
done
if [ "$(id -u)" -ne 0 ]; then
    exec sudo "$0" "${ARGS[@]}"
fi

HOST=127.66.0.1 # a loopback address of its own: the tests use 127.1/16 and 127.2/16, the demo server 127.0.0.21
BENCH_USER=tarnbench
BUILD=${BENCH_BUILD:-$ROOT/build-bench}
wanted() { [ -z "$ONLY" ] || [[ "$ONLY" == *",$1,"* ]]; }

# --- what the benchmark needs, from Debian ---------------------------------
"$ROOT/scripts/install-deps.sh"
missing=()
wanted_packages="vsftpd curl lftp python3 iproute2"
[ $PROFILE = 0 ] || wanted_packages+=" linux-perf"
for p in $wanted_packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    # The vsftpd package would start a system-wide server on port 21 of every
    # address, which takes the port from the tests' servers: policy-rc.d keeps
    # the package scripts from starting it, and it is not enabled either.
    policy=/usr/sbin/policy-rc.d
    made_policy=0
    if [ ! -e "$policy" ]; then
        printf '#!/bin/sh\nexit 101\n' >"$policy"
        chmod 755 "$policy"
        made_policy=1
    fi
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" || { [ $made_policy = 0 ] || rm -f "$policy"; exit 1; }
    [ $made_policy = 0 ] || rm -f "$policy"
    if [[ " ${missing[*]} " == *" vsftpd "* ]]; then
        update-rc.d vsftpd disable >/dev/null 2>&1 || true
        [ -d /run/systemd/system ] && systemctl disable --now vsftpd >/dev/null 2>&1 || true
    fi
fi
if ss -Hltn "( sport = :21 )" | awk '{ print $4 }' | grep -Eq "^(0\.0\.0\.0|\*|\[::\]|$HOST):21$"; then
    echo "port 21 of $HOST is taken already (a server listening on every address?):" >&2
    ss -ltnp "( sport = :21 )" >&2
    exit 1
fi

echo "Building the driver in $BUILD"
cmake -S "$ROOT/bench" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" -j "$(nproc)" >/dev/null
DRIVER=$BUILD/tarnlow_bench

# --- a work folder, a user and a server of the benchmark's own --------------
# In memory when there is room, so that the disk's write-back does not decide
# the transfer figures (a run holds about four copies of the big file).
need_kib=$(((BIG_MIB * 4 + 512) * 1024))
base=/var/tmp
if [ "$(df -Pk /dev/shm 2>/dev/null | awk 'NR == 2 { print $4 }')" -gt "$need_kib" ] 2>/dev/null; then
    base=/dev/shm
fi
WORK=$(mktemp -d "$base/tarnlow-bench.XXXXXX")
chmod 755 "$WORK"
SERVER_PID=
USER_MADE=0
cleanup() {
    if [ -n "$SERVER_PID" ]; then
        kill "$SERVER_PID" 2>/dev/null || true
        wait "$SERVER_PID" 2>/dev/null || true
    fi
    [ $USER_MADE = 0 ] || userdel "$BENCH_USER" 2>/dev/null || true
    if [ $KEEP = 1 ]; then echo "work folder kept: $WORK"; else rm -rf "$WORK"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if id "$BENCH_USER" >/dev/null 2>&1; then
    # Left over from an interrupted run: only a user this script made is reused.
    [ "$(getent passwd "$BENCH_USER" | cut -d: -f5)" = "Tarnlow benchmark" ] \
        || { echo "a user $BENCH_USER exists and is not the benchmark's" >&2; exit 1; }
    userdel "$BENCH_USER"
fi
HOME_DIR=$WORK/home
mkdir -p "$HOME_DIR" "$WORK/empty" "$WORK/data" "$WORK/out" "$WORK/config" "$WORK/peer-home"
mkdir -m 700 "$WORK/runtime"
useradd -M -d "$HOME_DIR" -s /bin/sh -c "Tarnlow benchmark" "$BENCH_USER"
USER_MADE=1
PASSWORD=$(head -c 12 /dev/urandom | od -An -tx1 | tr -d ' \n')
# SHA-512 instead of Debian's default yescrypt, which is slow on purpose (about
# 100 ms a login here): that is the server's cost, and it would hide ours.
echo "$BENCH_USER:$PASSWORD" | chpasswd -c SHA512

cat >"$WORK/vsftpd.conf" <<EOF
listen=YES
listen_ipv6=NO
listen_address=$HOST
listen_port=21
background=NO
anonymous_enable=NO
local_enable=YES
write_enable=YES
local_umask=022
port_enable=YES
pasv_enable=NO
connect_from_port_20=YES
seccomp_sandbox=NO
pam_service_name=vsftpd
secure_chroot_dir=$WORK/empty
xferlog_enable=NO
EOF

# --- the data ----------------------------------------------------------------
echo "Creating the data in $WORK"
head -c "$((BIG_MIB * 1024 * 1024))" /dev/urandom >"$WORK/data/big.bin"
head -c 1 /dev/urandom >"$WORK/data/tiny.bin"
mkdir -p "$HOME_DIR"/{up,down,tree,many,drop,window}
cp "$WORK/data/big.bin" "$HOME_DIR/down/big.bin"
python3 - "$WORK" "$DROP_FILES" <<'PYEOF'
import os, sys
work, drop_files = sys.argv[1], int(sys.argv[2])
data, home = os.path.join(work, 'data'), os.path.join(work, 'home')
def write(path, size, tag):
    # Every file differs, so a file mixed up with another is caught.
    with open(path, 'wb') as f:
        f.write((tag + '\n').encode().ljust(size, b'.'))
# 2,000 files of 4 KiB in 20 folders, dropped as one folder.
for d in range(20):
    folder = os.path.join(data, 'tree2000', 'folder-%02d' % d)
    os.makedirs(folder)
    for n in range(100):
        write(os.path.join(folder, 'file-%03d.dat' % n), 4096, 'tree %d %d' % (d, n))
# A folder of 10,000 entries on the server (every tenth a folder, the rest files
# of 4 KiB); 1,000 of its files are selected for download.
selected = []
for i in range(10000):
    name = 'entry-%05d' % i
    if i % 10 == 0:
        os.mkdir(os.path.join(home, 'many', name))
        continue
    write(os.path.join(home, 'many', name + '.dat'), 4096, name)
    if i % 9 == 1 and len(selected) < 1000:
        selected.append(name + '.dat')
with open(os.path.join(data, 'selected.txt'), 'w') as f:
    f.write('\n'.join(selected) + '\n')
# The big drop: small files, 1,000 to a folder.
for n in range(drop_files):
    folder = os.path.join(data, 'drop', 'part-%02d' % (n // 1000))
    if n % 1000 == 0:
        os.makedirs(folder)
    write(os.path.join(folder, 'small-%05d.txt' % n), 1024, 'drop %d' % n)
PYEOF
chown -R "$BENCH_USER:" "$HOME_DIR"

vsftpd "$WORK/vsftpd.conf" >"$WORK/vsftpd.log" 2>&1 &
SERVER_PID=$!
for _ in $(seq 100); do
    ss -Hltn "( sport = :21 )" | grep -q "$HOST:21" && break
    kill -0 "$SERVER_PID" 2>/dev/null || { echo "vsftpd did not start:" >&2; cat "$WORK/vsftpd.log" >&2; exit 1; }
    sleep 0.1
done
ss -Hltn "( sport = :21 )" | grep -q "$HOST:21" || { echo "vsftpd does not listen on $HOST:21" >&2; exit 1; }

# --- running the tools ----------------------------------------------------------
URL="ftp://$BENCH_USER:$PASSWORD@$HOST"
# Each figure goes to $WORK/results/SCENARIO.TOOL, one value a line.
mkdir -p "$WORK/results" "$WORK/profiles"
RECORDING=1 # 0 during a warm-up run, whose figures are not kept
record() { [ $RECORDING = 0 ] || echo "$3" >>"$WORK/results/$1.$2"; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }
fail() { echo "bench: $*" >&2; exit 1; }

# Every upload leaves a TIME_WAIT entry for a minute on the side that closed
# first, and a program that lets the kernel pick its ports (lftp, for one)
# slows down sharply once some 14,000 of them are left on the machine. Runs of
# many files first wait (at most 70 s) until fewer than $1 are left, so that no
# tool pays for what an earlier run left behind.
time_waits() { ss -Htan state time-wait | wc -l; }
settle_time_waits() {
    for _ in $(seq 70); do
        [ "$(time_waits)" -lt "$1" ] && return 0
        sleep 1
    done
}

# Fresh, empty remote folders, owned by the server's user.
fresh_remote() {
    for d in "$@"; do
        rm -rf "${HOME_DIR:?}/$d"
        mkdir -p "$HOME_DIR/$d"
        chown "$BENCH_USER:" "$HOME_DIR/$d"
    done
}
fresh_local() { rm -rf "$WORK/out"; mkdir -p "$WORK/out"; }

# ours ARGS...: the driver, with its figures as "key=value" words in $FIGURES.
# With --profile it runs under perf, one record per scenario ($SCENARIO).
ours() {
    local wrap=()
    [ $PROFILE = 0 ] || wrap=(perf record -q -e task-clock -g -o "$WORK/profiles/$SCENARIO.data" --)
    FIGURES=$(XDG_CONFIG_HOME="$WORK/config" XDG_RUNTIME_DIR="$WORK/runtime" QT_QPA_PLATFORM=offscreen \
        timeout "$LIMIT" "${wrap[@]}" "$DRIVER" "$1" "$HOST" "$BENCH_USER" "$PASSWORD" "${@:2}" 2>"$WORK/driver.log") \
        || { cat "$WORK/driver.log" >&2; fail "tarnlow_bench $1 failed: $FIGURES"; }
    [ $PROFILE = 0 ] || figure ms >"$WORK/profiles/$SCENARIO.ms"
}
figure() { tr ' ' '\n' <<<"$FIGURES" | awk -F= -v k="$1" '$1 == k { print $2 }'; }
# lftp with a script of commands; its own settings files are not read.
peer_lftp() {
    {
        echo "set ftp:passive-mode off"
        echo "set net:connection-limit 1"
        echo "set cmd:fail-exit yes"
        echo "set net:max-retries 2"
        echo "open -u $BENCH_USER,$PASSWORD $HOST"
        cat
    } >"$WORK/lftp.script"
    HOME="$WORK/peer-home" timeout "$LIMIT" lftp -f "$WORK/lftp.script"
}
mb_per_s() { awk -v b="$1" -v ms="$2" 'BEGIN { printf "%.1f", b / (ms > 0 ? ms : 1) / 1000 }'; }
files_per_s() { awk -v n="$1" -v ms="$2" 'BEGIN { printf "%.1f", n * 1000 / (ms > 0 ? ms : 1) }'; }
BIG_BYTES=$((BIG_MIB * 1024 * 1024))
LIMIT=900 # seconds any one command may take

run_fixed() {
    fresh_remote up
    ours upload up "$WORK/data/tiny.bin"
    record fixed tarnlow "$(figure ms)"
    cmp -s "$WORK/data/tiny.bin" "$HOME_DIR/up/tiny.bin" || fail "fixed: copy differs"
}
run_fixed_peer() {
    fresh_remote up
    t0=$(now_ms)
    timeout "$LIMIT" curl -q -sS -P - -T "$WORK/data/tiny.bin" "$URL/up/tiny.bin"
    record fixed curl $(($(now_ms) - t0))
}
run_upload() {
    fresh_remote up
    ours upload up "$WORK/data/big.bin"
    record upload tarnlow "$(mb_per_s $BIG_BYTES "$(figure ms)")"
    record peak tarnlow "$(figure peak_mib)"
    cmp -s "$WORK/data/big.bin" "$HOME_DIR/up/big.bin" || fail "upload: copy differs"
}
run_upload_peer() {
    fresh_remote up
    t0=$(now_ms)
    timeout "$LIMIT" curl -q -sS -P - -T "$WORK/data/big.bin" "$URL/up/big.bin"
    record upload curl "$(mb_per_s $BIG_BYTES $(($(now_ms) - t0)))"
    cmp -s "$WORK/data/big.bin" "$HOME_DIR/up/big.bin" || fail "curl upload: copy differs"
}
run_download() {
    fresh_local
    echo big.bin >"$WORK/big.name"
    ours download down "$WORK/out" "$WORK/big.name"
    record download tarnlow "$(mb_per_s $BIG_BYTES "$(figure ms)")"
    record peak tarnlow "$(figure peak_mib)"
    cmp -s "$WORK/data/big.bin" "$WORK/out/big.bin" || fail "download: copy differs"
}
run_download_peer() {
    fresh_local
    t0=$(now_ms)
    timeout "$LIMIT" curl -q -sS -P - "$URL/down/big.bin" -o "$WORK/out/big.bin"
    record download curl "$(mb_per_s $BIG_BYTES $(($(now_ms) - t0)))"
    cmp -s "$WORK/data/big.bin" "$WORK/out/big.bin" || fail "curl download: copy differs"
}
run_tree() {
    settle_time_waits 10000
    fresh_remote tree
    ours upload tree "$WORK/data/tree2000"
    record tree tarnlow "$(files_per_s 2000 "$(figure ms)")"
    diff -rq "$WORK/data/tree2000" "$HOME_DIR/tree/tree2000" >/dev/null || fail "tree: copies differ"
}
run_tree_peer() {
    settle_time_waits 10000
    fresh_remote tree
    t0=$(now_ms)
    peer_lftp <<<"mirror -R $WORK/data/tree2000 tree/tree2000" >/dev/null
    record tree lftp "$(files_per_s 2000 $(($(now_ms) - t0)))"
    diff -rq "$WORK/data/tree2000" "$HOME_DIR/tree/tree2000" >/dev/null || fail "lftp tree: copies differ"
}
check_selected() {
    [ "$(find "$WORK/out" -type f | wc -l)" = 1000 ] || fail "$1: not 1,000 files"
    [ "$(cd "$WORK/out" && xargs cat <"$WORK/data/selected.txt" | md5sum)" = \
        "$(cd "$HOME_DIR/many" && xargs cat <"$WORK/data/selected.txt" | md5sum)" ] || fail "$1: copies differ"
}
run_fetch_many() {
    settle_time_waits 10000
    fresh_local
    ours download many "$WORK/out" "$WORK/data/selected.txt"
    record fetch-many tarnlow "$(files_per_s 1000 "$(figure ms)")"
    check_selected fetch-many
}
run_fetch_many_peer() {
    settle_time_waits 10000
    fresh_local
    t0=$(now_ms)
    { echo "cd many"; echo "lcd $WORK/out"; echo "mget $(tr '\n' ' ' <"$WORK/data/selected.txt")"; } | peer_lftp >/dev/null
    record fetch-many lftp "$(files_per_s 1000 $(($(now_ms) - t0)))"
    check_selected "lftp fetch-many"
}
run_listing() {
    ours list many
    [ "$(figure items)" = 10001 ] || fail "listing: $(figure items) items instead of 10,001"
    record listing tarnlow "$(figure ms)"
    record stall tarnlow "$(figure stall_ms)"
    record busy tarnlow "$(figure busy_ms)"
}
run_listing_peer() {
    t0=$(now_ms)
    peer_lftp <<<"cls -1 many" >"$WORK/listing.txt"
    record listing lftp $(($(now_ms) - t0))
    [ "$(wc -l <"$WORK/listing.txt")" = 10000 ] || fail "lftp listing: $(wc -l <"$WORK/listing.txt") lines"
}
run_drop() {
    fresh_remote drop
    # Each run starts with few TIME_WAIT entries on the machine, so that its
    # halves compare what the drop itself leaves behind.
    settle_time_waits 2000
    record drop-tw-before tarnlow "$(time_waits)"
    ours upload drop "$WORK/data/drop"
    record drop-tw-after tarnlow "$(time_waits)"
    record drop-30k tarnlow "$(files_per_s "$DROP_FILES" "$(figure ms)")"
    record drop-first tarnlow "$(figure first_rate)"
    record drop-second tarnlow "$(figure second_rate)"
    record drop-ratio tarnlow "$(awk -v a="$(figure first_rate)" -v b="$(figure second_rate)" 'BEGIN { printf "%.2f", b / a }')"
    [ "$(find "$HOME_DIR/drop/drop" -type f | wc -l)" = "$DROP_FILES" ] || fail "drop: files missing on the server"
    diff -rq "$WORK/data/drop" "$HOME_DIR/drop/drop" >/dev/null || fail "drop: copies differ"
}
run_window() {
    fresh_remote window
    fresh_local
    ours window window many "$WORK/data/big.bin" "$WORK/data/tree2000" "$WORK/out"
    record window-stall tarnlow "$(figure stall_ms)"
    record busy tarnlow "$(figure busy_ms)"
    steal=0
    for phase in upload download tree list; do
        record "window-$phase-stall" tarnlow "$(figure ${phase}_stall_ms)"
        steal=$((steal + $(figure ${phase}_steal_ms)))
    done
    record window-steal tarnlow "$steal"
    record window-peak tarnlow "$(figure download_peak_mib)"
    record window-idle tarnlow "$(figure idle_mib)"
    cmp -s "$WORK/data/big.bin" "$HOME_DIR/window/big.bin" || fail "window upload: copy differs"
    cmp -s "$WORK/data/big.bin" "$WORK/out/big.bin" || fail "window download: copy differs"
    diff -rq "$WORK/data/tree2000" "$HOME_DIR/window/tree2000" >/dev/null || fail "window tree: copies differ"
}

# Each scenario's runs, the tools taking turns (and going first in turn).
scenario() {
    local name=$1 ours_fn=$2 peer_fn=${3:-} runs=$RUNS
    wanted "$name" || return 0
    SCENARIO=$name
    case $name in upload | download) runs=$BIG_RUNS ;; drop-30k) runs=$DROP_RUNS ;; esac
    printf '%-11s' "$name"
    # The first gigabyte written into fresh memory of this virtual machine runs
    # at a third of the speed of later ones, whichever tool writes it: each
    # tool moves it once before the runs that count.
    if [[ $name == upload || $name == download ]] && [ $PROFILE = 0 ]; then
        RECORDING=0
        $ours_fn
        $peer_fn
        RECORDING=1
        printf ' warm-up'
    fi
    for run in $(seq "$runs"); do
        if [ -z "$peer_fn" ] || [ $((run % 2)) = 1 ]; then
            $ours_fn
            [ -z "$peer_fn" ] || $peer_fn
        else
            $peer_fn
            $ours_fn
        fi
        printf ' %d' "$run"
    done
    echo
}

echo "Running $RUNS run(s) of each scenario ($BIG_RUNS of the $BIG_MIB MiB transfers, $DROP_RUNS of the drop) against vsftpd on $HOST (active mode)"
scenario fixed run_fixed run_fixed_peer
scenario upload run_upload run_upload_peer
scenario download run_download run_download_peer
scenario tree run_tree run_tree_peer
scenario fetch-many run_fetch_many run_fetch_many_peer
scenario listing run_listing run_listing_peer
scenario window run_window
scenario drop-30k run_drop

# --- the table and the summary ---------------------------------------------------
# stats FILE: "median min max" of the values in FILE.
stats() {
    sort -g "$1" | awk '{ v[NR] = $1 } END {
        m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
        printf "%s %s %s", m, v[1], v[NR] }'
}
median() { [ -s "$WORK/results/$1" ] && stats "$WORK/results/$1" | cut -d' ' -f1; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "" || b == "" || b == 0) print "n/a"; else printf "%.2fx", a / b }'; }

CURL_VERSION="curl $(curl --version | awk 'NR == 1 { print $2 }')"
LFTP_VERSION="lftp $(lftp --version | awk 'NR == 1 { print $4 }')"
echo
echo "vsftpd $(dpkg-query -W -f='${Version}' vsftpd), $CURL_VERSION, $LFTP_VERSION, kernel $(uname -r)," \
    "$(nproc) x $(awk -F': ' '/model name/ { print $2; exit }' /proc/cpuinfo); work folder on $base"
printf '%-26s %-14s %10s %10s %10s  %-8s %s\n' scenario tool median min max unit "every run, in order"
row() {
    local file=$WORK/results/$1.$2
    [ -s "$file" ] || return 0
    read -r med lo hi <<<"$(stats "$file")"
    local tool=$2
    case $tool in curl) tool=$CURL_VERSION ;; lftp) tool=$LFTP_VERSION ;; esac
    printf '%-26s %-14s %10s %10s %10s  %-8s %s\n' "$3" "$tool" "$med" "$lo" "$hi" "$4" "$(tr '\n' ' ' <"$file")"
}
row fixed tarnlow "tiny file (fixed cost)" ms
row fixed curl "tiny file (fixed cost)" ms
row upload tarnlow "upload $BIG_MIB MiB" MB/s
row upload curl "upload $BIG_MIB MiB" MB/s
row download tarnlow "download $BIG_MIB MiB" MB/s
row download curl "download $BIG_MIB MiB" MB/s
row peak tarnlow "peak RSS, $BIG_MIB MiB" MiB
row tree tarnlow "tree 2,000 x 4 KiB" files/s
row tree lftp "tree 2,000 x 4 KiB" files/s
row fetch-many tarnlow "fetch 1,000 of 10,000" files/s
row fetch-many lftp "fetch 1,000 of 10,000" files/s
row listing tarnlow "listing 10,000 entries" ms
row listing lftp "listing 10,000 entries" ms
row stall tarnlow "listing: longest gap" ms
row window-upload-stall tarnlow "window: upload, gap" ms
row window-download-stall tarnlow "window: download, gap" ms
row window-tree-stall tarnlow "window: tree, gap" ms
row window-list-stall tarnlow "window: listing, gap" ms
row busy tarnlow "window thread busy" ms
row window-steal tarnlow "window: host's steal" ms
row window-idle tarnlow "window: RSS idle" MiB
row window-peak tarnlow "window: RSS peak, $BIG_MIB MiB" MiB
row drop-30k tarnlow "drop $DROP_FILES files" files/s
row drop-first tarnlow "drop: first half" files/s
row drop-second tarnlow "drop: second half" files/s
row drop-ratio tarnlow "drop: second / first" x
row drop-tw-before tarnlow "drop: TIME_WAIT before" sockets
row drop-tw-after tarnlow "drop: TIME_WAIT after" sockets

# Scenarios left out with --only leave some of these files missing.
peak=$(cat "$WORK/results/peak.tarnlow" "$WORK/results/window-peak.tarnlow" 2>/dev/null | sort -g | tail -1 || true)
stall=$(cat "$WORK/results/stall.tarnlow" "$WORK/results/window-stall.tarnlow" 2>/dev/null | sort -g | tail -1 || true)
busy=$(sort -g "$WORK/results/busy.tarnlow" 2>/dev/null | tail -1 || true)
if [ $PROFILE = 1 ]; then
    # Where our processor time went, by scenario: the busiest places with their
    # share of it, then that time beside the run's length (the rest is waiting,
    # mostly for the server).
    for name in $SCENARIOS; do
        data=$WORK/profiles/$name.data
        [ -s "$data" ] || continue
        echo
        echo "profile: $name"
        perf report -i "$data" --stdio --no-children -g none --sort dso,sym --percent-limit 2 2>/dev/null \
            | grep -E '^ +[0-9]' | head -15
        perf report -i "$data" --stdio --no-children -g none --sort comm 2>/dev/null \
            | awk -v wall="$(cat "$WORK/profiles/$name.ms" 2>/dev/null)" '/^# Event count/ {
                printf "  processor time %.0f ms, start-up included", $NF / 1e6
                if (wall != "") printf "; the operation took %s ms", wall
                print "" }'
    done
fi
echo
echo "bench: upload $(ratio "$(median upload.tarnlow)" "$(median upload.curl)") curl," \
    "download $(ratio "$(median download.tarnlow)" "$(median download.curl)") curl," \
    "tree $(ratio "$(median tree.tarnlow)" "$(median tree.lftp)") lftp," \
    "fetch-many $(ratio "$(median fetch-many.tarnlow)" "$(median fetch-many.lftp)") lftp," \
    "listing $(ratio "$(median listing.tarnlow)" "$(median listing.lftp)") lftp," \
    "drop-30k $(median drop-ratio.tarnlow || echo n/a)," \
    "peak ${peak:-n/a} MiB, stall ${stall:-n/a} ms, busy ${busy:-n/a} ms, fixed $(median fixed.tarnlow || echo n/a) ms"
