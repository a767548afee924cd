#!/usr/bin/env bash
# What the screen reader Orca really says while the game is played by keys: cursor moves,
# a removal, Undo, the end of a game, the table's rows and a name typed into it.
#   orca_speech.sh SCREEN_TOUR RUN_ORCA
# Each scenario runs the prepared game window under Orca (tools/run-orca.sh) and checks
# that the expected lines were spoken, in this order (other lines may come between).
set -uo pipefail
tour=$1
orca=$2
failed=0

# said EXPECTED_FILE ACTUAL_FILE: every expected line, in order, among the actual ones.
said() {
    awk 'NR == FNR { want[++n] = $0; next } i < n && $0 == want[i + 1] { ++i } END { exit !(i == n) }' \
        "$1" "$2"
}

# expect NAME EXPECTED_FILE ACTUAL_FILE ORCA_ARGS...: runs the scenario and checks its
# speech. Orca drops focus changes that a newer one overtakes, which a loaded machine
# brings about with keys 0.4 s apart: a scenario that fails is run once more, slower.
expect() {
    local name=$1 want=$2 got=$3
    shift 3
    "$orca" "$@" >"$got"
    said "$want" "$got" && { echo "PASS: $name"; return; }
    KEY_DELAY=1.2 "$orca" "$@" >"$got.slow"
    if said "$want" "$got.slow"; then
        echo "PASS: $name (run again with keys 1.2 s apart; the first time Orca said:)"; sed 's/^/    /' "$got"
    else
        echo "FAIL: $name: expected, in order:"; sed 's/^/    /' "$want"
        echo "  Orca said:"; sed 's/^/    /' "$got"
        echo "  and with keys 1.2 s apart:"; sed 's/^/    /' "$got.slow"
        failed=1
    fi
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export SDL_AUDIODRIVER=dummy

# A board whose third column is one colour: the cursor goes there, takes it, and Undo.
cat >"$work/column.want" <<'LINES'
Row 1, column 1, front: white, group of 2, 4 points.
Row 1, column 2, front: sky blue, group of 1, 0 points.
Row 1, column 3, front: orange, group of 30, 60 points.
Row 2, column 3, front: orange, group of 30, 60 points.
Row 2, column 3, middle: orange, group of 30, 60 points.
Row 1, column 3, middle: orange, group of 30, 60 points.
30 balls removed, score 60. Row 1, column 3, middle: sky blue, group of 1, 0 points.
Undone, score 0. Row 1, column 3, middle: orange, group of 30, 60 points.
LINES
expect "cursor moves, a removal and Undo" "$work/column.want" "$work/column.txt" \
    "$tour" column -- Right Right Right Down l Up Return ctrl+z

# A board whose last move is a pair in column 1: the game ends into name entry; two
# letters are typed, the name ends, and the arrows read the rows.
cat >"$work/endgame.want" <<'LINES'
Row 9, column 1, front: red, group of 2, 4 points.
notification 2 balls removed, score 4. Game over: no two balls of one colour touch within a layer. 298 balls left.
High scores.
1. (no name) 4.
1. A 4.
1. AB 4.
2. (no name) 0.
1. AB 4.
LINES
expect "the end of a game, the table and a name typed" "$work/endgame.want" "$work/endgame.txt" \
    "$tour" endgame -- Right Down Down Down Down Down Down Down Down Return sleep:6 a b Return Down Up
exit $failed
