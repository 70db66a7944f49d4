#!/usr/bin/env bash
# Runs a short-lived program many times, several at once, and fails unless
# every run exits with status 0 in time.
#   short-runs.sh WINE_RUN PROGRAM_EXE [RUNS] [AT_ONCE]
# Under Wine 8 a thread that ends while its process exits can crash the
# exit; the toolkit's threads therefore never end while the process runs.
set -u
wine_run=$1 program=$2 runs=${3:-40} at_once=${4:-4}

SECONDS=0
failures=$(seq "$runs" | xargs -P "$at_once" -I{} sh -c \
    'timeout 30 "$1" "$2" >/dev/null 2>&1; s=$?; [ $s -eq 0 ] || echo "run $3: exit status $s"' \
    _ "$wine_run" "$program" {})
echo "$runs runs, $at_once at once, in $SECONDS s"
if [ -n "$failures" ]; then
    echo "$failures"
    exit 1
fi
