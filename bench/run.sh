#!/usr/bin/env bash
# The benchmark: Tarnlow beside curl and lftp against a real vsftpd on the
# loopback, active mode, binary. Installs what it needs from Debian, builds the
# driver (bench/tarnlow_bench.cpp), starts vsftpd on 127.66.0.1 for a user of its
# own, creates the data, runs every scenario several times with the tools taking
# turns run by run, stops the server, and prints a table (median, min, max) and
# a summary line. The wan scenarios put every tool behind a latency proxy of
# the benchmark's own (bench/latency_proxy.py) and count round trips from its
# log; the xvfb scenarios run the real window on an X server (Xvfb). The far
# tree and download (wan-tree, wan-fetch) run against several servers in turn:
# vsftpd, pyftpdlib, proftpd and Pure-FTPd (the last two unpacked from Debian's
# packages into the build folder, never installed). See docs/performance.md
# for what each scenario does.
#
# Usage: bench/run.sh [--runs N] [--quick] [--only SCENARIO,...] [--delay-ms MS] [--servers NAME,...] [--profile] [--keep]
#   --runs N   runs of each scenario and tool (default 6; 16 for the 1 GiB
#              transfers, which are quick and the noisiest; 5 for the 1 GiB
#              transfers through the window; 3 for the long drop, which has no
#              peer; 2 for the wan scenarios, which are slow); an even number
#              lets each tool go first equally often
#   --quick    one run, 256 MiB instead of 1 GiB, a drop of 6,000 files instead of
#              30,000, the far tree and download against vsftpd only
#   --only     a subset of: fixed upload download tree fetch-many listing drop-30k window
#              wan-tree wan-fetch wan-tiny window-fetch window-tree window-tiny
#              window-big-up window-big-down listing-100k, or a group: wan (the
#              three wan-*), xvfb (the five window-* and listing-100k)
#   --delay-ms the proxy's delay each way in the wan scenarios (default 20: a
#              round trip of 40 ms)
#   --servers  the servers of wan-tree and wan-fetch, a subset of: vsftpd
#              pyftpdlib proftpd pureftpd (default all four); the other
#              scenarios always run against vsftpd
#   --profile  one run of each scenario, our side under `perf record -g`; prints
#              where its processor time went (our threads and the kernel on
#              their behalf), and how much of the run that time was; the tiny
#              file through the window is run once more through the proxy with
#              no delay, to time its steps and list its commands
#   --keep     leave the work folder in place (its path is printed)
# Needs root (a user for the server, ports 20 and 21); re-runs itself with sudo.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
ARGS=("$@")
SCENARIOS="fixed upload download tree fetch-many listing drop-30k window wan-tree wan-fetch wan-tiny window-fetch window-tree window-tiny window-big-up window-big-down listing-100k"
RUNS=6
BIG_RUNS=16
WINDOW_BIG_RUNS=5
DROP_RUNS=3
WAN_RUNS=2
DELAY_MS=20
WAN_SERVERS_ALL="vsftpd pyftpdlib proftpd pureftpd"
WAN_SERVERS=
BIG_MIB=1024
DROP_FILES=30000
ONLY=
KEEP=0
PROFILE=0
while [ $# -gt 0 ]; do
    case "$1" in
    --runs) RUNS=${2:-}; BIG_RUNS=${2:-}; WINDOW_BIG_RUNS=${2:-}; DROP_RUNS=${2:-}; WAN_RUNS=${2:-}; shift $(($# > 1 ? 2 : 1)) ;;
    --quick) RUNS=1; BIG_RUNS=1; WINDOW_BIG_RUNS=1; DROP_RUNS=1; WAN_RUNS=1; BIG_MIB=256; DROP_FILES=6000; WAN_SERVERS=${WAN_SERVERS:-vsftpd}; shift ;;
    --only) ONLY=",${2:-},"; shift $(($# > 1 ? 2 : 1)) ;;
    --delay-ms) DELAY_MS=${2:-}; shift $(($# > 1 ? 2 : 1)) ;;
    --servers) WAN_SERVERS=${2:-}; WAN_SERVERS=${WAN_SERVERS//,/ }; [ -n "$WAN_SERVERS" ] || WAN_SERVERS=" "; shift $(($# > 1 ? 2 : 1)) ;;
    --profile) PROFILE=1; RUNS=1; BIG_RUNS=1; WINDOW_BIG_RUNS=1; DROP_RUNS=1; WAN_RUNS=1; shift ;;
    --keep) KEEP=1; shift ;;
    *) sed -n '2,/^set -e/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2; exit 2 ;;
    esac
done
[[ "$RUNS" =~ ^[1-9][0-9]?$ ]] || { echo "--runs takes a number from 1 to 99" >&2; exit 2; }
[[ "$DELAY_MS" =~ ^[0-9]{1,4}$ ]] || { echo "--delay-ms takes a number of milliseconds from 0 to 9999" >&2; exit 2; }
ONLY=${ONLY//,wan,/,wan-tree,wan-fetch,wan-tiny,}
ONLY=${ONLY//,xvfb,/,window-fetch,window-tree,window-tiny,window-big-up,window-big-down,listing-100k,}
for name in ${ONLY//,/ }; do
    [[ " $SCENARIOS wan xvfb " == *" $name "* ]] || { echo "--only takes names from: $SCENARIOS, or wan, xvfb" >&2; exit 2; }
done
WAN_SERVERS=${WAN_SERVERS:-$WAN_SERVERS_ALL}
[ -n "${WAN_SERVERS// /}" ] || { echo "--servers takes names from: $WAN_SERVERS_ALL" >&2; exit 2; }
for name in $WAN_SERVERS; do
    [[ " $WAN_SERVERS_ALL " == *" $name "* ]] || { echo "--servers takes names from: $WAN_SERVERS_ALL" >&2; exit 2; }
done
if [ "$(id -u)" -ne 0 ]; then
    exec sudo "$0" "${ARGS[@]}"
fi

HOST=127.66.0.1 # a loopback address of its own: the tests use 127.1/16 and 127.2/16, the demo server 127.0.0.21
PROXY_HOST=127.66.0.2 # the latency proxy in front of it
FTP_HOST=$HOST # where the tools connect: the server, or the proxy in the wan scenarios
BENCH_USER=tarnbench
BUILD=${BENCH_BUILD:-$ROOT/build-bench}
wanted() { [ -z "$ONLY" ] || [[ "$ONLY" == *",$1,"* ]]; }
# The servers of the far tree and download, each on an address of its own;
# vsftpd is the one every other scenario uses.
declare -A SERVER_HOSTS=([vsftpd]=$HOST [pyftpdlib]=127.66.0.3 [proftpd]=127.66.0.4 [pureftpd]=127.66.0.5)
wanted wan-tree || wanted wan-fetch || WAN_SERVERS=vsftpd

# --- what the benchmark needs, from Debian ---------------------------------
"$ROOT/scripts/install-deps.sh"
missing=()
wanted_packages="vsftpd curl lftp python3 iproute2 xvfb"
[[ " $WAN_SERVERS " != *" pyftpdlib "* ]] || wanted_packages+=" python3-pyftpdlib"
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
for server in vsftpd $WAN_SERVERS; do
    host=${SERVER_HOSTS[$server]}
    if ss -Hltn "( sport = :21 )" | awk '{ print $4 }' | grep -Eq "^(0\.0\.0\.0|\*|\[::\]|$host):21$"; then
        echo "port 21 of $host is taken already (a server listening on every address?):" >&2
        ss -ltnp "( sport = :21 )" >&2
        exit 1
    fi
done

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
PROXY_PID=
XVFB_PID=
OTHER_PIDS=() # the far scenarios' other servers
USER_MADE=0
cleanup() {
    for pid in "$PROXY_PID" "$XVFB_PID" "$SERVER_PID" "${OTHER_PIDS[@]}"; do
        [ -n "$pid" ] || continue
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
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
mkdir -p "$HOME_DIR"/{up,down,tree,many,drop,window,many1000}
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
# For the far server and the window: 200 files of 4 KiB in 4 folders, dropped
# as one folder, and a folder of 1,000 files of 4 KiB on the server, all of
# which the window fetches, 100 of which are fetched from far.
for d in range(4):
    folder = os.path.join(data, 'tree200', 'folder-%d' % d)
    os.makedirs(folder)
    for n in range(50):
        write(os.path.join(folder, 'file-%02d.dat' % n), 4096, 'tree200 %d %d' % (d, n))
names = ['file-%04d.dat' % i for i in range(1000)]
for name in names:
    write(os.path.join(home, 'many1000', name), 4096, 'many1000 ' + name)
with open(os.path.join(data, 'all1000.txt'), 'w') as f:
    f.write('\n'.join(names) + '\n')
with open(os.path.join(data, 'sel100.txt'), 'w') as f:
    f.write('\n'.join(names[5::10]) + '\n')
# The big drop: small files, 1,000 to a folder.
for n in range(drop_files):
    folder = os.path.join(data, 'drop', 'part-%02d' % (n // 1000))
    if n % 1000 == 0:
        os.makedirs(folder)
    write(os.path.join(folder, 'small-%05d.txt' % n), 1024, 'drop %d' % n)
PYEOF
# A folder of 100,000 entries (every tenth a folder, the rest empty files),
# which the window lists at its start.
if wanted listing-100k; then
    python3 - "$HOME_DIR/list100k" <<'PYEOF'
import os, sys
for i in range(100000):
    path = os.path.join(sys.argv[1], 'entry-%06d' % i)
    if i % 10 == 0:
        os.makedirs(path)
    else:
        open(path + '.dat', 'wb').close()
PYEOF
fi
chown -R "$BENCH_USER:" "$HOME_DIR"

vsftpd "$WORK/vsftpd.conf" >"$WORK/vsftpd.log" 2>&1 &
SERVER_PID=$!
for _ in $(seq 100); do
    ss -Hltn "( sport = :21 )" | grep -q "$HOST:21" && break
    kill -0 "$SERVER_PID" 2>/dev/null || { echo "vsftpd did not start:" >&2; cat "$WORK/vsftpd.log" >&2; exit 1; }
    sleep 0.1
done
ss -Hltn "( sport = :21 )" | grep -q "$HOST:21" || { echo "vsftpd does not listen on $HOST:21" >&2; exit 1; }

# --- the far scenarios' other servers, serving the same folder to the same user --
# proftpd and Pure-FTPd come from Debian's packages, fetched with apt-get
# download and unpacked into the build folder (never installed), with those
# of their libraries this machine lacks, followed through the libraries' own
# dependencies; a later run finds them there.
SERVERS_ROOT=$BUILD/servers/root
SERVER_LIBS=$SERVERS_ROOT/usr/lib/x86_64-linux-gnu
unpack_server() {
    local dir=$BUILD/servers/debs want=("$@") next deb dep lib
    mkdir -p "$dir" "$SERVERS_ROOT"
    for _ in 1 2 3 4; do
        [ ${#want[@]} -gt 0 ] || break
        next=()
        for dep in "${want[@]}"; do
            if ! compgen -G "$dir/${dep}_*.deb" >/dev/null; then
                (cd "$dir" && apt-get download -q=2 "$dep" 2>/dev/null) \
                    || { apt-get update -qq && (cd "$dir" && apt-get download -q=2 "$dep" 2>/dev/null); } \
                    || { echo "apt-get download $dep failed" >&2; exit 1; }
            fi
            deb=$(compgen -G "$dir/${dep}_*.deb" | head -1)
            dpkg -x "$deb" "$SERVERS_ROOT"
            for lib in $(dpkg-deb -f "$deb" Depends | tr ',|' '\n\n' | awk '$1 ~ /^lib/ { sub(/:.*/, "", $1); print $1 }'); do
                dpkg-query -W -f='${Status}' "$lib" 2>/dev/null | grep -q "ok installed" && continue
                compgen -G "$dir/${lib}_*.deb" >/dev/null || next+=("$lib")
            done
        done
        want=("${next[@]}")
    done
}
# start_server NAME COMMAND...: start one of them, wait until it listens on its address.
start_server() {
    local name=$1 host=${SERVER_HOSTS[$1]}
    shift
    "$@" >"$WORK/$name.log" 2>&1 </dev/null &
    OTHER_PIDS+=($!)
    for _ in $(seq 100); do
        ss -Hltn "( sport = :21 )" | grep -q "$host:21" && return 0
        kill -0 "${OTHER_PIDS[-1]}" 2>/dev/null || break
        sleep 0.1
    done
    cat "$WORK/$name.log" >&2
    echo "$name does not listen on $host:21" >&2
    exit 1
}
for server in $WAN_SERVERS; do
    case $server in
    pyftpdlib)
        # A plain pyftpdlib server (Debian's python3-pyftpdlib), as a user would run it.
        cat >"$WORK/pyftpdlib-server.py" <<EOF
import sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer
authorizer = DummyAuthorizer()
authorizer.add_user(sys.argv[2], sys.argv[3], sys.argv[4], perm="elradfmwMT")
FTPHandler.authorizer = authorizer
FTPServer((sys.argv[1], 21), FTPHandler).serve_forever()
EOF
        start_server pyftpdlib /usr/bin/python3 "$WORK/pyftpdlib-server.py" "${SERVER_HOSTS[pyftpdlib]}" "$BENCH_USER" "$PASSWORD" "$HOME_DIR"
        ;;
    proftpd)
        [ -x "$SERVERS_ROOT/usr/sbin/proftpd" ] || unpack_server proftpd-core
        cat >"$WORK/proftpd.conf" <<EOF
ServerName "Tarnlow benchmark"
ServerType standalone
UseIPv6 off
Port 21
DefaultAddress ${SERVER_HOSTS[proftpd]}
SocketBindTight on
ModulePath $SERVERS_ROOT/usr/lib/proftpd
User nobody
Group nogroup
Umask 022
AllowOverwrite on
AuthOrder mod_auth_unix.c
RequireValidShell off
UseReverseDNS off
WtmpLog off
PidFile $WORK/proftpd.pid
ScoreboardFile $WORK/proftpd.scoreboard
DelayTable none
<IfModule mod_ctrls.c>
  ControlsEngine off
</IfModule>
EOF
        start_server proftpd env LD_LIBRARY_PATH="$SERVER_LIBS" "$SERVERS_ROOT/usr/sbin/proftpd" --nodaemon -c "$WORK/proftpd.conf"
        ;;
    pureftpd)
        [ -x "$SERVERS_ROOT/usr/sbin/pure-ftpd" ] || unpack_server pure-ftpd
        start_server pureftpd env LD_LIBRARY_PATH="$SERVER_LIBS" "$SERVERS_ROOT/usr/sbin/pure-ftpd" \
            --bind "${SERVER_HOSTS[pureftpd]},21" --login unix --noanonymous --dontresolve --ipv4only --umask 133:022
        ;;
    esac
done

# An X server of the benchmark's own for the real window (the wan tiny file,
# the window-* scenarios and listing-100k); it picks a free display number itself.
DISPLAY_NUMBER=
if wanted wan-tiny || wanted window-fetch || wanted window-tree || wanted window-tiny || wanted window-big-up \
    || wanted window-big-down || wanted listing-100k; then
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$WORK/display" 2>"$WORK/xvfb.log" &
    XVFB_PID=$!
    for _ in $(seq 100); do
        [ -s "$WORK/display" ] && break
        kill -0 "$XVFB_PID" 2>/dev/null || { echo "Xvfb did not start:" >&2; cat "$WORK/xvfb.log" >&2; exit 1; }
        sleep 0.1
    done
    DISPLAY_NUMBER=$(tr -dc 0-9 <"$WORK/display")
    [ -n "$DISPLAY_NUMBER" ] || { echo "Xvfb gave no display number" >&2; exit 1; }
fi

# --- running the tools ----------------------------------------------------------
url() { echo "ftp://$BENCH_USER:$PASSWORD@$FTP_HOST"; }
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

# ours MODE ARGS...: the driver, with its figures as "key=value" words in
# $FIGURES; MODE app takes no site (see `ours site`). With --profile it runs
# under perf, one record per scenario ($SCENARIO); the window's scenarios turn
# the profiler on for their timed part only.
QPA=offscreen # the window's platform: xcb on the benchmark's Xvfb for the window-* scenarios
ours() {
    local wrap=() env=() site=("$FTP_HOST" "$BENCH_USER" "$PASSWORD")
    case $1 in app | list-app) site=() ;; esac
    if [ $PROFILE = 1 ]; then
        # SCHED=1: the scheduler's events instead of processor time, to see where the threads waited.
        if [ "${SCHED:-0}" = 1 ]; then
            wrap=(perf record -q -e sched:sched_switch -e sched:sched_wakeup -g -o "$WORK/profiles/$SCENARIO.sched")
        else
            wrap=(perf record -q -e task-clock -g -o "$WORK/profiles/$SCENARIO.data")
        fi
        if [ "$1" = app ] || [ "$1" = list-app ] || [ "$1" = fetch-window ]; then
            rm -f "$WORK/perf.ctl" "$WORK/perf.ack"
            mkfifo "$WORK/perf.ctl" "$WORK/perf.ack"
            wrap+=(-D -1 --control "fifo:$WORK/perf.ctl,$WORK/perf.ack")
            env=(TARNLOW_BENCH_PERF_CTL="$WORK/perf.ctl,$WORK/perf.ack")
        fi
        wrap+=(--)
    fi
    [ "$QPA" = offscreen ] || env+=(DISPLAY=":$DISPLAY_NUMBER")
    # The start stamp is taken as late as the shell can: after it only timeout's
    # own start and its start of the driver (a few ms on a quiet machine).
    FIGURES=$(
        export XDG_CONFIG_HOME="$WORK/config" XDG_RUNTIME_DIR="$WORK/runtime" QT_QPA_PLATFORM=$QPA "${env[@]}"
        TARNLOW_BENCH_T0=$EPOCHREALTIME exec timeout "$LIMIT" "${wrap[@]}" "$DRIVER" "$1" "${site[@]}" "${@:2}" 2>"$WORK/driver.log"
    ) || {
        # SOFT=1: a failed run is the caller's to report, its cause in $OURS_ERROR.
        OURS_ERROR="$(grep -m1 '^tarnlow_bench: ' "$WORK/driver.log" || true) ($FIGURES)"
        [ "${SOFT:-0}" = 0 ] || return 1
        cat "$WORK/driver.log" >&2
        fail "tarnlow_bench $1 failed: $FIGURES"
    }
    [ $PROFILE = 0 ] || [ "${SCHED:-0}" = 1 ] || figure "${PROFILE_KEY:-ms}" >"$WORK/profiles/$SCENARIO.ms"
}
# With --profile, a window scenario runs once more with the scheduler's events
# recorded over its timed part: how long each thread ran, waited for a
# processor, and slept, by what it slept in (bench/sched_waits.py).
sched_waits() {
    SCHED=1 ours "$@"
    perf sched timehist -i "$WORK/profiles/$SCENARIO.sched" -g 2>/dev/null \
        | /usr/bin/python3 "$ROOT/bench/sched_waits.py" "$(figure pid)" >"$WORK/profiles/$SCENARIO.waits"
}
figure() { tr ' ' '\n' <<<"$FIGURES" | awk -F= -v k="$1" '$1 == k { print $2 }'; }
# lftp with a script of commands; its own settings files are not read.
peer_lftp() {
    {
        echo "set ftp:passive-mode off"
        echo "set net:connection-limit ${LFTP_CONNECTIONS:-1}"
        echo "set cmd:fail-exit yes"
        echo "set net:max-retries 2"
        echo "open -u $BENCH_USER,$PASSWORD $FTP_HOST"
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
    timeout "$LIMIT" curl -q -sS -P - -T "$WORK/data/tiny.bin" "$(url)/up/tiny.bin"
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
    timeout "$LIMIT" curl -q -sS -P - -T "$WORK/data/big.bin" "$(url)/up/big.bin"
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
    timeout "$LIMIT" curl -q -sS -P - "$(url)/down/big.bin" -o "$WORK/out/big.bin"
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
# check_selected WHAT [NAMES_FILE SERVER_FOLDER]: the download folder holds
# exactly the named files (by default the 1,000 of fetch-many), each byte for byte.
check_selected() {
    local names=${2:-$WORK/data/selected.txt} folder=$HOME_DIR/${3:-many}
    [ "$(find "$WORK/out" -type f | wc -l)" = "$(wc -l <"$names")" ] || fail "$1: not $(wc -l <"$names") files"
    [ "$(cd "$WORK/out" && xargs cat <"$names" | md5sum)" = \
        "$(cd "$folder" && xargs cat <"$names" | md5sum)" ] || fail "$1: copies differ"
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

# --- a far server: every tool through the latency proxy ---------------------------
PROXY=$ROOT/bench/latency_proxy.py
mkdir -p "$WORK/rt"
# start_proxy LOG [DELAY_MS]: the proxy on $PROXY_HOST:21 in front of $SERVER_HOST,
# logging every control line to LOG. One proxy per run, so each log holds one
# tool's run.
start_proxy() {
    /usr/bin/python3 "$PROXY" serve --listen "$PROXY_HOST:21" --server "$SERVER_HOST:21" --delay-ms "${2:-$DELAY_MS}" \
        --log "$1" --lifetime-s "$LIMIT" 2>>"$WORK/proxy.err" &
    PROXY_PID=$!
    for _ in $(seq 100); do
        ss -Hltn "( sport = :21 )" | grep -q "$PROXY_HOST:21" && return 0
        kill -0 "$PROXY_PID" 2>/dev/null || break
        sleep 0.05
    done
    cat "$WORK/proxy.err" >&2
    fail "the latency proxy does not listen on $PROXY_HOST:21"
}
stop_proxy() {
    kill "$PROXY_PID" 2>/dev/null || true
    wait "$PROXY_PID" 2>/dev/null || true
    PROXY_PID=
}
# round_trips SCENARIO TOOL FILES: the round trips per file in the last proxy
# log (its commands, connection by connection, are kept in $WORK/rt).
round_trips() {
    local out=$WORK/rt/$1.$2
    /usr/bin/python3 "$PROXY" count "$WORK/proxy.log" --files "$3" --commands >"$out"
    record "$1-rt" "$2" "$(head -1 "$out" | tr ' ' '\n' | awk -F= '$1 == "rt_per_file" { print $2 }')"
}
far() { FTP_HOST=$PROXY_HOST "$@"; }

# The far tree and download run against each server of $WAN_SERVERS in turn.
# A run that fails or leaves a wrong copy is a figure too: it is kept as a
# failure of that server and tool (the reason in SCENARIO.TOOL.failed) and
# the benchmark goes on. vsftpd's figures keep the scenario's own name,
# another server's are SCENARIO@SERVER.
SERVER=vsftpd
SERVER_HOST=$HOST # the server behind the proxy
on_server() { SERVER=$1 SERVER_HOST=${SERVER_HOSTS[$1]}; }
wan_key() { [ "$SERVER" = vsftpd ] && echo "$1" || echo "$1@$SERVER"; }
record_failure() { [ $RECORDING = 0 ] || echo "$3" >>"$WORK/results/$1.$2.failed"; }
# copies_check COMMAND...: runs a check (diff, or one that calls fail) without
# ending the benchmark; what it printed is left in $CHECK_ERROR.
copies_check() {
    CHECK_ERROR=$( ("$@") 2>&1) && return 0
    CHECK_ERROR=${CHECK_ERROR#bench: }
    return 1
}
# wan_tool_run KEY TOOL FILES COMMAND...: one tool's run against the current
# server through a proxy of its own; the files per second, or the failure.
wan_tool_run() {
    local key=$1 tool=$2 files=$3 ok=1 ms t0
    shift 3
    start_proxy "$WORK/proxy.log"
    t0=$(now_ms)
    if [ "$tool" = tarnlow ]; then
        SOFT=1 far ours "$@" || ok=0
        ms=$(figure ms)
    else
        far "$@" >/dev/null 2>"$WORK/peer.err" || { ok=$?; OURS_ERROR="exit status $ok: $(tail -1 "$WORK/peer.err")"; ok=0; }
        ms=$(($(now_ms) - t0))
    fi
    stop_proxy
    if [ $ok = 1 ]; then
        round_trips "$key" "$tool" "$files"
        WAN_MS=$ms
        return 0
    fi
    RECORDING=0 round_trips "$key" "$tool" "$files" # its commands are kept, not its count
    record_failure "$key" "$tool" "$OURS_ERROR"
    return 1
}
run_wan_tree() {
    local key
    for server in $WAN_SERVERS; do
        on_server "$server"
        key=$(wan_key wan-tree)
        fresh_remote wtree
        wan_tool_run "$key" tarnlow 200 upload wtree "$WORK/data/tree200" || continue
        if copies_check diff -rq "$WORK/data/tree200" "$HOME_DIR/wtree/tree200"; then
            record "$key" tarnlow "$(files_per_s 200 "$WAN_MS")"
        else
            record_failure "$key" tarnlow "copies differ: $(head -1 <<<"$CHECK_ERROR")"
        fi
    done
    on_server vsftpd
}
# lftp with one connection, then with four as a reference line.
run_wan_tree_peer() {
    local tool connections key
    for server in $WAN_SERVERS; do
        on_server "$server"
        key=$(wan_key wan-tree)
        for tool in lftp lftp4; do
            connections=1
            [ $tool = lftp ] || connections=4
            fresh_remote wtree
            LFTP_CONNECTIONS=$connections wan_tool_run "$key" $tool 200 \
                peer_lftp <<<"mirror -R --parallel=$connections $WORK/data/tree200 wtree/tree200" || continue
            if copies_check diff -rq "$WORK/data/tree200" "$HOME_DIR/wtree/tree200"; then
                record "$key" $tool "$(files_per_s 200 "$WAN_MS")"
            else
                record_failure "$key" $tool "copies differ: $(head -1 <<<"$CHECK_ERROR")"
            fi
        done
    done
    on_server vsftpd
}
run_wan_fetch() {
    local key
    for server in $WAN_SERVERS; do
        on_server "$server"
        key=$(wan_key wan-fetch)
        fresh_local
        wan_tool_run "$key" tarnlow 100 download many1000 "$WORK/out" "$WORK/data/sel100.txt" || continue
        if copies_check check_selected "$key" "$WORK/data/sel100.txt" many1000; then
            record "$key" tarnlow "$(files_per_s 100 "$WAN_MS")"
        else
            record_failure "$key" tarnlow "$CHECK_ERROR"
        fi
    done
    on_server vsftpd
}
run_wan_fetch_peer() {
    local key
    for server in $WAN_SERVERS; do
        on_server "$server"
        key=$(wan_key wan-fetch)
        fresh_local
        wan_tool_run "$key" lftp 100 peer_lftp \
            <<<"$(echo "cd many1000"; echo "lcd $WORK/out"; echo "mget $(tr '\n' ' ' <"$WORK/data/sel100.txt")")" || continue
        if copies_check check_selected "lftp $key" "$WORK/data/sel100.txt" many1000; then
            record "$key" lftp "$(files_per_s 100 "$WAN_MS")"
        else
            record_failure "$key" lftp "$CHECK_ERROR"
        fi
    done
    on_server vsftpd
}
# The program itself, started with the file on its command line, to its completion dialog.
run_wan_tiny() {
    fresh_remote up
    far ours site up
    start_proxy "$WORK/proxy.log"
    QPA=xcb PROFILE_KEY=process_ms far ours app "$WORK/data/tiny.bin"
    stop_proxy
    record wan-tiny tarnlow "$(figure process_ms)"
    round_trips wan-tiny tarnlow 1
    cmp -s "$WORK/data/tiny.bin" "$HOME_DIR/up/tiny.bin" || fail "wan-tiny: copy differs"
}
run_wan_tiny_peer() {
    fresh_remote up
    start_proxy "$WORK/proxy.log"
    t0=$(now_ms)
    timeout "$LIMIT" curl -q -sS -P - -T "$WORK/data/tiny.bin" "$(far url)/up/tiny.bin"
    record wan-tiny curl $(($(now_ms) - t0))
    stop_proxy
    round_trips wan-tiny curl 1
    cmp -s "$WORK/data/tiny.bin" "$HOME_DIR/up/tiny.bin" || fail "curl wan-tiny: copy differs"
}

# --- the real window on the benchmark's X server --------------------------------
# Processor time the X server has used so far, in clock ticks: what our painting costs it.
xvfb_ticks() { awk '{ print $14 + $15 }' "/proc/$XVFB_PID/stat"; }
# record_window SCENARIO: where the window's thread and the transfer's worker
# spent the timed part.
record_window() {
    record "$1-hops" tarnlow "$(figure ui_hops_ms)"
    record "$1-hop-count" tarnlow "$(figure ui_hops)"
    record "$1-paint" tarnlow "$(figure ui_paint_ms)"
    record "$1-paint-count" tarnlow "$(figure ui_paint)"
    record "$1-xvfb" tarnlow "$(awk -v a="$XVFB_TICKS" -v b="$(xvfb_ticks)" -v hz="$(getconf CLK_TCK)" 'BEGIN { printf "%.0f", (b - a) * 1000 / hz }')"
    record "$1-main" tarnlow "$(figure main_cpu_ms)"
    record "$1-worker" tarnlow "$(figure worker_cpu_ms)"
}
run_window_fetch() {
    settle_time_waits 10000
    fresh_local
    XVFB_TICKS=$(xvfb_ticks)
    QPA=xcb ours fetch-window many1000 "$WORK/out" "$WORK/data/all1000.txt"
    record window-fetch tarnlow "$(files_per_s 1000 "$(figure ms)")"
    record_window window-fetch
    for step in name relist listed; do
        record "window-fetch-$step" tarnlow "$(figure at_${step}_ms)"
    done
    check_selected window-fetch "$WORK/data/all1000.txt" many1000
    [ $PROFILE = 0 ] || { fresh_local; QPA=xcb sched_waits fetch-window many1000 "$WORK/out" "$WORK/data/all1000.txt"; }
}
# lftp, and as reference lines our core without the window (the same walk and
# listing, its reports carried to an idle main thread), and the core once more
# with its reports kept on the worker (no hops at all).
run_window_fetch_peer() {
    settle_time_waits 10000
    fresh_local
    t0=$(now_ms)
    { echo "cd many1000"; echo "lcd $WORK/out"; echo "mget $(tr '\n' ' ' <"$WORK/data/all1000.txt")"; } | peer_lftp >/dev/null
    record window-fetch lftp "$(files_per_s 1000 $(($(now_ms) - t0)))"
    check_selected "lftp window-fetch" "$WORK/data/all1000.txt" many1000
    core_reference window-fetch 1000 download many1000 "$WORK/out" "$WORK/data/all1000.txt"
    check_selected "core window-fetch" "$WORK/data/all1000.txt" many1000
}
# core_reference SCENARIO FILES MODE ARGS...: the driver's core run beside a window scenario.
core_reference() {
    local name=$1 files=$2 variant
    for variant in core core-direct; do
        settle_time_waits 10000
        [ "$3" = download ] && fresh_local || fresh_remote wtree
        PROFILE=0 TARNLOW_BENCH_REPORTS=${variant#core-} ours "${@:3}"
        record "$name" $variant "$(files_per_s "$files" "$(figure ms)")"
    done
}
run_window_tree() {
    settle_time_waits 10000
    fresh_remote wtree
    ours site wtree
    XVFB_TICKS=$(xvfb_ticks)
    QPA=xcb PROFILE_KEY=window_ms ours app "$WORK/data/tree2000"
    record window-tree tarnlow "$(files_per_s 2000 "$(figure window_ms)")"
    record_window window-tree
    diff -rq "$WORK/data/tree2000" "$HOME_DIR/wtree/tree2000" >/dev/null || fail "window-tree: copies differ"
    [ $PROFILE = 0 ] || { settle_time_waits 10000; fresh_remote wtree; QPA=xcb sched_waits app "$WORK/data/tree2000"; }
}
run_window_tree_peer() {
    settle_time_waits 10000
    fresh_remote wtree
    t0=$(now_ms)
    peer_lftp <<<"mirror -R $WORK/data/tree2000 wtree/tree2000" >/dev/null
    record window-tree lftp "$(files_per_s 2000 $(($(now_ms) - t0)))"
    diff -rq "$WORK/data/tree2000" "$HOME_DIR/wtree/tree2000" >/dev/null || fail "lftp window-tree: copies differ"
    core_reference window-tree 2000 upload wtree "$WORK/data/tree2000"
    diff -rq "$WORK/data/tree2000" "$HOME_DIR/wtree/tree2000" >/dev/null || fail "core window-tree: copies differ"
}
run_window_tiny() {
    fresh_remote up
    ours site up
    QPA=xcb PROFILE_KEY=process_ms ours app "$WORK/data/tiny.bin"
    record window-tiny tarnlow "$(figure process_ms)"
    for step in main app window shown step relist listed; do
        record "window-tiny-$step" tarnlow "$(figure at_${step}_ms)"
    done
    cmp -s "$WORK/data/tiny.bin" "$HOME_DIR/up/tiny.bin" || fail "window-tiny: copy differs"
    [ $PROFILE = 0 ] || tiny_steps
}
# The program started on a site whose folder holds 100,000 entries, until its
# list is filled and painted: the time from the process's start, and the
# window's memory then, beside lftp's whole `cls -1` of the folder.
run_listing_100k() {
    ours site list100k
    QPA=xcb ours list-app 100001
    [ "$(figure rows)" = 100001 ] || fail "listing-100k: $(figure rows) rows instead of 100,001"
    record listing-100k tarnlow "$(figure ms)"
    record listing-100k-first-row tarnlow "$(figure first_row_ms)"
    record listing-100k-rss tarnlow "$(figure rss_mib)"
    record listing-100k-hwm tarnlow "$(figure hwm_mib)"
    record listing-100k-stall tarnlow "$(figure stall_ms)"
    record listing-100k-busy tarnlow "$(figure busy_ms)"
}
run_listing_100k_peer() {
    t0=$(now_ms)
    peer_lftp <<<"cls -1 list100k" >"$WORK/listing.txt"
    record listing-100k lftp $(($(now_ms) - t0))
    [ "$(wc -l <"$WORK/listing.txt")" = 100000 ] || fail "lftp listing-100k: $(wc -l <"$WORK/listing.txt") lines"
}
# With --profile: the tiny file once more, through the proxy with no delay and
# without perf, its steps and every control line on one clock from the
# process's start.
tiny_steps() {
    fresh_remote up
    far ours site up
    start_proxy "$WORK/proxy.log" 0
    QPA=xcb PROFILE=0 far ours app "$WORK/data/tiny.bin"
    stop_proxy
    {
        tr ' ' '\n' <<<"$FIGURES" | awk -F= '/^at_/ { sub(/^at_/, "", $1); sub(/_ms$/, "", $1); printf "%8.1f  window: %s\n", $2, $1 }'
        awk -F'\t' -v t0="$(figure t0_us)" '{ printf "%8.1f  %s %s %s\n", $1 - t0 / 1000, $2, $3, $4 }' "$WORK/proxy.log"
    } | sort -g >"$WORK/profiles/window-tiny.steps"
}
# The program itself with the big file on its command line, from the process's
# start to its completion dialog, beside curl's whole upload.
run_window_big_up() {
    fresh_remote up
    ours site up
    XVFB_TICKS=$(xvfb_ticks)
    QPA=xcb PROFILE_KEY=process_ms ours app "$WORK/data/big.bin"
    record window-big-up tarnlow "$(mb_per_s $BIG_BYTES "$(figure process_ms)")"
    record_window window-big-up
    cmp -s "$WORK/data/big.bin" "$HOME_DIR/up/big.bin" || fail "window-big-up: copy differs"
    [ $PROFILE = 0 ] || { fresh_remote up; QPA=xcb sched_waits app "$WORK/data/big.bin"; }
}
run_window_big_up_peer() {
    fresh_remote up
    t0=$(now_ms)
    timeout "$LIMIT" curl -q -sS -P - -T "$WORK/data/big.bin" "$(url)/up/big.bin"
    record window-big-up curl "$(mb_per_s $BIG_BYTES $(($(now_ms) - t0)))"
    cmp -s "$WORK/data/big.bin" "$HOME_DIR/up/big.bin" || fail "curl window-big-up: copy differs"
}
# The user's download of the big file, driven as window-fetch drives it: the
# window starts and lists the folder, the file is selected and Download
# clicked; from the click to the completion dialog, beside curl's whole download.
run_window_big_down() {
    fresh_local
    echo big.bin >"$WORK/big.name"
    XVFB_TICKS=$(xvfb_ticks)
    QPA=xcb ours fetch-window down "$WORK/out" "$WORK/big.name"
    record window-big-down tarnlow "$(mb_per_s $BIG_BYTES "$(figure ms)")"
    record_window window-big-down
    cmp -s "$WORK/data/big.bin" "$WORK/out/big.bin" || fail "window-big-down: copy differs"
    [ $PROFILE = 0 ] || { fresh_local; QPA=xcb sched_waits fetch-window down "$WORK/out" "$WORK/big.name"; }
}
run_window_big_down_peer() {
    fresh_local
    t0=$(now_ms)
    timeout "$LIMIT" curl -q -sS -P - "$(url)/down/big.bin" -o "$WORK/out/big.bin"
    record window-big-down curl "$(mb_per_s $BIG_BYTES $(($(now_ms) - t0)))"
    cmp -s "$WORK/data/big.bin" "$WORK/out/big.bin" || fail "curl window-big-down: copy differs"
}
# Each scenario's runs, the tools taking turns (and going first in turn).
scenario() {
    local name=$1 ours_fn=$2 peer_fn=${3:-} runs=$RUNS
    wanted "$name" || return 0
    SCENARIO=$name
    case $name in
    upload | download) runs=$BIG_RUNS ;;
    window-big-*) runs=$WINDOW_BIG_RUNS ;;
    drop-30k) runs=$DROP_RUNS ;;
    wan-*) runs=$WAN_RUNS ;;
    esac
    printf '%-11s' "$name"
    # The first gigabyte written into fresh memory of this virtual machine runs
    # at a third of the speed of later ones, whichever tool writes it: each
    # tool moves it once before the runs that count.
    if [[ $name == upload || $name == download || $name == window-big-* ]] && [ $PROFILE = 0 ]; then
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

LOAD_START=$(cut -d' ' -f1-3 /proc/loadavg)
echo "Running $RUNS run(s) of each scenario ($BIG_RUNS of the $BIG_MIB MiB transfers, $WINDOW_BIG_RUNS of those through the window, $DROP_RUNS of the drop," \
    "$WAN_RUNS of the wan ones through a proxy adding $DELAY_MS ms each way) against vsftpd on $HOST (active mode)"
! wanted wan-tree && ! wanted wan-fetch || echo "The far tree and download against: $WAN_SERVERS"
scenario fixed run_fixed run_fixed_peer
scenario upload run_upload run_upload_peer
scenario download run_download run_download_peer
scenario tree run_tree run_tree_peer
scenario fetch-many run_fetch_many run_fetch_many_peer
scenario listing run_listing run_listing_peer
scenario window run_window
scenario wan-tree run_wan_tree run_wan_tree_peer
scenario wan-fetch run_wan_fetch run_wan_fetch_peer
scenario wan-tiny run_wan_tiny run_wan_tiny_peer
scenario window-fetch run_window_fetch run_window_fetch_peer
scenario window-tree run_window_tree run_window_tree_peer
scenario window-tiny run_window_tiny
scenario window-big-up run_window_big_up run_window_big_up_peer
scenario window-big-down run_window_big_down run_window_big_down_peer
scenario listing-100k run_listing_100k run_listing_100k_peer
scenario drop-30k run_drop

# --- the table and the summary ---------------------------------------------------
# stats FILE: "median min max" of the values in FILE.
stats() {
    sort -g "$1" | awk '{ v[NR] = $1 } END {
        m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
        printf "%s %s %s", m, v[1], v[NR] }'
}
median() { [ -s "$WORK/results/$1" ] && stats "$WORK/results/$1" | cut -d' ' -f1; }
# spread FILE: the fastest run over the slowest.
spread() { [ -s "$WORK/results/$1" ] && stats "$WORK/results/$1" | awk '{ if ($2 > 0) printf "%.2f", $3 / $2; else print "n/a" }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "" || b == "" || b == 0) print "n/a"; else printf "%.2fx", a / b }'; }

CURL_VERSION="curl $(curl --version | awk 'NR == 1 { print $2 }')"
LFTP_VERSION="lftp $(lftp --version | awk 'NR == 1 { print $4 }')"
echo
echo "vsftpd $(dpkg-query -W -f='${Version}' vsftpd), $CURL_VERSION, $LFTP_VERSION, kernel $(uname -r)," \
    "$(nproc) x $(awk -F': ' '/model name/ { print $2; exit }' /proc/cpuinfo); work folder on $base;" \
    "load average $LOAD_START at the start, $(cut -d' ' -f1-3 /proc/loadavg) at the end"
# The far scenarios' other servers, by their Debian packages.
versions=
for server in ${WAN_SERVERS/vsftpd/}; do
    case $server in
    pyftpdlib) versions+="${versions:+, }pyftpdlib $(dpkg-query -W -f='${Version}' python3-pyftpdlib)" ;;
    proftpd) versions+="${versions:+, }proftpd $(dpkg-deb -f "$(compgen -G "$BUILD/servers/debs/proftpd-core_*.deb" | head -1)" Version)" ;;
    pureftpd) versions+="${versions:+, }Pure-FTPd $(dpkg-deb -f "$(compgen -G "$BUILD/servers/debs/pure-ftpd_*.deb" | head -1)" Version)" ;;
    esac
done
[ -z "$versions" ] || echo "far servers beside vsftpd: $versions"
printf '%-30s %-14s %10s %10s %10s  %-8s %s\n' scenario tool median min max unit "every run, in order"
row() {
    local file=$WORK/results/$1.$2 med=failed lo=- hi=-
    [ -s "$file" ] || [ -s "$file.failed" ] || return 0
    [ ! -s "$file" ] || read -r med lo hi <<<"$(stats "$file")"
    local tool=$2
    case $tool in
    curl) tool=$CURL_VERSION ;; lftp) tool=$LFTP_VERSION ;; lftp4) tool="$LFTP_VERSION x4" ;;
    core) tool="tarnlow core" ;; core-direct) tool="core, no hops" ;;
    esac
    printf '%-30s %-14s %10s %10s %10s  %-8s %s\n' "$3" "$tool" "$med" "$lo" "$hi" "$4" "$([ ! -s "$file" ] || tr '\n' ' ' <"$file")"
    [ ! -s "$file.failed" ] || printf '%-30s %-14s FAILED %d run(s): %s\n' "" "" "$(wc -l <"$file.failed")" "$(head -1 "$file.failed")"
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
for tool in tarnlow lftp lftp4; do row wan-tree $tool "wan: tree 200 x 4 KiB" files/s; done
for tool in tarnlow lftp lftp4; do row wan-tree-rt $tool "wan: tree, round trips" /file; done
for server in ${WAN_SERVERS/vsftpd/}; do
    for tool in tarnlow lftp lftp4; do row "wan-tree@$server" $tool "wan: tree, $server" files/s; done
    for tool in tarnlow lftp lftp4; do row "wan-tree@$server-rt" $tool "wan: tree rt, $server" /file; done
done
for tool in tarnlow lftp; do row wan-fetch $tool "wan: fetch 100 of 1,000" files/s; done
for tool in tarnlow lftp; do row wan-fetch-rt $tool "wan: fetch, round trips" /file; done
for server in ${WAN_SERVERS/vsftpd/}; do
    for tool in tarnlow lftp; do row "wan-fetch@$server" $tool "wan: fetch, $server" files/s; done
    for tool in tarnlow lftp; do row "wan-fetch@$server-rt" $tool "wan: fetch rt, $server" /file; done
done
for tool in tarnlow curl; do row wan-tiny $tool "wan: tiny file, start to end" ms; done
for tool in tarnlow curl; do row wan-tiny-rt $tool "wan: tiny, round trips" /run; done
for tool in tarnlow lftp core core-direct; do row window-fetch $tool "window: fetch 1,000" files/s; done
row window-fetch-hop-count tarnlow "window-fetch: hops" count
row window-fetch-hops tarnlow "window-fetch: thread, hops" ms
row window-fetch-paint-count tarnlow "window-fetch: paints" count
row window-fetch-paint tarnlow "window-fetch: painting" ms
row window-fetch-xvfb tarnlow "window-fetch: X server, run" ms
row window-fetch-main tarnlow "window-fetch: thread cpu" ms
row window-fetch-worker tarnlow "window-fetch: worker cpu" ms
row window-fetch-name tarnlow "window-fetch: first file" ms
row window-fetch-relist tarnlow "window-fetch: relisting" ms
row window-fetch-listed tarnlow "window-fetch: list filled" ms
for tool in tarnlow lftp core core-direct; do row window-tree $tool "window: tree 2,000 x 4 KiB" files/s; done
row window-tree-hop-count tarnlow "window-tree: hops" count
row window-tree-hops tarnlow "window-tree: thread, hops" ms
row window-tree-paint-count tarnlow "window-tree: paints" count
row window-tree-paint tarnlow "window-tree: painting" ms
row window-tree-xvfb tarnlow "window-tree: X server, run" ms
row window-tree-main tarnlow "window-tree: thread cpu" ms
row window-tree-worker tarnlow "window-tree: worker cpu" ms
row window-tiny tarnlow "window: tiny, start to dialog" ms
row window-tiny-main tarnlow "window-tiny: main()" ms
row window-tiny-app tarnlow "window-tiny: QApplication" ms
row window-tiny-window tarnlow "window-tiny: window built" ms
row window-tiny-shown tarnlow "window-tiny: window shown" ms
row window-tiny-step tarnlow "window-tiny: file sent" ms
row window-tiny-relist tarnlow "window-tiny: relisting" ms
row window-tiny-listed tarnlow "window-tiny: list filled" ms
for tool in tarnlow curl; do row window-big-up $tool "window: upload $BIG_MIB MiB" MB/s; done
row window-big-up-hop-count tarnlow "window-big-up: hops" count
row window-big-up-paint-count tarnlow "window-big-up: paints" count
row window-big-up-paint tarnlow "window-big-up: painting" ms
row window-big-up-xvfb tarnlow "window-big-up: X server" ms
row window-big-up-main tarnlow "window-big-up: thread cpu" ms
row window-big-up-worker tarnlow "window-big-up: worker cpu" ms
for tool in tarnlow curl; do row window-big-down $tool "window: download $BIG_MIB MiB" MB/s; done
row window-big-down-hop-count tarnlow "window-big-down: hops" count
row window-big-down-paint-count tarnlow "window-big-down: paints" count
row window-big-down-paint tarnlow "window-big-down: painting" ms
row window-big-down-xvfb tarnlow "window-big-down: X server" ms
row window-big-down-main tarnlow "window-big-down: thread cpu" ms
row window-big-down-worker tarnlow "window-big-down: worker cpu" ms
for tool in tarnlow lftp; do row listing-100k $tool "listing 100,000: start to list" ms; done
row listing-100k-first-row tarnlow "listing-100k: first rows" ms
row listing-100k-rss tarnlow "listing-100k: RSS, listed" MiB
row listing-100k-hwm tarnlow "listing-100k: RSS peak" MiB
row listing-100k-stall tarnlow "listing-100k: longest gap" ms
row listing-100k-busy tarnlow "listing-100k: thread busy" ms
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
        if [ -s "$WORK/profiles/$name.waits" ]; then
            echo "  where its threads spent the timed part, from a second run (ms):"
            cat "$WORK/profiles/$name.waits"
        fi
    done
    if [ -s "$WORK/profiles/window-tiny.steps" ]; then
        echo
        echo "steps: window-tiny, ms from the process's start (through the proxy with no delay; > the client's line, < the server's)"
        cat "$WORK/profiles/window-tiny.steps"
    fi
fi
if [ -n "$(ls "$WORK/rt" 2>/dev/null)" ]; then
    echo
    echo "round trips through the proxy, last run of each (| starts a round trip: the client had waited for a reply)"
    for f in "$WORK"/rt/*; do
        case $f in */wan-tiny.*) cat_lines=99 ;; *) cat_lines=2 ;; esac
        echo "$(basename "$f"):"
        head -"$cat_lines" "$f" | sed 's/^/  /' | cut -c1-400
    done
fi
echo
echo "bench: upload $(ratio "$(median upload.tarnlow)" "$(median upload.curl)") curl," \
    "download $(ratio "$(median download.tarnlow)" "$(median download.curl)") curl," \
    "tree $(ratio "$(median tree.tarnlow)" "$(median tree.lftp)") lftp," \
    "fetch-many $(ratio "$(median fetch-many.tarnlow)" "$(median fetch-many.lftp)") lftp," \
    "listing $(ratio "$(median listing.tarnlow)" "$(median listing.lftp)") lftp," \
    "drop-30k $(median drop-ratio.tarnlow || echo n/a)," \
    "peak ${peak:-n/a} MiB, stall ${stall:-n/a} ms, busy ${busy:-n/a} ms, fixed $(median fixed.tarnlow || echo n/a) ms," \
    "wan-tree $(ratio "$(median wan-tree.tarnlow)" "$(median wan-tree.lftp)") lftp," \
    "wan-fetch $(ratio "$(median wan-fetch.tarnlow)" "$(median wan-fetch.lftp)") lftp," \
    "wan-tiny $(ratio "$(median wan-tiny.tarnlow)" "$(median wan-tiny.curl)") curl," \
    "window-fetch $(ratio "$(median window-fetch.tarnlow)" "$(median window-fetch.lftp)") lftp," \
    "window-tree $(ratio "$(median window-tree.tarnlow)" "$(median window-tree.lftp)") lftp," \
    "window-tiny $(median window-tiny.tarnlow || echo n/a) ms," \
    "window-big-up $(ratio "$(median window-big-up.tarnlow)" "$(median window-big-up.curl)") curl" \
    "(fastest/slowest $(spread window-big-up.tarnlow || echo n/a))," \
    "window-big-down $(ratio "$(median window-big-down.tarnlow)" "$(median window-big-down.curl)") curl" \
    "(fastest/slowest $(spread window-big-down.tarnlow || echo n/a))," \
    "listing-100k $(ratio "$(median listing-100k.tarnlow)" "$(median listing-100k.lftp)") lftp," \
    "listing-100k RSS $(median listing-100k-rss.tarnlow || echo n/a) MiB"
# wan_ratio KEY: ours over lftp on one server, or how many runs failed.
wan_ratio() {
    local ours=0 peer=0
    [ ! -s "$WORK/results/$1.tarnlow.failed" ] || ours=$(wc -l <"$WORK/results/$1.tarnlow.failed")
    [ ! -s "$WORK/results/$1.lftp.failed" ] || peer=$(wc -l <"$WORK/results/$1.lftp.failed")
    if [ "$ours" -gt 0 ] || [ "$peer" -gt 0 ]; then
        echo "failed (runs: tarnlow $ours, lftp $peer)"
    else
        ratio "$(median "$1.tarnlow")" "$(median "$1.lftp")"
    fi
}
if wanted wan-tree || wanted wan-fetch; then
    line=
    for server in $WAN_SERVERS; do
        SERVER=$server
        line+="${line:+, }$server tree $(wan_ratio "$(wan_key wan-tree)") fetch $(wan_ratio "$(wan_key wan-fetch)")"
    done
    echo "bench: servers (tarnlow over lftp, through the proxy): $line"
fi
