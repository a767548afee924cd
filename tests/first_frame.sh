#!/usr/bin/env bash
# The game's first frame is its finished window: on an X server of its own, watched from
# outside, the game shows one frame at start and no other, at scale 1 and 3; under a
# window manager, no more frames than the bare Qt window beside it (the manager's own
# redrawing, the title bar taking the focus, may come as a frame of its own now and
# then: the game has two more tries there). Without a session bus to reach, it starts
# and ends as well.
#   first_frame.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

exec {displayfd}>"$work/display"
Xvfb -displayfd "$displayfd" -screen 0 2800x1600x24 -nolisten tcp -noreset 2>/dev/null &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display") XDG_CONFIG_HOME=$work XDG_STATE_HOME=$work \
    SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=xcb ORBELIX_REPORT_FIRST_FRAME=1

frames() {  # frames PROGRAM SCALE: the frames shown at start
    QT_SCALE_FACTOR=$2 "$build/bench/frame_watch" --quiet 1500 --reported -- "$1" | sed -n 's/.* frames //p'
}

for scale in 1 3; do
    shown=$(frames "$build/orbelix" "$scale")
    [ "$shown" = 1 ] || fail "no window manager, scale $scale: $shown frames instead of 1"
done

# A session bus that cannot be reached: the start-up thread's connection to it fails,
# and the game starts all the same and ends normally.
coproc GAME { DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus" exec "$build/orbelix"; }
game=$GAME_PID
said=$(timeout 30 head -n 1 <&"${GAME[0]}" || true)
kill -TERM "$game"
status=0
wait "$game" || status=$?
[ "$said" = first-frame ] && [ "$status" = 0 ] ||
    fail "unreachable session bus: said '$said', ended with status $status"

openbox >/dev/null 2>&1 &
pids+=($!)
# Ready once it announces what it supports (slow to come on a loaded machine).
for _ in $(seq 300); do
    xprop -root _NET_SUPPORTED 2>/dev/null | grep -q _NET_ACTIVE_WINDOW && break
    sleep 0.1
done
sleep 0.5
for scale in 1 3; do
    bare=$(frames "$build/bench/reference" "$scale")
    shown=$(frames "$build/orbelix" "$scale")
    for _ in 1 2; do [ "$shown" -le "$bare" ] || shown=$(frames "$build/orbelix" "$scale"); done
    [ "$shown" -le "$bare" ] ||
        fail "openbox, scale $scale: $shown frames, the bare window $bare"
done
echo "$((5 - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
