# shellcheck shell=bash disable=SC2034,SC2154 # net is read by the callers, which set testnet
# Pieces that scripts/run and scripts/screenshots share; sourced by both, never run.
# The caller sets "testnet" (the path of scripts/testnet) and defines say().

# The id of the demo's test network; a check or a set of screenshots takes a free id
# below it, so that it runs beside the demo and the end-to-end tests.
readonly DEMO_NET_ID=200

# True while the process exists and is not a zombie.
is_running() {
    local state
    [ -n "$1" ] && [ -r "/proc/$1/stat" ] || return 1
    state=$(sed 's/^.*) //' "/proc/$1/stat" 2>/dev/null | cut -d' ' -f1) || return 1
    [ -n "$state" ] && [ "$state" != Z ] && [ "$state" != X ]
}

# testnet.env holds the KEY=VALUE lines of "testnet up"; a value with characters the
# shell would interpret comes single-quoted, a quote inside it as '\''. The lines are
# read into the array "net", never run.
declare -A net=()
read_testnet_env() { # file
    local line key value
    while IFS= read -r line || [ -n "$line" ]; do
        [[ $line =~ ^([A-Z_][A-Z0-9_]*)=(.*)$ ]] || continue
        key=${BASH_REMATCH[1]}
        value=${BASH_REMATCH[2]}
        if [[ ${#value} -ge 2 && $value == \'*\' ]]; then
            value=${value:1:${#value}-2}
            value=${value//\'\\\'\'/\'}
        fi
        net[$key]=$value
    done <"$1"
}

# Picks an id no test network uses and builds the network under it in DIR, its
# settings in ENV_FILE; sets "net_id". Under a lock on scripts/testnet, as
# tests/e2e/run-in-testnet.sh does, so that two callers never take the same id; once
# built, the network's namespaces mark the id as taken.
up_free_network() { # dir env-file
    local dir=$1 env_file=$2 lock_fd first try candidate status=0
    exec {lock_fd}<"$testnet"
    if ! flock -w 600 "$lock_fd"; then
        say "could not lock $testnet"
        return 1
    fi
    first=$(($$ % (DEMO_NET_ID - 1) + 1))
    for ((try = 0; try < DEMO_NET_ID - 1; ++try)); do
        candidate=$(((first - 1 + try) % (DEMO_NET_ID - 1) + 1))
        if ! ip netns list 2>/dev/null | grep -qE "^noxel-(srv|cli)-$candidate( |$)"; then
            net_id=$candidate
            break
        fi
    done
    if [ -z "$net_id" ]; then
        say "no free test network id"
        exec {lock_fd}<&-
        return 1
    fi
    # The servers that "up" starts must not inherit the lock.
    "$testnet" up "$net_id" "$dir" >"$env_file" {lock_fd}<&- || status=$?
    exec {lock_fd}<&-
    return "$status"
}
