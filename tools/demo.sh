#!/usr/bin/env bash
# The product end to end. Maplet1 is registered as the OPC HDA server
# "MapletSvr"; the command-line client, in another process, finds it through
# the registry and the OPC HDA category (COM starts Maplet1 in its window),
# browses its items and reads raw, processed, at-time and attribute history.
# A screenshot of the window with its event list is left in the build folder.
# Without a display the window runs under Xvfb.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/install-deps.sh"
"$root/tools/build.sh"
if /usr/lib/wine/wine --version >/dev/null 2>&1; then arch=i686; else arch=x86_64; fi
build="$root/build/$arch"
export HALVEX_DEMO_BUILD="$build"

# Register (this also prepares the prefix), then end the headless Wine
# session: a session keeps the display it started with.
"$build/wine-run" "$build/bin/Maplet1.exe" /RegServer
WINEPREFIX="$build/wineprefix" wineserver -k || true

session() {
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
    client read-at --server MapletSvr A.A.A --at NOW-1M --at NOW
    client attributes --server MapletSvr A.B.C --start NOW
    sleep 1
    import -window root "$build/maplet1-demo.png"
    echo
    echo "screenshot of the Maplet1 window: $build/maplet1-demo.png"
    WINEPREFIX="$build/wineprefix" wineserver -k || true
}
export -f session

if [ -n "${DISPLAY:-}" ]; then
    bash -c session
else
    xvfb-run -a -s "-screen 0 1024x768x24" bash -c session
fi
