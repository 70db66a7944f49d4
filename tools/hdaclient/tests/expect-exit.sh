#!/bin/sh
# Runs a command and fails unless it exits with the given code.
#   expect-exit.sh CODE COMMAND [ARGS...]
# The command's output passes through for the test's regular expressions.
expected=$1
shift
"$@"
status=$?
[ "$status" -eq "$expected" ] && { echo "(exit code $status as expected)"; exit 0; }
echo "expect-exit: exit code $status, expected $expected" >&2
exit 1
