#!/usr/bin/env bash
# Proves the README's two "Build and play" commands on a bare Debian 12: makes a minbase
# chroot with debootstrap in a temporary folder under /var/tmp, adds an ordinary user with
# sudo (and nothing else: no make, no compiler), puts a fresh clone of the project in that
# user's home, and runs the two commands exactly as the README states them, as that user:
# the test command must pass; the run command must bring up the game's window on an Xvfb
# display inside the chroot, where it is photographed and closed with Ctrl+Q, and it must
# then exit with status 0. The last line printed is "RESULT: PASS" or "RESULT: FAIL: why".
# Everything it started, mounted or made is removed again on every way out.
#
# Usage (as root):  tools/check-readme.sh [options] [REPOSITORY]
#   REPOSITORY        git repository to clone (default: the repository of this tree, at the
#                     commit checked out here)
#   --rev REV         commit, branch or tag of REPOSITORY to check out (default: its HEAD)
#   --shot FILE       where to write the screenshot (default /tmp/check-readme-shot.png)
#   --keep            keep the chroot folder afterwards (it is unmounted either way)
# Environment:
#   SUITE=bookworm            Debian release to bootstrap
#   MIRROR=URL                Debian mirror (default: the one this machine's apt uses)
#   SECURITY_MIRROR=URL       security mirror (default: likewise)
#   DEBOOTSTRAP_CACHE=DIR     reuse downloaded base packages between runs
#   APT_CACHE=DIR             reuse the packages apt downloads inside the chroot
#   DISPLAY_NUMBER=16         the Xvfb display started in the chroot
#   WINDOW_SECONDS=900        how long the run command may take to show the window
# shellcheck disable=SC2015,SC2016  # "A && B || fail" is meant; dpkg-query formats are literal
set -euo pipefail

usage() { sed -n '2,24p' "$0" | sed 's/^# \{0,1\}//'; exit "${1:-2}"; }

# Long and CPU-heavy: keep out of the way of interactive work on the machine.
if [ "$(nice)" -lt 10 ]; then exec nice -n 10 "$0" "$@"; fi

HERE=$(cd "$(dirname "$0")/.." && pwd)
KEEP=0
SHOT=/tmp/check-readme-shot.png
REPO=
REV=
while [ $# -gt 0 ]; do
    case "$1" in
        --keep) KEEP=1 ;;
        --shot) shift; SHOT=${1:?--shot needs a file name} ;;
        --rev) shift; REV=${1:?--rev needs a commit} ;;
        -h|--help) usage 0 ;;
        -*) echo "check-readme: unknown option '$1'" >&2; usage 2 ;;
        *) [ -z "$REPO" ] || { echo "check-readme: only one repository, please" >&2; exit 2; }; REPO=$1 ;;
    esac
    shift
done
[ "$(id -u)" -eq 0 ] || { echo "check-readme: must run as root (debootstrap, chroot, mount)" >&2; exit 2; }
if [ -z "$REPO" ]; then
    REPO=$HERE
    REV=${REV:-$(git -C "$HERE" rev-parse HEAD)}
    [ -z "$(git -C "$HERE" status --porcelain --untracked-files=no)" ] \
        || echo "check-readme: note: uncommitted changes in $HERE are not part of the clone"
fi

SUITE=${SUITE:-bookworm}
DISPLAY_NUMBER=${DISPLAY_NUMBER:-16}
WINDOW_SECONDS=${WINDOW_SECONDS:-900}
PLAYER=player
STARTED=$(date +%s)

# ---------------------------------------------------------------------------------------
# Outcome: the first failure ends the run; the verdict is printed last, after cleaning up.

VERDICT=
pass() { printf '[PASS] %s\n' "$1"; }
fail() { VERDICT="FAIL: $1"; printf '[FAIL] %s\n' "$1"; exit 1; }
step() { printf '\n=== %s (%s)\n' "$*" "$(elapsed)"; }
elapsed() { local s=$(($(date +%s) - STARTED)); printf '%dm%02ds' $((s / 60)) $((s % 60)); }

# ---------------------------------------------------------------------------------------
# Working folders, processes and mounts, and tidying them up whatever happens

WORK=$(mktemp -d /var/tmp/check-readme.XXXXXX)
ROOT=$WORK/root
LOGDIR=$(mktemp -d /tmp/check-readme-logs.XXXXXX)
MOUNTS=()     # mount points this script made, in mounting order

do_mount() {  # do_mount TARGET mount-args...
    local target=$1; shift
    mkdir -p "$target"
    mount "$@" "$target"
    MOUNTS+=("$target")
}

chroot_processes() {  # PIDs of processes whose root is our chroot (all started by us)
    local p r
    for p in /proc/[0-9]*; do
        r=$(readlink "$p/root" 2>/dev/null) || continue
        case "$r" in "$ROOT"|"$ROOT"/*) printf '%s\n' "${p#/proc/}" ;; esac
    done
}

cleanup() {
    local rc=$? pid i mnt
    set +e
    if [ -d "$ROOT" ]; then
        for pid in $(chroot_processes); do kill -TERM "$pid" 2>/dev/null; done
        for _ in 1 2 3 4 5 6 7 8 9 10; do [ -z "$(chroot_processes)" ] && break; sleep 0.3; done
        for pid in $(chroot_processes); do kill -KILL "$pid" 2>/dev/null; done
        sleep 0.3
    fi
    wait 2>/dev/null
    for ((i = ${#MOUNTS[@]} - 1; i >= 0; i--)); do
        mnt=${MOUNTS[$i]}
        mountpoint -q "$mnt" && { umount "$mnt" || umount -l "$mnt"; }
    done
    if grep -q " $WORK" /proc/mounts; then
        echo "check-readme: something is still mounted under $WORK; leaving it in place" >&2
        [ -n "$VERDICT" ] || VERDICT="FAIL: could not unmount everything under $WORK"
    elif [ "$KEEP" -eq 1 ]; then
        echo "check-readme: chroot kept (unmounted) in $ROOT"
    else
        rm -rf --one-file-system "$WORK"
    fi
    if [ -z "$VERDICT" ]; then
        if [ "$rc" -eq 0 ]; then VERDICT=PASS; else VERDICT="FAIL: stopped with status $rc"; fi
    fi
    printf '\nlogs: %s\ntime: %s\nRESULT: %s\n' "$LOGDIR" "$(elapsed)" "$VERDICT"
    case "$VERDICT" in PASS) exit 0 ;; *) exit 1 ;; esac
}
trap cleanup EXIT
trap 'VERDICT="FAIL: interrupted"; exit 130' INT
trap 'VERDICT="FAIL: terminated"; exit 143' TERM

# Root inside the chroot, with a clean environment.
in_root() {
    chroot "$ROOT" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
        DEBIAN_FRONTEND=noninteractive "$@"
}
# The ordinary user in a login shell, as after logging in: their own environment from
# /etc/profile and ~/.profile, a private runtime folder, no terminal to answer prompts.
as_player() {  # as_player SHELL-COMMAND
    in_root runuser -l "$PLAYER" -c \
        "export LANG=C.UTF-8 XDG_RUNTIME_DIR=/run/user/$PLAYER_UID; $1" </dev/null
}

# ---------------------------------------------------------------------------------------
# The two commands, from the first fenced block under the README's "Build and play"
# heading: one line each, comments after "#" dropped. The one that names "test" is the
# test command, the other one the run command.

readme_commands() {  # readme_commands README -> lines "test<TAB>cmd" and "run<TAB>cmd"
    awk '
        /^## / { section = ($0 ~ /^## +Build and play *$/); next }
        section && !done && /^```/ { if (inside) { done = 1 } inside = !inside; next }
        section && inside {
            line = $0
            sub(/(^|[ \t]+)#.*$/, "", line)
            gsub(/^[ \t]+|[ \t]+$/, "", line)
            if (line != "") print line
        }' "$1" |
    while IFS= read -r cmd; do
        if grep -Eq '(^|[^[:alnum:]_-])test([^[:alnum:]_-]|$)' <<<"$cmd"; then
            printf 'test\t%s\n' "$cmd"
        else
            printf 'run\t%s\n' "$cmd"
        fi
    done
}

# Which mirror this machine's apt uses for SUITE.
# shellcheck source=tools/apt-mirror.sh
. "$HERE/tools/apt-mirror.sh"

MIRROR=${MIRROR:-$(mirror_for "$SUITE")}
MIRROR=${MIRROR:-http://deb.debian.org/debian}
SECURITY_MIRROR=${SECURITY_MIRROR:-$(mirror_for "$SUITE-security")}
SECURITY_MIRROR=${SECURITY_MIRROR:-http://deb.debian.org/debian-security}

for tool in debootstrap git xdotool import convert; do
    command -v "$tool" >/dev/null || fail "the host lacks $tool (debootstrap, git, xdotool, imagemagick)"
done

# ---------------------------------------------------------------------------------------
step "1. Fresh clone of $REPO${REV:+ at $REV}"

# --no-local: copy the objects, never hard-link them, since the copy changes owner below.
git clone -q --no-local "$REPO" "$WORK/clone" >"$LOGDIR/clone.log" 2>&1 \
    || fail "git clone $REPO failed (see clone.log)"
if [ -n "$REV" ]; then
    git -C "$WORK/clone" checkout -q --detach "$REV" >>"$LOGDIR/clone.log" 2>&1 \
        || fail "cannot check out $REV (see clone.log)"
fi
echo "commit: $(git -C "$WORK/clone" log -1 --format='%h %s')"
README=$WORK/clone/README.md
[ -f "$README" ] || fail "the clone has no README.md"
readme_commands "$README" >"$LOGDIR/commands.txt"
sed 's/^/README: /' "$LOGDIR/commands.txt"
[ "$(grep -c . "$LOGDIR/commands.txt")" -eq 2 ] \
    || fail "expected two commands in the README's Build and play block, found $(grep -c . "$LOGDIR/commands.txt")"
TEST_CMD=$(sed -n 's/^test\t//p' "$LOGDIR/commands.txt")
RUN_CMD=$(sed -n 's/^run\t//p' "$LOGDIR/commands.txt")
[ -n "$TEST_CMD" ] && [ -n "$RUN_CMD" ] && [ "$(grep -c '^test' "$LOGDIR/commands.txt")" -eq 1 ] \
    || fail "cannot tell the README's test command from its run command"
pass "the README's test command: $TEST_CMD"
pass "the README's run command: $RUN_CMD"

# ---------------------------------------------------------------------------------------
step "2. Bare $SUITE (debootstrap --variant=minbase) in $ROOT from $MIRROR"

DEBOOTSTRAP_ARGS=(--variant=minbase)
if [ -n "${DEBOOTSTRAP_CACHE:-}" ]; then
    mkdir -p "$DEBOOTSTRAP_CACHE"
    DEBOOTSTRAP_ARGS+=("--cache-dir=$(readlink -f "$DEBOOTSTRAP_CACHE")")
fi
debootstrap "${DEBOOTSTRAP_ARGS[@]}" "$SUITE" "$ROOT" "$MIRROR" >"$LOGDIR/debootstrap.log" 2>&1 \
    || fail "debootstrap failed (see debootstrap.log)"
pass "debootstrap --variant=minbase $SUITE"
do_mount "$ROOT/proc" -t proc proc
do_mount "$ROOT/sys" -t sysfs -o ro sysfs
do_mount "$ROOT/dev/pts" -t devpts -o newinstance,ptmxmode=0666 devpts
do_mount "$ROOT/dev/shm" -t tmpfs -o mode=1777,nosuid,nodev shm
do_mount "$ROOT/run" -t tmpfs -o mode=755,nosuid,nodev run
mkdir -p "$ROOT/run/lock" && chmod 1777 "$ROOT/run/lock"
if [ -n "${APT_CACHE:-}" ]; then
    mkdir -p "$APT_CACHE/partial"
    do_mount "$ROOT/var/cache/apt/archives" --bind "$(readlink -f "$APT_CACHE")"
fi
cat >"$ROOT/etc/apt/sources.list" <<EOF
deb $MIRROR $SUITE main
deb $MIRROR $SUITE-updates main
deb $SECURITY_MIRROR $SUITE-security main
EOF
# No services start inside the chroot; the host's name resolves (sudo looks it up).
printf '#!/bin/sh\nexit 101\n' >"$ROOT/usr/sbin/policy-rc.d"
chmod 755 "$ROOT/usr/sbin/policy-rc.d"
grep -qw "$(hostname)" "$ROOT/etc/hosts" 2>/dev/null || printf '127.0.1.1\t%s\n' "$(hostname)" >>"$ROOT/etc/hosts"

# ---------------------------------------------------------------------------------------
step "3. An ordinary user with sudo, and the clone in their home"

in_root apt-get update >"$LOGDIR/apt-update.log" 2>&1 || fail "apt-get update in the chroot failed"
in_root apt-get install -y sudo >"$LOGDIR/sudo-install.log" 2>&1 || fail "could not install sudo"
# Evidence that the machine is bare: none of the build tools is there.
for p in make g++ cmake qt6-base-dev; do
    ! in_root dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" \
        || fail "$p is already installed in the fresh chroot"
done
for t in make c++ cc cmake; do
    ! in_root sh -c "command -v $t" >/dev/null || fail "$t is already on the fresh chroot's PATH"
done
pass "bare: no make, g++, cmake or Qt development files ($(in_root dpkg-query -W | wc -l) packages)"
in_root useradd --create-home --shell /bin/bash --groups sudo "$PLAYER" || fail "useradd failed"
PLAYER_UID=$(in_root id -u "$PLAYER")
mkdir -p "$ROOT/run/user/$PLAYER_UID"
in_root chown "$PLAYER:$PLAYER" "/run/user/$PLAYER_UID"
chmod 700 "$ROOT/run/user/$PLAYER_UID"
# Passwordless, and every command run through sudo written down for the check below.
cat >"$ROOT/etc/sudoers.d/check-readme" <<EOF
Defaults logfile=/var/log/sudo-commands.log, loglinelen=0
$PLAYER ALL=(ALL:ALL) NOPASSWD: ALL
EOF
chmod 440 "$ROOT/etc/sudoers.d/check-readme"
in_root visudo -c >"$LOGDIR/visudo.log" 2>&1 || fail "sudoers do not parse (see visudo.log)"
cp -a "$WORK/clone" "$ROOT/home/$PLAYER/orbelix"
in_root chown -R "$PLAYER:$PLAYER" "/home/$PLAYER/orbelix"
pass "user $PLAYER (uid $PLAYER_UID, group sudo) with the clone in ~/orbelix"

# ---------------------------------------------------------------------------------------
step "4. The test command, as $PLAYER: $TEST_CMD"

T0=$(date +%s)
rc=0; as_player "cd ~/orbelix && $TEST_CMD" >"$LOGDIR/test-command.log" 2>&1 || rc=$?
T1=$(date +%s)
sed -n '/^Orbelix needs/,/^Installing/p' "$LOGDIR/test-command.log"
grep -E 'tests passed|tests failed|Total Test time' "$LOGDIR/test-command.log" || true
if [ "$rc" -ne 0 ]; then
    tail -n 40 "$LOGDIR/test-command.log"
    fail "the test command exited with status $rc after $((T1 - T0)) s (see test-command.log)"
fi
grep -q '100% tests passed' "$LOGDIR/test-command.log" \
    || fail "the test command exited 0 but ctest did not report 100% tests passed"
pass "the test command passed in $((T1 - T0)) s"
# Privileges were used for installing packages and nothing else.
SUDO_LOG=$ROOT/var/log/sudo-commands.log
[ -s "$SUDO_LOG" ] || fail "sudo was never used, yet the packages got installed"
sed -n 's/.*COMMAND=//p' "$SUDO_LOG" >"$LOGDIR/sudo-commands.txt"
sed 's/^/sudo: /' "$LOGDIR/sudo-commands.txt" | cut -c1-150
OTHER=$(grep -Ev '^/usr/bin/env DEBIAN_FRONTEND=noninteractive apt-get ' "$LOGDIR/sudo-commands.txt" || true)
[ -z "$OTHER" ] || fail "sudo was used for more than the package install: $OTHER"
pass "sudo was used for apt-get alone ($(wc -l <"$LOGDIR/sudo-commands.txt") calls)"

# ---------------------------------------------------------------------------------------
step "5. The run command, as $PLAYER on Xvfb :$DISPLAY_NUMBER: $RUN_CMD"

# The desktop's X server: Xvfb, which the test command's packages already bring; on a
# desktop the session has one anyway.
if ! in_root sh -c 'command -v Xvfb' >/dev/null; then
    in_root apt-get install -y --no-install-recommends xvfb xauth >"$LOGDIR/xvfb-install.log" 2>&1 \
        || fail "could not install Xvfb in the chroot"
    echo "Xvfb installed in the chroot as the stand-in for a desktop's X server"
fi
[ ! -e "$ROOT/tmp/.X$DISPLAY_NUMBER-lock" ] || fail "display :$DISPLAY_NUMBER is already in use in the chroot"
install -d -m 1777 "$ROOT/tmp/.X11-unix"
in_root Xvfb ":$DISPLAY_NUMBER" -screen 0 1280x1024x24 -nolisten tcp \
    >"$LOGDIR/xvfb.log" 2>&1 </dev/null &
export DISPLAY=:$DISPLAY_NUMBER
for _ in $(seq 100); do
    [ -S "$ROOT/tmp/.X11-unix/X$DISPLAY_NUMBER" ] && xdotool getmouselocation >/dev/null 2>&1 && break
    sleep 0.1
done
xdotool getmouselocation >/dev/null 2>&1 \
    || fail "Xvfb :$DISPLAY_NUMBER did not start in the chroot (see xvfb.log; is :$DISPLAY_NUMBER taken?)"

T0=$(date +%s)
as_player "export DISPLAY=:$DISPLAY_NUMBER; cd ~/orbelix && $RUN_CMD" >"$LOGDIR/run-command.log" 2>&1 &
RUNNER=$!
WINDOW=
while [ $(($(date +%s) - T0)) -lt "$WINDOW_SECONDS" ] && kill -0 "$RUNNER" 2>/dev/null; do
    WINDOW=$(xdotool search --onlyvisible --name '^Orbelix$' 2>/dev/null | head -n 1 || true)
    [ -z "$WINDOW" ] || break
    sleep 1
done
if [ -z "$WINDOW" ]; then
    tail -n 30 "$LOGDIR/run-command.log"
    kill -0 "$RUNNER" 2>/dev/null && fail "no game window within $WINDOW_SECONDS s of the run command"
    rc=0; wait "$RUNNER" || rc=$?
    fail "the run command ended with status $rc before a game window showed (see run-command.log)"
fi
pass "the game's window $WINDOW is up $(($(date +%s) - T0)) s after the run command"
sleep 2   # the first frame
GEOMETRY=$(xwininfo -id "$WINDOW" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
    /Width:/ {w=$NF} /Height:/ {h=$NF} END {print w "x" h "+" x "+" y}')
import -window root "$SHOT" 2>"$LOGDIR/import.err" || fail "the screenshot failed (see import.err)"
# Violet lettering and a lit playing area inside the game's window.
VIOLET=$(convert "$SHOT" -crop "$GEOMETRY" +repage -fx 'b > 0.75 && r > 0.5 && r < 0.9 && g < r - 0.1' \
         -format '%[fx:round(mean * w * h)]' info: 2>/dev/null || echo 0)
[ "$VIOLET" -gt 200 ] || fail "the screenshot shows no lettering in the window $GEOMETRY ($VIOLET violet pixels)"
pass "screenshot $SHOT: window $GEOMETRY, $VIOLET violet pixels"

# A first game: New (its place in the window, in pixels) fills the board with balls.
colourful() {  # colourful PNG: pixels of strong colour inside the game's window
    convert "$1" -crop "$GEOMETRY" +repage -fx 'max(r, max(g, b)) - min(r, min(g, b)) > 0.3' \
        -format '%[fx:round(mean * w * h)]' info: 2>/dev/null || echo 0
}
xdotool mousemove --window "$WINDOW" 622 84 click 1
sleep 2
BOARD_SHOT=${SHOT%.png}-new.png
import -window root "$BOARD_SHOT" 2>>"$LOGDIR/import.err" || fail "the second screenshot failed (see import.err)"
BEFORE=$(colourful "$SHOT"); AFTER=$(colourful "$BOARD_SHOT")
[ "$AFTER" -gt $((BEFORE + 5000)) ] \
    || fail "a click on New did not fill the board ($BEFORE coloured pixels before, $AFTER after)"
pass "screenshot $BOARD_SHOT after a click on New: $AFTER coloured pixels (before: $BEFORE)"

# Closed the way a player does: the Ctrl+Q shortcut on the focused window.
timeout 5 xdotool windowfocus --sync "$WINDOW" 2>/dev/null || xdotool windowfocus "$WINDOW"
xdotool key --clearmodifiers ctrl+q
for _ in $(seq 150); do kill -0 "$RUNNER" 2>/dev/null || break; sleep 0.1; done
kill -0 "$RUNNER" 2>/dev/null && fail "the game did not close within 15 s of Ctrl+Q"
rc=0; wait "$RUNNER" || rc=$?
[ "$rc" -eq 0 ] || { tail -n 20 "$LOGDIR/run-command.log"; fail "the run command exited with status $rc after Ctrl+Q"; }
pass "closed by Ctrl+Q; the run command exited 0"
INI=$ROOT/home/$PLAYER/.config/Orbelix/Orbelix.ini
[ -f "$INI" ] || fail "no settings file ~/.config/Orbelix/Orbelix.ini after closing"
pass "the game saved its settings on the way out ($(grep -c '=' "$INI") keys)"
