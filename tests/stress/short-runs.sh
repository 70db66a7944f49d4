#!/usr/bin/env bash
# Runs a short-lived program many times, several at once, and fails unless
# every run exits with status 0 in time.
#   short-runs.sh WINE_RUN PROGRAM_EXE [RUNS] [AT_ONCE]
#   HALVEX_STRESS_EXIT=1  runs it; otherwise it is reported as skipped:
#   Wine 8 itself now and then SIGKILLs a process that exits normally after
#   serving COM (seen in about 1 of 30 to 1 of 450 runs, more under load), so
#   the test cannot pass dependably in every suite run.
set -u
wine_run=$1 program=$2 runs=${3:-40} at_once=${4:-4}
if [ "${HALVEX_STRESS_EXIT:-0}" != 1 ]; then
    echo "skipped: set HALVEX_STRESS_EXIT=1 to run it"
    exit 77
fi

SECONDS=0
failures=$(seq "$runs" | xargs -P "$at_once" -I{} sh -c \
    'timeout 30 "$1" "$2" >/dev/null 2>&1; s=$?; [ $s -eq 0 ] || echo "run $3: exit status $s"' \
    _ "$wine_run" "$program" {})
echo "$runs runs, $at_once at once, in $SECONDS s"
if [ -n "$failures" ]; then
    echo "$failures"
    exit 1
fi
