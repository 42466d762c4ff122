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
# The program also gets TESTNET_SCRIPT, the path of scripts/testnet, to stop and restart
# the servers itself (kill-server, start-server).
set -uo pipefail

readonly SKIP_STATUS=77
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
lock_dir=/run/lock
[[ -d $lock_dir && -w $lock_dir ]] || lock_dir=${TMPDIR:-/tmp}

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

# An id from this process number, moving on while one is taken: its namespaces exist, or
# another wrapper holds its lock (which it keeps until it exits, also while the network is
# being built).
first=$(($$ % 200 + 1))
for ((try = 0; try < 200; ++try)); do
    candidate=$(((first - 1 + try) % 200 + 1))
    ns_taken "$candidate" && continue
    exec {lock_fd}>"$lock_dir/noxel-testnet-$candidate.lock" || continue
    if ! flock -n "$lock_fd"; then
        exec {lock_fd}>&-
        continue
    fi
    if ns_taken "$candidate"; then # built by someone that takes no lock
        exec {lock_fd}>&-
        continue
    fi
    id=$candidate
    break
done
[[ -n $id ]] || {
    id=
    say "no free test network id"
    exit 1
}

up_output=$("$testnet" up "$id" "$net")
status=$?
if ((status == SKIP_STATUS)); then
    say "skipped: scripts/testnet cannot build a test network here (see its message above)"
    exit "$SKIP_STATUS"
fi
if ((status != 0)); then
    say "'testnet up $id' failed with status $status"
    exit "$status"
fi

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
ip netns exec "$CLIENT_NS" env "${environment[@]}" "$program" "$@" &
child=$!
wait "$child"
status=$?
child=
exit "$status"
