#!/usr/bin/env python3
"""Gathers the benchmarks' summary rows into one Markdown table.

    bench-table.py ARCH LOGDIR OUTPUT BENCH...

Each benchmark BENCH has left its output in LOGDIR/BENCH.log and its exit
status in LOGDIR/BENCH.status. A row is a line
    BENCH-ROW|<what>|<figure>|<target>|<yes or no>
(bench/BenchTable.h). A benchmark that exited with other than 0, or printed
no row, gets a row marked "failed". The table, under a line naming the date
and the machine, is printed and written to OUTPUT. Exits with 1 when any
benchmark failed, else 0; a target not met is only reported.
"""
import datetime
import os
import subprocess
import sys

ROW_MARK = "BENCH-ROW|"


def machine_line(arch):
    cpu = "unknown CPU"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    memory = "unknown memory"
    with open("/proc/meminfo") as f:
        for line in f:
            if line.startswith("MemTotal:"):
                memory = "%.1f GiB memory" % (int(line.split()[1]) / 1024 / 1024)
                break
    try:
        wine = subprocess.run(["wine", "--version"], capture_output=True, text=True,
                              timeout=30).stdout.strip() or "Wine version unknown"
    except (OSError, subprocess.TimeoutExpired):
        wine = "Wine version unknown"
    bits = "32-bit" if arch == "i686" else "64-bit"
    now = datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC")
    return "%s, %s build (%s) on %s: nproc %d, %s, %s, %s" % (
        now, arch, bits, os.uname().machine, len(os.sched_getaffinity(0)), cpu, memory, wine)


def bench_rows(logdir, bench):
    """The benchmark's rows, and whether it ran to the end."""
    rows = []
    try:
        with open(os.path.join(logdir, bench + ".log"), errors="replace") as f:
            for line in f:
                line = line.rstrip("\r\n")
                if line.startswith(ROW_MARK):
                    fields = line[len(ROW_MARK):].split("|")
                    if len(fields) == 4:
                        rows.append(fields)
    except OSError:
        pass
    try:
        with open(os.path.join(logdir, bench + ".status")) as f:
            status = f.read().strip()
    except OSError:
        status = ""
    if status != "0":
        log = os.path.join(os.path.basename(os.path.normpath(logdir)), bench + ".log")
        ended = "exit status %s (see %s)" % (status, log) if status else "did not run"
        rows.append([bench, ended, "runs to the end", "failed"])
        return rows, False
    if not rows:
        rows.append([bench, "no summary row printed", "one row or more", "failed"])
        return rows, False
    return rows, True


def markdown(rows):
    header = ["What", "Figure", "Target", "Met"]
    widths = [max(len(r[i]) for r in [header] + rows) for i in range(4)]
    line = lambda cells: "| " + " | ".join(c.ljust(w) for c, w in zip(cells, widths)) + " |"
    rule = "|" + "|".join("-" * (w + 2) for w in widths) + "|"
    return "\n".join([line(header), rule] + [line(r) for r in rows])


def main():
    if len(sys.argv) < 5:
        sys.exit(__doc__)
    arch, logdir, output, benches = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
    rows, all_ran = [], True
    for bench in benches:
        found, ran = bench_rows(logdir, bench)
        rows += found
        all_ran = all_ran and ran
    text = machine_line(arch) + "\n\n" + markdown(rows) + "\n"
    with open(output, "w") as f:
        f.write(text)
    sys.stdout.write(text)
    return 0 if all_ran else 1


if __name__ == "__main__":
    sys.exit(main())
