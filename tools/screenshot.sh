#!/usr/bin/env bash
# Takes the README's screenshot: starts the game under its own Xvfb, clicks New, makes a
# few moves with real clicks, and saves the window as a PNG.
#   tools/screenshot.sh [OUTPUT.png] [SCALE]
# SCALE (default 2) shows the game as a screen of that density does (QT_SCALE_FACTOR),
# with the pictures drawn for it; 1 gives the game's own size.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/screenshot.png}
scale=${2:-2}
game=${GAME:-build/orbelix}
display=:${DISPLAY_NUMBER:-95}

config=$(mktemp -d)
cleanup() {
    [ -n "${game_pid:-}" ] && kill "$game_pid" 2>/dev/null || true
    [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$config"
}
trap cleanup EXIT

Xvfb "$display" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

XDG_CONFIG_HOME=$config XDG_STATE_HOME=$config/state QT_SCALE_FACTOR=$scale SDL_AUDIODRIVER=dummy "$game" >/dev/null 2>&1 &
game_pid=$!
window=""
for _ in $(seq 100); do
    window=$(xdotool search --name '^Orbelix$' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "the game window did not appear" >&2; exit 1; }
sleep 0.5

# Clicks in the window's logical pixels, scaled to the screen.
click() { xdotool mousemove --window "$window" $(( $1 * scale )) $(( $2 * scale )) click 1; sleep 0.15; }
click 622 84                       # New
# A few moves along the bottom rows: the front ball of each column.
for column in 1 2 3 4 5 6 7 8 9 10 1 2 3; do
    click $(( (column - 1) * 49 + 24 )) 307
done
sleep 0.3
mkdir -p "$(dirname "$out")"
import -window "$window" "$out"
echo "saved $out"
