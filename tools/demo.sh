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

session="$root/tools/demo-session.sh"
if [ -n "${DISPLAY:-}" ]; then
    bash "$session"
else
    xvfb-run -a -s "-screen 0 1024x768x24" bash "$session"
fi
