#!/usr/bin/env bash
# Runs the load test; after a failure - above all a wedged server, which
# leaves activations in the prefix failing - ends every Wine process of the
# prefix, so that later tests start a clean Wine session.
#   load-stress.sh WINE_RUN WINEPREFIX LOAD_STRESS_EXE
set -u
wine_run=$1 prefix=$(realpath -m "$2") program=$3
"$wine_run" "$program"
status=$?
if ((status != 0)); then
    echo "ending the Wine session of $prefix"
    WINEPREFIX=$prefix wineserver -k
    WINEPREFIX=$prefix wineserver -w
fi
exit $status
