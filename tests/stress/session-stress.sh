#!/usr/bin/env bash
# Runs session_stress clients at once against the test server, modes
# alternating, and fails unless every client ends in time with exit 0.
#   session-stress.sh WINE_RUN WINEPREFIX CLIENT_EXE
#   HALVEX_STRESS_SECONDS  how long each client runs sessions (default 35)
#   HALVEX_STRESS_CLIENTS  how many clients at once (default 2)
# After a failure - above all a wedged server, which leaves activations in
# the prefix failing - every Wine process of the prefix is ended, so that
# later tests start a clean Wine session.
set -u
wine_run=$1 prefix=$(realpath -m "$2") client=$3
seconds=${HALVEX_STRESS_SECONDS:-35}
clients=${HALVEX_STRESS_CLIENTS:-2}
modes=(plain browse)

out=$(mktemp)
trap 'rm -f "$out"' EXIT
pids=()
for ((i = 0; i < clients; ++i)); do
    # A client's own watchdog ends it within 20 s of a blocked session.
    timeout $((seconds + 60)) "$wine_run" "$client" --mode="${modes[i % 2]}" \
        --seconds="$seconds" >>"$out" &
    pids+=($!)
done
failed=0
for i in "${!pids[@]}"; do
    wait "${pids[i]}"
    status=$?
    case $status in
        0) ;;
        3) echo "client $i: blocked for 20 s, the server wedged"; failed=1 ;;
        124) echo "client $i: did not end within $((seconds + 60)) s"; failed=1 ;;
        *) echo "client $i: exit status $status"; failed=1 ;;
    esac
done
cat "$out"
awk '/ sessions in / { n += $(NF - 6) } END { printf "total: %d sessions\n", n }' "$out"

if ((failed)); then
    echo "ending the Wine session of $prefix"
    WINEPREFIX=$prefix wineserver -k
    WINEPREFIX=$prefix wineserver -w
    exit 1
fi
