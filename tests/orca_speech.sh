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

# expect NAME EXPECTED_FILE ACTUAL_FILE: every expected line, in order, among the actual ones.
expect() {
    if awk 'NR == FNR { want[++n] = $0; next } i < n && $0 == want[i + 1] { ++i } END { exit !(i == n) }' \
        "$2" "$3"; then
        echo "PASS: $1"
    else
        echo "FAIL: $1: expected, in order:"; sed 's/^/    /' "$2"
        echo "  Orca said:"; sed 's/^/    /' "$3"
        failed=1
    fi
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export SDL_AUDIODRIVER=dummy

# A board whose third column is one colour: the cursor goes there, takes it, and Undo.
"$orca" "$tour" column -- Right Right Right Down l Up Return ctrl+z >"$work/column.txt"
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
expect "cursor moves, a removal and Undo" "$work/column.want" "$work/column.txt"

# A board whose last move is a pair in column 1: the game ends into name entry; two
# letters are typed, the name ends, and the arrows read the rows.
"$orca" "$tour" endgame -- Right Down Down Down Down Down Down Down Down Return sleep:6 a b Return \
    Down Up >"$work/endgame.txt"
cat >"$work/endgame.want" <<'LINES'
Row 9, column 1, front: red, group of 2, 4 points.
notification 2 balls removed, score 4. Game over.
High scores.
1. (no name) 4.
1. A 4.
1. AB 4.
2. (no name) 0.
1. AB 4.
LINES
expect "the end of a game, the table and a name typed" "$work/endgame.want" "$work/endgame.txt"
exit $failed
