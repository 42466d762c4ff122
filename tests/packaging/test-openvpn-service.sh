#!/usr/bin/env bash
# Runs the privileged service's start script against a stand-in openvpn.
set -euo pipefail
script=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0
check() { if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $*"; fi; }

mkdir -p "$work/etc/Noxel" "$work/bin" "$work/config" "$work/log"
cat > "$work/bin/openvpn" <<STANDIN
#!/bin/sh
printf '%s\n' "\$@" > "$work/args"
STANDIN
chmod +x "$work/bin/openvpn"
cat > "$work/etc/Noxel/Noxel OpenVPN.ini" <<INI
[General]
config_dir=$work/config
config_ext=ovpn
exe_path=$work/bin/openvpn
log_append=0
log_dir=$work/log
priority=NORMAL_PRIORITY_CLASS
INI
export NOXEL_SYSTEM_CONFIG_DIR=$work/etc

# A plain configuration starts OpenVPN with it, scripts off.
printf 'client\ndev tun\nremote 10.0.0.1 1194\nmanagement 127.0.0.1 1111 "%s/config/management.pw"\n' "$work" > "$work/config/config.ovpn"
check "$script"
check grep -qx -- "--config" "$work/args"
check grep -qx -- "$work/config/config.ovpn" "$work/args"
check grep -qx -- "--script-security" "$work/args"
check grep -qx -- "$work/log/openvpn.log" "$work/args"

# Options that would run code or write files as root are refused.
for option in "plugin /tmp/evil.so" "up /tmp/evil.sh" "log /etc/passwd" "  --status /etc/shadow" "script-security 3"; do
    rm -f "$work/args"
    printf 'client\n%s\n' "$option" > "$work/config/config.ovpn"
    check bash -c "! '$script' 2>/dev/null"
    check test ! -e "$work/args"
done

# Any other program than openvpn is refused.
sed -i "s|^exe_path=.*|exe_path=/bin/sh|" "$work/etc/Noxel/Noxel OpenVPN.ini"
printf 'client\n' > "$work/config/config.ovpn"
check bash -c "! '$script' 2>/dev/null"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
