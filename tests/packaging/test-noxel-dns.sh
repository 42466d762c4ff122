#!/usr/bin/env bash
# Runs noxel-dns, the script OpenVPN runs as root when a tunnel comes up and goes,
# in a mount namespace of its own: /run is a fresh tmpfs there, /etc/resolv.conf a
# file of the test's, and for systemd-resolved a stand-in resolvectl records what it
# is asked. Nothing of the machine's own resolver is touched.
set -euo pipefail
if [[ ${1:-} != --inside ]]; then
    script=$(realpath "$1")
    if [[ $(id -u) -ne 0 ]]; then
        echo "SKIP: needs root (a mount namespace of its own)"
        exit 77
    fi
    if [[ -L /etc/resolv.conf ]]; then
        echo "SKIP: /etc/resolv.conf is a symbolic link here; the test binds a file over it"
        exit 77
    fi
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    status=0
    unshare --mount --propagation private bash "$0" --inside "$script" "$work" || status=$?
    exit "$status"
fi
script=$2
work=$3
passed=0
failed=0
fails() { ! "$@"; }
check() { if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $*"; fi; }

mount -t tmpfs tmpfs /run
mkdir -p "$work/layer"
mount -t tmpfs tmpfs "$work/layer"
mkdir "$work/layer/upper" "$work/layer/work"
cat >"$work/layer/upper/resolvectl" <<EOF
#!/bin/sh
echo "\$*" >>"$work/calls"
EOF
chmod 755 "$work/layer/upper/resolvectl"
mount -t overlay overlay -o "lowerdir=/usr/bin,upperdir=$work/layer/upper,workdir=$work/layer/work" /usr/bin
: >"$work/resolv.conf"
mount --bind "$work/resolv.conf" /etc/resolv.conf

pushed=(
    "foreign_option_1=dhcp-option DNS 10.1.2.3"
    "foreign_option_2=dhcp-option DOMAIN corp.test"
    "foreign_option_3=dhcp-option DNS 10.1.2.4;reboot"
    "foreign_option_4=dhcp-option DOMAIN evil
nameserver 6.6.6.6"
    "foreign_option_5=dhcp-option DNS6 fd00::53"
    "foreign_option_6=dhcp-option DOMAIN-SEARCH -bad.test"
)
tunnel() { # up|down
    env script_type="$1" dev=tun7 "${pushed[@]}" "$script" 2>>"$work/said"
}
nameservers() { grep -c '^nameserver' /etc/resolv.conf || true; }

# Without systemd-resolved: resolv.conf is rewritten in place and comes back byte for byte.
printf '# the machine'"'"'s own\nnameserver 192.0.2.1\noptions edns0\n' >/etc/resolv.conf
cp /etc/resolv.conf "$work/before"
inode=$(stat -c %i /etc/resolv.conf)
tunnel up
check grep -qx 'search corp.test' /etc/resolv.conf
check grep -qx 'nameserver 10.1.2.3' /etc/resolv.conf
check grep -qx 'nameserver fd00::53' /etc/resolv.conf
check test "$(nameservers)" = 2
check fails grep -q '6.6.6.6\|reboot\|bad.test' /etc/resolv.conf
check grep -q "ignoring the DNS server '10.1.2.4;reboot'" "$work/said"
check test "$(stat -c %i /etc/resolv.conf)" = "$inode"
check test "$(stat -c %a /run/noxel-dns)" = 700
tunnel down
check cmp -s "$work/before" /etc/resolv.conf
check test ! -e /run/noxel-dns

# A down script that never ran: "restore" puts it back once the device is gone.
tunnel up
"$script" restore 2>>"$work/said"
check cmp -s "$work/before" /etc/resolv.conf

# What someone else wrote while the tunnel was up stays.
tunnel up
printf 'nameserver 198.51.100.9\n' >/etc/resolv.conf
tunnel down
check grep -qx 'nameserver 198.51.100.9' /etc/resolv.conf
check grep -q "changed by someone else" "$work/said"
check test ! -e /run/noxel-dns

# With systemd-resolved answering: the tun link gets the servers and every name.
mkdir -p /run/systemd/resolve
python3 -c 'import socket, sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])' /run/systemd/resolve/io.systemd.Resolve
printf 'nameserver 127.0.0.53\noptions edns0 trust-ad\n' >/etc/resolv.conf
cp /etc/resolv.conf "$work/before"
tunnel up
check test "$(cat "$work/calls")" = "dns tun7 10.1.2.3 fd00::53
domain tun7 ~. corp.test
default-route tun7 yes"
check cmp -s "$work/before" /etc/resolv.conf
tunnel down
check test "$(tail -n 1 "$work/calls")" = "revert tun7"
check cmp -s "$work/before" /etc/resolv.conf

echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
