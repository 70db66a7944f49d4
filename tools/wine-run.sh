#!/usr/bin/env bash
# Runs a Windows program under Wine in the build's own prefix.
#   HALVEX_WINEPREFIX  the prefix (created on first use)
#   HALVEX_WINEARCH    win32 or win64
#   HALVEX_PROXY_DLL   proxy/stub DLL to register (again whenever it changes)
# The first use is serialised with a lock; one wineserver is kept alive across
# runs so that each program does not pay for a Wine start-up.
set -u

: "${HALVEX_WINEPREFIX:?HALVEX_WINEPREFIX is not set}"
export WINEPREFIX="$HALVEX_WINEPREFIX"
export WINEARCH="${HALVEX_WINEARCH:-win32}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="

# The 64-bit loader for a 64-bit prefix; the 32-bit one otherwise.
if [ "$WINEARCH" = win64 ]; then
    loader=/usr/lib/wine/wine64
else
    loader=/usr/lib/wine/wine
fi

# Closes the lock descriptor too: Wine services started here outlive the
# call and would hold the lock for the whole Wine session.
quiet() { "$@" </dev/null >/dev/null 2>&1 9>&-; }

prepare_prefix() {
    if [ ! -f "$WINEPREFIX/.halvex-ready" ]; then
        rm -rf "$WINEPREFIX"
        quiet "$loader" wineboot -i
        quiet wineserver -w
        # Null display driver unless an X server is there.
        quiet "$loader" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d x11,null /f
        mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
        for f in /usr/share/wine/fonts/*; do
            [ -e "$f" ] && ln -sf "$f" "$WINEPREFIX/drive_c/windows/Fonts/"
        done
        quiet wineserver -w
        touch "$WINEPREFIX/.halvex-ready"
    fi
    # A persistent server for this prefix; a second one exits at once.
    setsid wineserver -p30 </dev/null >/dev/null 2>&1 9>&- &
    if [ -n "${HALVEX_PROXY_DLL:-}" ] && [ -f "$HALVEX_PROXY_DLL" ] &&
       [ "$HALVEX_PROXY_DLL" -nt "$WINEPREFIX/.halvex-proxy" ]; then
        if quiet "$loader" regsvr32 /s "$HALVEX_PROXY_DLL"; then
            touch "$WINEPREFIX/.halvex-proxy"
        else
            echo "wine-run: registering $HALVEX_PROXY_DLL failed" >&2
        fi
    fi
}

mkdir -p "$(dirname "$WINEPREFIX")"
(
    flock 9
    prepare_prefix
) 9>"$WINEPREFIX.lock"

# Wine starts background processes (services, explorer) that inherit the
# standard streams of the program that needed them and outlive it; a caller
# reading a pipe would wait for them. The program writes to files instead,
# which are copied out when it ends.
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
"$loader" "$@" >"$out" 2>"$err" </dev/null
status=$?
cat "$out"
cat "$err" >&2
exit $status
