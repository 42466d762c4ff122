#!/usr/bin/env bash
# Runs one end-to-end test program inside a fresh OpenVPN test network (scripts/testnet):
#
#   run-in-testnet.sh <program> [arguments...]
#
# Builds the network under an id of its own, exports the network's KEY=VALUE description,
# runs the program in the client namespace (noxel-cli-<id>), so that whatever a VPN server
# pushes never reaches the machine's own network, and always takes the network down again,
# whatever the program did. Exits with the program's status, or 77 ("skipped", with the
# reason printed) where the machine cannot build the network: not root, no /dev/net/tun,
# no network namespaces, missing programs.
#
# RUN_IN_TESTNET_TIMEOUT (seconds, 240) bounds the program's run, so that the network
# is taken down even when the program hangs.
#
# The program also gets TESTNET_SCRIPT, the path of scripts/testnet, to stop and restart
# the servers itself (kill-server, start-server).
set -uo pipefail

readonly SKIP_STATUS=77
time_limit=${RUN_IN_TESTNET_TIMEOUT:-240}
here=$(cd "$(dirname "$0")" && pwd)
testnet=${TESTNET_SCRIPT:-$(cd "$here/../.." && pwd)/scripts/testnet}

say() { echo "run-in-testnet: $*" >&2; }

(($# >= 1)) || {
    say "usage: $0 <program> [arguments...]"
    exit 2
}
program=$1
shift
[[ -x $program ]] || {
    say "$program is not an executable program"
    exit 2
}
[[ -x $testnet ]] || {
    say "cannot find scripts/testnet at $testnet"
    exit 2
}
if (($(id -u) != 0)); then
    say "skipped: needs root (network namespaces, tun devices)"
    exit "$SKIP_STATUS"
fi
if [[ ! -c /dev/net/tun ]]; then
    say "skipped: /dev/net/tun does not exist"
    exit "$SKIP_STATUS"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/noxel-e2e.XXXXXX") || exit 1
net=$work/net
id=
child=

cleanup() {
    local status=$?
    trap - EXIT INT TERM
    if [[ -n $child ]] && kill -0 "$child" 2>/dev/null; then
        kill -TERM "$child" 2>/dev/null
        wait "$child" 2>/dev/null
    fi
    if [[ -n $id ]]; then
        # Ends whatever the program left in the namespaces (its OpenVPN and stunnel
        # children too) and removes them.
        if ! "$testnet" down "$id" "$net"; then
            say "'testnet down $id' failed"
            ((status == 0)) && status=1
        fi
        if ip netns list 2>/dev/null | grep -qE "^noxel-(srv|cli)-$id( |$)"; then
            say "a namespace of test network $id is left"
            ((status == 0)) && status=1
        fi
    fi
    rm -rf -- "$work"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

ns_taken() { # id
    ip netns list 2>/dev/null | grep -qE "^noxel-(srv|cli)-$1( |$)"
}

# Choosing an id and building its network happen under a lock (on scripts/testnet
# itself, which always exists), so that two wrappers never take the same id; once
# built, the network's namespaces mark the id as taken. The id comes from this process
# number, moving on while one is taken. Id 200 is the demo's (scripts/run), which takes
# its network down on start, so it is never used here.
readonly DEMO_ID=200
exec {lock_fd}<"$testnet"
if ! flock -w 600 "$lock_fd"; then
    say "could not lock $testnet"
    exit 1
fi
first=$(($$ % (DEMO_ID - 1) + 1))
for ((try = 0; try < DEMO_ID - 1; ++try)); do
    candidate=$(((first - 1 + try) % (DEMO_ID - 1) + 1))
    if ! ns_taken "$candidate"; then
        id=$candidate
        break
    fi
done
[[ -n $id ]] || {
    say "no free test network id"
    exit 1
}

# The servers that "up" starts must not inherit the lock.
up_output=$("$testnet" up "$id" "$net" {lock_fd}<&-)
status=$?
if ((status == SKIP_STATUS)); then
    say "skipped: scripts/testnet cannot build a test network here (see its message above)"
    exit "$SKIP_STATUS"
fi
if ((status != 0)); then
    say "'testnet up $id' failed with status $status"
    exit "$status"
fi
exec {lock_fd}<&-

# KEY=VALUE lines; values with spaces or quotes come single-quoted, as the shell writes them.
environment=(TESTNET_SCRIPT="$testnet")
while IFS= read -r line; do
    [[ $line =~ ^([A-Z_][A-Z0-9_]*)=(.*)$ ]] || continue
    key=${BASH_REMATCH[1]}
    value=${BASH_REMATCH[2]}
    if [[ $value == \'*\' && ${#value} -ge 2 ]]; then
        value=${value:1:${#value}-2}
        value=${value//\'\\\'\'/\'}
    fi
    export "$key=$value"
    environment+=("$key=$value")
done <<<"$up_output"
[[ -n ${CLIENT_NS:-} ]] || {
    say "'testnet up' printed no CLIENT_NS"
    exit 1
}

say "test network $id is up; running $(basename "$program") in $CLIENT_NS"
# In the background, so that a signal to this script is handled at once (bash runs traps
# only between foreground commands).
# The time limit stays below the test's own (ctest's kills leave no time to clean up).
ip netns exec "$CLIENT_NS" env "${environment[@]}" \
    timeout --kill-after=10 "$time_limit" "$program" "$@" &
child=$!
wait "$child"
status=$?
child=
((status == 124)) && say "$(basename "$program") did not finish within $time_limit seconds"
exit "$status"
