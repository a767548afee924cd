#!/bin/sh
# A FIFO put in the lock's place again and again while a copy saves: every save must end.
# Usage: fifo_race.sh SETTINGS_TOOL [ROUNDS]; prints the rounds that hung, fails if any.
tool=$1 rounds=${2:-200} hung=0 i=0
dir=$(mktemp -d) && mkdir -p "$dir/Orbelix" || exit 2
lock=$dir/Orbelix/Orbelix.ini.lock
while [ $i -lt "$rounds" ]; do
    # For half a second, a FIFO is swapped into the lock's place, whatever is there.
    python3 -c 'import os, sys, time
end = time.time() + 0.5
while time.time() < end:
    os.mkfifo(sys.argv[1] + ".new")
    os.rename(sys.argv[1] + ".new", sys.argv[1])' "$lock" &
    while [ ! -p "$lock" ]; do sleep 0.01; done
    XDG_CONFIG_HOME=$dir timeout 10 "$tool" once $i >/dev/null 2>&1
    [ $? -eq 124 ] && hung=$((hung + 1))
    wait
    rm -rf "$lock" "$lock".*
    i=$((i + 1))
done
rm -rf "$dir"
echo "$rounds rounds, $hung hung"
[ $hung -eq 0 ]
