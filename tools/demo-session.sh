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
# Requests through IOPCHDA_AsyncRead, which Maplet1 answers once per second.
client read-raw --server MapletSvr A.A.A A.B.B --start NOW-1M --end NOW --async
# The advise starts a minute back, so its first windows (15 s each, on
# Maplet1's 15-second grid) are due at once. The screenshot is taken as soon
# as the first one has arrived, while the advise's calls are still the latest
# event lines: a client's exit adds a page of Release lines. wine-run keeps a
# program's output in a file under TMPDIR until the program ends; the window
# is looked for there.
advise_files=$(mktemp -d)
TMPDIR=$advise_files client advise --server MapletSvr A.A.A A.B.B \
    --start NOW-1M --interval 15 --duration 5 &
advise=$!
for _ in $(seq 100); do
    grep -qs '^Window 1 ' "$advise_files"/* && break
    sleep 0.1
done
# Let the window draw the last event lines, and its main view refresh (once
# a second) so that it shows the advise's connection.
sleep 1.2
import -window root "$build/maplet1-demo.png"
wait "$advise"
rm -rf "$advise_files"
echo
echo "screenshot of the Maplet1 window: $build/maplet1-demo.png"
WINEPREFIX="$build/wineprefix" wineserver -k || true
