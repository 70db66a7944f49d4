#!/bin/sh
# Runs a client, then waits until the local server it used has ended: a
# server that COM started for the client must exit by itself once the client
# has gone.
#   expect-server-exit.sh SERVER_EXE SECONDS COMMAND [ARGS...]
# The client's output passes through. A client exit code other than 0, or a
# server still running after SECONDS, prints "expect-server-exit: ..." and
# fails; a server left running is killed, so that it does not outlive the test
# (Wine then keeps its class registered until the Wine session ends, and later
# activations of that class in the prefix fail with 0x800706BA).
server=$1 seconds=$2
shift 2
"$@"
status=$?

# Under Wine the process shows its Windows path: Z: and the Unix path.
win_path="Z:$(printf '%s' "$server" | tr / '\\')"
# Process IDs of the server; a zombie has ended.
server_pids() {
    ps -eww -o pid= -o stat= -o args= |
        P="$win_path" awk 'index($0, ENVIRON["P"]) && $2 !~ /^Z/ { print $1 }'
}
tries=$((seconds * 10))
while [ -n "$(server_pids)" ] && [ "$tries" -gt 0 ]; do
    sleep 0.1
    tries=$((tries - 1))
done
pids=$(server_pids)
if [ -n "$pids" ]; then
    printf 'expect-server-exit: %s still running after %s s (killed: %s)\n' \
        "$win_path" "$seconds" "$pids" >&2
    kill $pids
    exit 1
fi
if [ "$status" -ne 0 ]; then
    echo "expect-server-exit: client exit code $status" >&2
    exit 1
fi
echo "(client exit code 0; server ended)"
