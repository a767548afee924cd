#!/usr/bin/env bash
# Whether Orca speaks every move, not only most: in one Orca session, ROUNDS times over,
# the cursor leaves the one-colour third column and comes back, takes it, and Undo puts
# it back. Each key goes only once Orca has spoken about the one before (or 8 s passed).
#   orca_repeat.sh SCREEN_TOUR RUN_ORCA [ROUNDS]
set -uo pipefail
tour=$1
orca=$2
rounds=${3:-20}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export SDL_AUDIODRIVER=dummy

keys=(Right Right Right)
for ((i = 0; i < rounds; i++)); do keys+=(Left Right Return ctrl+z); done
KEY_WAIT=8 KEY_QUIET=0.2 KEY_DELAY=0 ORCA_LOG=${ORCA_LOG:-} "$orca" "$tour" column -- "${keys[@]}" >"$work/said.txt"

removed=$(grep -c '^30 balls removed, score 60\. Row 1, column 3' "$work/said.txt")
undone=$(grep -c '^Undone, score 0\. Row 1, column 3, front: orange, group of 30' "$work/said.txt")
# Each removal is followed by its own Undo: the two alternate, never two of one in a row.
pairs=$(grep -E '^(30 balls removed|Undone)' "$work/said.txt" | cut -c1-2 | paste -sd' ')
expected=$(for ((i = 0; i < rounds; i++)); do printf '30 Un '; done)
echo "removals spoken: $removed of $rounds; Undos spoken: $undone of $rounds"
if [ "$removed" -eq "$rounds" ] && [ "$undone" -eq "$rounds" ] && [ "$pairs " = "$expected" ]; then
    echo "PASS: every removal and every Undo spoken"
    exit 0
fi
echo "FAIL: Orca said:"
sed 's/^/    /' "$work/said.txt"
exit 1
