#!/usr/bin/env bash
# Runs the game under Xvfb with the AT-SPI accessibility bus, as a screen reader
# would meet it, then runs a command against it (default: tools/atspi_dump.py).
# Call inside a private D-Bus session:
#   dbus-run-session -- tools/atspi_session.sh build/orbelix [COMMAND...]
# DISPLAY_NUMBER picks the X display (default 99).
set -euo pipefail
game=$1; shift
here=$(cd "$(dirname "$0")" && pwd)
[ $# -gt 0 ] || set -- /usr/bin/python3 "$here/atspi_dump.py"
display=":${DISPLAY_NUMBER:-99}"
config=$(mktemp -d)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$config"; }
trap cleanup EXIT

Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 & pids+=($!)
export DISPLAY=$display
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 & pids+=($!)
sleep 1
/usr/libexec/at-spi2-registryd >/dev/null 2>&1 & pids+=($!)
sleep 1
QT_ACCESSIBILITY=1 QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 XDG_CONFIG_HOME=$config SDL_AUDIODRIVER=dummy \
    "$game" >/dev/null 2>&1 & pids+=($!)
sleep 2
"$@"
