#!/usr/bin/env bash
# The demo's client session, run on a display (see demo.sh): the client
# activates MapletSvr, COM starts Maplet1 in its window, and a screenshot of
# the desktop is taken at the end.
set -euo pipefail
build=$HALVEX_DEMO_BUILD

client() {
    echo
    echo "\$ hdaclient $*"
    "$build/wine-run" "$build/bin/hdaclient.exe" "$@" || echo "(exit code $?)"
}

# Every program of the session opens in one virtual desktop.
"$build/wine-run" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null
"$build/wine-run" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1000x720 /f >/dev/null
client list
client status --server MapletSvr
client browse --server MapletSvr
client attributes --server MapletSvr
client read-raw --server MapletSvr A.A.A A.B.B --start NOW-2M --end NOW --bounds
client read-processed --server MapletSvr A.C.C --aggregate Average --interval 60 --start NOW-5M --end NOW
client read-at --server MapletSvr A.A.A --at "$(date -u -d "1 minute ago" +%Y-%m-%dT%H:%M:%SZ)" --at "$(date -u -d "7 seconds ago" +%Y-%m-%dT%H:%M:%SZ)"
client attributes --server MapletSvr A.B.C
# Let the window draw the last event lines.
sleep 2
import -window root "$build/maplet1-demo.png"
echo
echo "screenshot of the Maplet1 window: $build/maplet1-demo.png"
WINEPREFIX="$build/wineprefix" wineserver -k || true
