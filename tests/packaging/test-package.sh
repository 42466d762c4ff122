#!/usr/bin/env bash
# The Debian package as an administrator meets it: scripts/package refuses to pin the
# demo certificate unasked, builds the demo package, apt-get installs it with what it
# depends on, the program starts and its files are in place with the right owners;
# a purge then takes everything the package and the install brought, and nothing else.
# Needs root and apt; skips (77) elsewhere.
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)

if [ "$(id -u)" -ne 0 ]; then
    echo "skipped: installing a package needs root"
    exit 77
fi
for program in apt-get dpkg dpkg-query; do
    if ! command -v "$program" >/dev/null; then
        echo "skipped: $program is missing (not a Debian system)"
        exit 77
    fi
done

export DEBIAN_FRONTEND=noninteractive
# The package has a build folder of its own, whatever the build under test uses.
export NOXEL_BUILD_DIR=${NOXEL_PACKAGE_BUILD_DIR:-$top/build-package}
unset NOXEL_API_CERTIFICATE NOXEL_DEMO_PACKAGE

work=$(mktemp -d)
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
installed_packages() {
    dpkg-query -W -f='${db:Status-Status} ${Package}:${Architecture}\n' | awk '$1 == "installed" { print $2 }' | sort
}
# Takes the package and whatever its install pulled in, never what was there before.
purge() {
    local pulled=()
    if [ -f "$work/before" ]; then
        mapfile -t pulled < <(installed_packages | comm -13 "$work/before" - | grep -v '^noxel:')
    fi
    if dpkg-query -W -f='${db:Status-Status}' noxel 2>/dev/null | grep -qv '^not-installed$'; then
        apt-get purge -y -qq noxel "${pulled[@]}" >"$work/purge.log" 2>&1 || { cat "$work/purge.log"; return 1; }
    fi
}
cleanup() {
    purge || true
    # The service's settings of this machine, as they were.
    if [ -n "${settings_saved:-}" ]; then
        rm -rf /etc/xdg/Noxel
        if [ -e "$work/saved-settings" ]; then
            cp -a "$work/saved-settings" /etc/xdg/Noxel
        fi
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# --- the demo certificate is never pinned unasked --------------------------------
if "$top/scripts/package" "$work/refused" >"$work/refused.log" 2>&1; then
    fail "scripts/package built a package without a certificate or --demo"
fi
# The demo certificate under another name and with other line ends is still it.
sed 's/$/\r/' "$top/resources/ssl/server.crt" >"$work/provider.crt"
if NOXEL_API_CERTIFICATE="$work/provider.crt" "$top/scripts/package" "$work/refused" >"$work/refused.log" 2>&1; then
    fail "a package pinning the demo certificate (as provider.crt) was built without --demo"
fi
grep -q "demo provider's certificate" "$work/refused.log" || fail "the refusal does not name the demo certificate"
if compgen -G "$work/refused/*.deb" >/dev/null; then
    fail "a refused package was left in the output folder"
fi

# --- the demo package ------------------------------------------------------------
if ! "$top/scripts/package" --demo "$work/out" >"$work/package.log" 2>&1; then
    cat "$work/package.log"
    fail "scripts/package --demo failed"
    exit 1
fi
packages=("$work"/out/noxel_*.deb)
deb=${packages[0]}
[ -f "$deb" ] || { cat "$work/package.log"; fail "no package in the output folder"; exit 1; }
version=$(dpkg-deb -f "$deb" Version)
case $version in *~demo*) ;; *) fail "the demo package's version $version does not say demo" ;; esac
dpkg-deb -f "$deb" Description | tr -s " \n" "  " | grep -q "DEMO BUILD: trusts the certificate of the demo provider whose private key is public" \
    || fail "the demo package's description does not warn"
grep -q "DEMO PACKAGE" "$work/package.log" || fail "scripts/package printed no warning for the demo package"

# What of the package's paths the machine already had: the purge must leave those.
dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./|/|; s|/$||' | grep -v '^$' >"$work/paths"
while read -r path; do
    [ -e "$path" ] || echo "$path"
done <"$work/paths" >"$work/new-paths"

# --- install ---------------------------------------------------------------------
installed_packages >"$work/before"
if ! apt-get install -y -qq --no-install-recommends "$deb" >"$work/install.log" 2>&1; then
    # Stale package lists: fetch them once and try again.
    apt-get update -qq >/dev/null 2>&1
    apt-get install -y -qq --no-install-recommends "$deb" >"$work/install.log" 2>&1 \
        || { cat "$work/install.log"; fail "apt-get install of the package failed"; exit 1; }
fi

output=$(/usr/bin/noxel --version 2>&1) || fail "noxel --version failed: $output"
case $output in *2.3.1*) ;; *) fail "noxel --version printed '$output'" ;; esac
missing=$(ldd /usr/bin/noxel | grep 'not found')
[ -z "$missing" ] || fail "noxel misses libraries: $missing"
verify=$(dpkg --verify noxel)
[ -z "$verify" ] || fail "installed files differ from the package: $verify"

unit=$(dpkg -L noxel | grep '/lib/systemd/system/NoxelOpenVPNService.service$')
[ -n "$unit" ] && [ -f "$unit" ] || fail "the unit NoxelOpenVPNService.service is not installed"
exec_start=$(sed -n 's/^ExecStart=//p' "$unit" 2>/dev/null)
[ -x "$exec_start" ] || fail "the unit's ExecStart $exec_start is not an installed program"
if compgen -G "/etc/systemd/system/*.wants/NoxelOpenVPNService.service" >/dev/null; then
    fail "the unit was enabled at install; the client starts it on demand"
fi
# Root runs the service program: it and every folder above it are root's alone.
path=/usr/libexec/noxel/noxel-openvpn-service
[ -x "$path" ] || fail "$path is missing"
while [ "$path" != / ]; do
    read -r owner mode < <(stat -c '%U %a' "$path")
    if [ "$owner" != root ] || [ $((8#$mode & 8#022)) -ne 0 ]; then
        fail "$path is $owner's with mode $mode: others could change what root runs"
    fi
    path=$(dirname "$path")
done

# The pkexec action names the program it lets run as root, and that is ours.
python3 - <<'EOF' || fail "the polkit action does not name /usr/bin/noxel"
import xml.etree.ElementTree as ET
action = ET.parse("/usr/share/polkit-1/actions/com.noxel.client.policy").find("action")
notes = {a.get("key"): a.text for a in action.findall("annotate")}
assert action.get("id") == "com.noxel.client.run-elevated"
assert notes["org.freedesktop.policykit.exec.path"] == "/usr/bin/noxel"
assert action.find("defaults/allow_active").text == "auth_admin"
EOF
rule=/usr/share/polkit-1/rules.d/50-noxel-openvpn-service.rules
grep -q '"NoxelOpenVPNService.service"' "$rule" 2>/dev/null || fail "the polkit rule for the service is missing"
if command -v pkaction >/dev/null && pkaction >/dev/null 2>&1; then
    pkaction --action-id com.noxel.client.run-elevated >/dev/null 2>&1 || fail "polkitd does not know the action"
fi

desktop=/usr/share/applications/com.noxel.Client.desktop
desktop-file-validate "$desktop" || fail "$desktop does not validate"
command -v "$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")" >/dev/null || fail "the desktop entry's program is not on PATH"
[ -f /usr/share/metainfo/com.noxel.Client.metainfo.xml ] || fail "the AppStream metainfo is missing"
for size in 16 32 48 64 128 256; do
    [ -f "/usr/share/icons/hicolor/${size}x${size}/apps/noxel.png" ] || fail "no ${size}px icon"
done

# The client as root writes the service's settings; a purge takes them too. Those
# this machine had are put back at the end.
[ ! -e /etc/xdg/Noxel ] || cp -a /etc/xdg/Noxel "$work/saved-settings"
settings_saved=1
mkdir -p /etc/xdg/Noxel
echo "[General]" >"/etc/xdg/Noxel/Noxel OpenVPN.ini"

# --- purge -----------------------------------------------------------------------
purge || fail "the purge failed"
installed_packages | diff "$work/before" - >"$work/difference" \
    || fail "the purge did not bring back the packages of before: $(cat "$work/difference")"
dpkg-query -W -f='${db:Status-Status}' noxel 2>/dev/null | grep -qv '^not-installed$' \
    && fail "noxel is still known to dpkg"
while read -r path; do
    [ ! -e "$path" ] || fail "$path is left after the purge"
done <"$work/new-paths"
for path in /usr/libexec/noxel /usr/bin/noxel /lib/systemd/system/NoxelOpenVPNService.service \
    /usr/lib/systemd/system/NoxelOpenVPNService.service; do
    [ ! -e "$path" ] || fail "$path is left after the purge"
done
[ ! -e "/etc/xdg/Noxel/Noxel OpenVPN.ini" ] || fail "the purge left the service's settings"

if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "PASS: $(basename "$deb") installs, runs and purges cleanly"
