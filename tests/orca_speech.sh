#!/usr/bin/env bash
# What the screen reader Orca really says while the game is played by keys: cursor moves,
# a removal, Undo (also from a button), a key that changes nothing, the switches and
# options, About and Help, the end of a game, the table's rows and a name typed into it.
#   orca_speech.sh SCREEN_TOUR RUN_ORCA
# Each scenario runs the prepared game window under Orca (tools/run-orca.sh) and checks
# that the expected lines were spoken, in this order (other lines may come between).
set -uo pipefail
tour=$1
orca=$2
failed=0

# said EXPECTED_FILE ACTUAL_FILE: every expected line, in order, among the actual ones
# (an expected line ending in "..." is the start of one).
said() {
    awk 'NR == FNR { want[++n] = $0; next }
         i < n { w = want[i + 1]; if (w ~ /\.\.\.$/) { w = substr(w, 1, length(w) - 3); if (index($0, w) == 1) ++i } else if ($0 == w) ++i }
         END { exit !(i == n) }' "$1" "$2"
}

# expect NAME EXPECTED_FILE ACTUAL_FILE ORCA_ARGS...: runs the scenario and checks its
# speech. Each key goes once Orca has spoken about the one before (or after 8 s): a key
# sent while Orca still works on the last makes it drop that one's words unsaid.
expect() {
    local name=$1 want=$2 got=$3
    shift 3
    KEY_WAIT=8 KEY_QUIET=0.2 KEY_DELAY=0 "$orca" "$@" >"$got"
    said "$want" "$got" && { echo "PASS: $name"; return; }
    echo "FAIL: $name: expected, in order:"; sed 's/^/    /' "$want"
    echo "  Orca said:"; sed 's/^/    /' "$got"
    failed=1
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

# Undo pressed while a button has the keys, and a key that changes nothing, twice: each
# is said (the cell said again is a new part in the same place, with the same words).
cat >"$work/again.want" <<'LINES'
30 balls removed, score 60. Row 1, column 3, front: blue, group of 1, 0 points.
Undone, score 0. Row 1, column 3, front: orange, group of 30, 60 points.
Row 1, column 4, front: blue, group of 1, 0 points.
No move. Row 1, column 4, front: blue, group of 1, 0 points.
No move. Row 1, column 4, front: blue, group of 1, 0 points.
LINES
expect "Undo from a button, and a key that changes nothing" "$work/again.want" "$work/again.txt" \
    "$tour" column -- Right Right Right Return Tab ctrl+z Right Return Return

# The switches and options say their new state; About and Help are read when they open.
cat >"$work/options.want" <<'LINES'
notification Symbols on.
notification Guide on.
notification 7 colours for the next game.
notification Sound on.
notification Orbelix by Orbelix developers, version 1.0. Click to go back. Keys of the main screen: Control N new game...
notification Click a ball to remove its group...
LINES
expect "switches, options, About and Help" "$work/options.want" "$work/options.txt" \
    "$tour" column -- s g Tab Tab Tab space Tab space Tab Tab Tab space Escape F1 Escape

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
