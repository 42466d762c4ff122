#!/usr/bin/env bash
# Runs a test on a private D-Bus session bus with a GNOME keyring of its own,
# unlocked, in a throw-away home; the bus, the keyring and the home end with it.
# The test sees NOXEL_TEST_KEYRING=1. Exits 77 (skipped) where the keyring daemon
# cannot start or answer.
#
#   run-keyring.sh PROGRAM [ARGUMENTS...]
set -euo pipefail
for program in dbus-run-session gnome-keyring-daemon secret-tool; do
    command -v "$program" >/dev/null || { echo "run-keyring: SKIP: $program is missing" >&2; exit 77; }
done
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -m 700 "$home/runtime"
export HOME="$home" XDG_DATA_HOME="$home/share" XDG_CONFIG_HOME="$home/config" \
    XDG_CACHE_HOME="$home/cache" XDG_RUNTIME_DIR="$home/runtime" NOXEL_TEST_KEYRING=1
# QtKeychain picks KWallet on a KDE desktop; this one has only the keyring. With no
# display, a locked keyring refuses at once instead of asking for its password.
unset XDG_CURRENT_DESKTOP DESKTOP_SESSION KDE_FULL_SESSION KDE_SESSION_VERSION GNOME_DESKTOP_SESSION_ID \
    DISPLAY WAYLAND_DISPLAY
# shellcheck disable=SC2016
dbus-run-session -- bash -c '
    skip() {
        echo "run-keyring: SKIP: $1" >&2
        cat "$HOME/keyring.log" >&2 2>/dev/null || true
        exit 77
    }
    # Creates the login keyring, the default one, and unlocks it.
    printf noxel | gnome-keyring-daemon --unlock --components=secrets >/dev/null 2>"$HOME/keyring.log" \
        || skip "gnome-keyring-daemon could not start"
    printf probe | timeout 60 secret-tool store --label=probe noxel-probe 1 2>>"$HOME/keyring.log" \
        && timeout 60 secret-tool clear noxel-probe 1 2>>"$HOME/keyring.log" \
        || skip "the keyring does not keep secrets"
    "$@"
' run-keyring "$@"
