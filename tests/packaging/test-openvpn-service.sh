#!/usr/bin/env bash
# Runs the privileged service as root against a stand-in openvpn that records what
# it was given: hostile profiles and files never start it, the client's own
# profiles start it with a checked copy that later changes of the user's folder
# do not reach.
set -euo pipefail
service=$1
if [ "$(id -u)" -ne 0 ]; then
    echo "SKIP: the service checks files as root sees them; run this test as root"
    exit 77
fi
umask 022
user=nobody
group=$(id -g "$user")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0
check() { if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $*"; fi; }
fails() { ! "$@"; }

config=$work/config
mkdir -p "$work/etc/Noxel" "$work/bin" "$config" "$work/log"
chown "$user:$group" "$config" "$work/log"
chmod 700 "$config"
# The stand-in plays the user as well: once started it swaps the profile and the
# key for hostile ones, then records the copy it was given.
cat > "$work/bin/openvpn" <<STANDIN
#!/bin/sh
printf '%s\n' "\$@" > "$work/args"
printf 'plugin /tmp/evil.so\n' > "$config/config.ovpn"
ln -sf /etc/shadow "$config/ca.crt"
while [ \$# -gt 0 ]; do [ "\$1" = --config ] && cp "\$2" "$work/seen"; shift; done
cp -r "$work/run" "$work/seen-run"
echo "stand-in openvpn ran"
STANDIN
chmod 755 "$work/bin/openvpn"
settings() {
    cat > "$work/etc/Noxel/Noxel OpenVPN.ini" <<INI
[General]
config_dir=$config
config_ext=ovpn
exe_path=${1:-$work/bin/openvpn}
log_append=0
log_dir=$work/log
priority=NORMAL_PRIORITY_CLASS
INI
}
settings
export NOXEL_SYSTEM_CONFIG_DIR=$work/etc NOXEL_OPENVPN_RUN_DIR=$work/run

# A file of the user's in the profile's folder.
user_file() { printf "$2" > "$config/$1"; chown "$user:$group" "$config/$1"; }
user_file ca.crt 'CA CERTIFICATE\n'
user_file management.pw 'secret\n'

run_service() {
    rm -rf "$work/args" "$work/seen" "$work/seen-run"
    "$service" > "$work/out" 2>&1
}
# The profile (printf format) is refused with a message holding the text given,
# and OpenVPN never starts.
refused() {
    user_file config.ovpn "$1"
    if run_service; then
        echo "FAIL: accepted: $1"; failed=$((failed + 1))
    elif ! grep -qF -- "$2" "$work/out"; then
        echo "FAIL: '$1' refused without '$2':"; cat "$work/out"; failed=$((failed + 1))
    elif [ -e "$work/args" ]; then
        echo "FAIL: openvpn started for: $1"; failed=$((failed + 1))
    else
        passed=$((passed + 1))
    fi
}

# Names OpenVPN reads however they are quoted or escaped, and options that run
# code, include other files or make root read files of its choosing.
while IFS='|' read -r profile message; do
    refused "client\n$profile\n" "$message"
done <<'CASES'
"plugin" /tmp/evil.so|line 2: option 'plugin' is not allowed
'plugin' /tmp/evil.so|line 2: option 'plugin' is not allowed
--plugin /tmp/evil.so|line 2: option 'plugin' is not allowed
  \\"plugin\\" /tmp/evil.so|line 2: option '"plugin"' is not allowed
plu\\gin /tmp/evil.so|line 2: a backslash may escape only
remote a ; \nup /tmp/evil.sh|line 3: option 'up' is not allowed
"remote a\nplugin /tmp/evil.so|line 2: a double quote is not closed
config /tmp/other.ovpn|line 2: option 'config' is not allowed
script-security 3|line 2: option 'script-security' is not allowed
setenv FORWARD_COMPATIBLE 1|line 2: option 'setenv' is not allowed
log /etc/passwd|line 2: option 'log' is not allowed
status /etc/shadow|line 2: option 'status' is not allowed
askpass /etc/shadow|line 2: option 'askpass' is not allowed
pkcs12 /etc/shadow|line 2: option 'pkcs12' is not allowed
dh /etc/shadow|line 2: option 'dh' is not allowed
dev-node /etc/shadow|line 2: option 'dev-node' is not allowed
user root|line 2: option 'user' is not allowed
http-proxy proxy 8080 /etc/shadow|line 2: option 'http-proxy' is not allowed
<plugin>\n/tmp/evil.so\n</plugin>|line 2: block <plugin> is not allowed
<connection>\nremote a\n</connection>|line 2: block <connection> is not allowed
<ca>\nCA\n  </ca> up /tmp/evil.sh\nup /tmp/evil.sh|line 5: option 'up' is not allowed
<ca>\nCA\n</CA>\nplugin /tmp/evil.so|line 2: block <ca> is not closed
auth-user-pass /etc/shadow|line 2: option 'auth-user-pass' may name only a file in the profile's own folder, not '/etc/shadow'
ca /etc/shadow|option 'ca' may name only a file in the profile's own folder
cert ../../../etc/shadow|option 'cert' may name only a file in the profile's own folder
key ..|option 'key' may name only a file in the profile's own folder
tls-auth /etc/ssh/ssh_host_ed25519_key 1|option 'tls-auth' may name only
tls-crypt sub/key|option 'tls-crypt' may name only
secret /etc/shadow|option 'secret' may name only
extra-certs /etc/shadow|option 'extra-certs' may name only
crl-verify /etc dir|line 2: option 'crl-verify' does not take 2 argument(s)
management 0.0.0.0 1111|line 2: option 'management' is allowed only on 127.0.0.1
management 127.0.0.1 22|line 2: option 'management' is allowed only on 127.0.0.1
management 127.0.0.1 1111 /etc/shadow|line 2: option 'management' may name only
proto tcp-server|line 2: option 'proto' names a protocol a client does not use
dev ../../etc/x|line 2: option 'dev' names no network interface
remote a 1194 udp\\ plugin|line 2: option 'remote' names a protocol
CASES
refused "client\nremote $(printf 'a%.0s' {1..300}) 1194\n" "line 2: the line is longer than 254 characters"
refused "client\nremote a\0\nplugin /tmp/evil.so\n" "line 2: the line holds a zero byte"

# Files the profile names must be plain files of the user's in the folder.
ln -s /etc/shadow "$config/linked.key"
refused "client\nkey linked.key\n" "line 2: option 'key': linked.key is a symbolic link"
printf 'ROOT KEY\n' > "$config/root.key"
refused "client\nkey root.key\n" "line 2: option 'key': root.key does not belong to the owner of its folder"
mkfifo "$config/pipe.key" && chown "$user:$group" "$config/pipe.key"
refused "client\nkey pipe.key\n" "line 2: option 'key': pipe.key is not a regular file"
refused "client\nkey missing.key\n" "line 2: option 'key': missing.key: No such file"
# So must the profile itself, in a folder only the user can change.
user_file other.ovpn 'client\n'
rm "$config/config.ovpn" && ln -s other.ovpn "$config/config.ovpn"
check fails run_service
check grep -q "config.ovpn: config.ovpn is a symbolic link" "$work/out"
check test ! -e "$work/args"
rm "$config/config.ovpn"
chmod 770 "$config"
refused "client\n" "can be changed by others than its owner"
chmod 700 "$config"

# Only a program named openvpn that nobody but root can change.
settings /bin/sh
refused "client\n" "refusing to run OpenVPN: '/bin/sh' is no absolute path to a program named openvpn"
mkdir "$work/userbin" && cp "$work/bin/openvpn" "$work/userbin/openvpn" && chown -R "$user" "$work/userbin"
settings "$work/userbin/openvpn"
refused "client\n" "can be changed by others than root"
settings

# The client's profile as it writes it (see vpn/openvpn.cpp): the provider's text and
# the management lines, the password file named with the folder's full path; its CA
# inline or as a file of the folder.
echo precious > "$work/victim"
ln -sf "$work/victim" "$work/log/openvpn.log"
user_file config.ovpn "client\ndev tun\nproto udp\nremote vpn.example.com 1194\nnobind\nremote-cert-tls server
verify-x509-name 'server \"one\"' name\nauth-user-pass\nconnect-retry 1 1\nkeepalive 10 60\nverb 3 # chatty
ca ca.crt\n<tls-auth>\nKEY\n</tls-auth>\nkey-direction 1
management 127.0.0.1 1111 \"$config/management.pw\"\nmanagement-hold\nmanagement-query-passwords\n"
check run_service
check grep -q "stand-in openvpn ran" "$work/log/openvpn.log"
dns=$(dirname "$(realpath "$service")")/noxel-dns
check test "$(printf '%s ' $(cat "$work/args"))" = "--cd $work/run --config $work/run/config.ovpn --nobind --script-security 2 --up $dns --down $dns "
check test "$(cat "$work/seen")" = "client
dev \"tun\"
proto \"udp\"
remote \"vpn.example.com\" \"1194\"
nobind
remote-cert-tls \"server\"
verify-x509-name \"server \\\"one\\\"\" \"name\"
auth-user-pass
connect-retry \"1\" \"1\"
keepalive \"10\" \"60\"
verb \"3\"
ca \"$work/run/ca-12\"
<tls-auth>
KEY
</tls-auth>
key-direction \"1\"
management \"127.0.0.1\" \"1111\" \"$work/run/management-17\"
management-hold
management-query-passwords"
# The copies are what the user's files held when checked, whatever they became since.
check test "$(cat "$work/seen-run/ca-12")" = "CA CERTIFICATE"
check test "$(cat "$work/seen-run/management-17")" = "secret"
check test "$(stat -c %a "$work/run")" = 700
check test "$(stat -c %U%a "$work/run/ca-12")" = root600
# The log went to a file of the user's own, not through the link the user left.
check test "$(cat "$work/victim")" = precious
check test "$(stat -c %U%F "$work/log/openvpn.log")" = "${user}regular file"

# The Stealth profile reaches the local stunnel.
user_file config.ovpn "client\ndev tun\nproto tcp-client\nremote 127.0.0.1 1081
management 127.0.0.1 1111 \"$config/management.pw\"\nmanagement-hold\nmanagement-query-passwords\n"
check run_service
check grep -qx 'remote "127.0.0.1" "1081"' "$work/seen"

# A refused start leaves nothing of an earlier one in root's folder.
refused "client\nup /tmp/evil.sh\n" "line 2: option 'up' is not allowed"
check test -z "$(ls -A "$work/run")"
check grep -q "line 2: option 'up' is not allowed" "$work/log/openvpn.log"

# OpenVPN runs no DNS script someone else than root could have changed: scripts stay off.
mkdir "$work/sbin"
cp "$service" "$work/sbin/service" && cp "$dns" "$work/sbin/noxel-dns"
chmod g+w "$work/sbin/noxel-dns"
service=$work/sbin/service
user_file config.ovpn "client\ndev tun\nremote vpn.example.com 1194
management 127.0.0.1 1111 \"$config/management.pw\"\nmanagement-hold\nmanagement-query-passwords\n"
check run_service
check test "$(printf '%s ' $(cat "$work/args"))" = "--cd $work/run --config $work/run/config.ovpn --nobind --script-security 1 "
check grep -q "the DNS servers of the VPN are not applied: $work/sbin/noxel-dns.*can be changed by others than root" "$work/out"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
