#!/usr/bin/python3
"""Where a process's threads waited: reads `perf sched timehist -g` (of a
`perf record -e sched:sched_switch -e sched:sched_wakeup -g`) on standard input
and prints, per thread, its time running, its time waiting for a processor,
and its time asleep by what it slept in:

- lock: a futex, which for a worker of the window is a hop to the window's
  thread waiting for its answer (a blocking queued call), or a mutex;
- poll: waiting for a socket or a file descriptor (for a worker: the server's
  reply or data connection; for the window's thread: its event loop, idle);
- preempted: taken off the processor while it could still run;
- other: anything else (a read, a page fault, sleeping).

Usage: perf sched timehist -i DATA -g | sched_waits.py MAIN_PID
"""

import collections
import re
import sys

LINE = re.compile(r"^\s*[\d.]+\s+\[\d+\]\s+(.+?)\[(\d+)(?:/(\d+))?\]\s+([\d.]+)\s+([\d.]+)\s+([\d.]+)\s*(.*)$")


def kind(chain):
    if "futex" in chain:
        return "lock"
    if "poll" in chain or "select" in chain:
        return "poll"
    if any(k in chain for k in ("exit_to_user_mode", "irqentry_exit", "cond_resched", "preempt")):
        return "preempted"
    return "other"


def main():
    main_pid = sys.argv[1] if len(sys.argv) > 1 else ""
    threads = collections.OrderedDict()
    last_kind = {}
    for row in sys.stdin:
        m = LINE.match(row)
        if not m:
            continue
        name, tid, pid, wait, delay, run, chain = m.groups()
        pid = pid or tid
        if main_pid and pid != main_pid:
            continue
        t = threads.setdefault(tid, {"name": name, "run": 0.0, "delay": 0.0, "asleep": collections.Counter()})
        # A thread's first line comes from a stretch that began before the
        # recording did, so only where it went to sleep is known.
        if tid in last_kind:
            # This line's wait is the sleep that began where the previous line stopped.
            t["asleep"][last_kind[tid]] += float(wait)
            t["delay"] += float(delay)
            t["run"] += float(run)
        last_kind[tid] = kind(chain)
    for tid, t in threads.items():
        role = "main" if tid == main_pid else t["name"]
        asleep = ", ".join("%s %.0f" % kv for kv in t["asleep"].most_common() if kv[1] >= 0.5)
        print(
            "  %-16s tid %-7s running %6.0f ms, waiting for a processor %5.0f ms, asleep: %s"
            % (role, tid, t["run"], t["delay"], asleep or "none")
        )


if __name__ == "__main__":
    main()
