#!/usr/bin/env bash
# Runs a window test on a desktop of its own: a virtual X server with the openbox
# window manager and, with --tray, the trayer tray host; everything ends with it.
#
#   run-desktop.sh [--tray] PROGRAM [ARGUMENTS...]
set -euo pipefail
tray=0
if [ "${1:-}" = --tray ]; then
    tray=1
    shift
fi
for program in xvfb-run openbox; do
    command -v "$program" >/dev/null || { echo "run-desktop: $program is missing" >&2; exit 1; }
done
if [ "$tray" = 1 ] && ! command -v trayer >/dev/null; then
    echo "run-desktop: trayer is missing" >&2
    exit 1
fi
export NOXEL_TEST_TRAY=$tray
# shellcheck disable=SC2016
exec xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    openbox >/dev/null 2>&1 &
    helpers=$!
    if [ "$NOXEL_TEST_TRAY" = 1 ]; then
        trayer --edge top --align right --widthtype pixel --width 120 --height 24 >/dev/null 2>&1 &
        helpers="$helpers $!"
    fi
    trap "kill $helpers 2>/dev/null || true" EXIT
    "$@"
' run-desktop "$@"
