#!/usr/bin/env bash
# The close box of the main window, pressed while the high-score window is up for a name,
# still ends the game (the score already saved), under a real X server and window manager.
#   close_while_blocked.sh SCREEN_TOUR
set -uo pipefail
tour=$1
work=$(mktemp -d)
# A display number the X server picks itself: a number drawn at random could be one
# another test's server already has, and this test would then talk to that server.
exec {displayfd}>"$work/display"
# -noreset: the server stays up when its last client leaves (xdpyinfo, below), or
# whoever connects next, during the reset, is refused.
Xvfb -displayfd "$displayfd" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$game" "$wm" "$xvfb" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
display=:$(cat "$work/display")
export QT_QPA_PLATFORM=xcb DISPLAY=$display XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state SDL_AUDIODRIVER=dummy
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm=$!
# Ready once it announces what it supports (slow to come on a loaded machine).
for _ in $(seq 300); do
    xprop -root _NET_SUPPORTED 2>/dev/null | grep -q _NET_ACTIVE_WINDOW && break
    sleep 0.1
done
"$tour" endgame >/dev/null 2>&1 &
game=$!
waitfor() { for _ in $(seq 200); do xdotool search --name "$1" 2>/dev/null | head -1 | grep . && return; sleep 0.1; done; return 1; }
main=$(waitfor '^Orbelix$') || { echo "FAIL: no game window"; exit 1; }
xprop -root _NET_SUPPORTED 2>/dev/null | grep -q _NET_ACTIVE_WINDOW || { echo "FAIL: the window manager did not start:"; cat "$work/openbox.log"; exit 1; }
sleep 1  # mapped and framed
xdotool windowactivate "$main"
sleep 0.5
xdotool key Right
for _ in 1 2 3 4 5 6 7 8; do xdotool key Down; done
xdotool key Return
waitfor '^High Scores$' >/dev/null || { echo "FAIL: the name window did not open"; exit 1; }
sleep 1
wmctrl -F -c Orbelix
for _ in $(seq 300); do kill -0 "$game" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$game" 2>/dev/null; then echo "FAIL: the close was lost"; exit 1; fi
grep -q '^HighScore1=" 4"' "$work/config/Orbelix/Orbelix.ini" || { echo "FAIL: score not kept"; exit 1; }
echo "PASS: the close ended the game, its score kept"
