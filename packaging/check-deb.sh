#!/usr/bin/env bash
# Proves that a built Orbelix Debian package installs, starts and uninstalls cleanly on a
# fresh Debian system: makes a minbase chroot with debootstrap in a temporary folder under
# /var/tmp, installs the package there with apt (so apt resolves the dependencies), checks
# the program and its files, starts the game headless (and on a private Xvfb display with a
# screenshot when the host has Xvfb and ImageMagick), validates the desktop entry and the
# AppStream metainfo, purges the package again and checks that nothing of it is left.
# Prints a PASS/FAIL summary; exits 0 when nothing failed, 1 otherwise.
#
# Usage (as root):  packaging/check-deb.sh [options] path/to/orbelix_1.0_amd64.deb
#   --keep             keep the chroot folder afterwards (it is unmounted either way)
#   --no-recommends    install with --no-install-recommends (only the declared Depends)
#   --shot FILE        where to write the screenshot (default /tmp/deb-shot.png)
# Environment:
#   SUITE=bookworm            Debian release to bootstrap
#   MIRROR=URL                Debian mirror (default: the one this machine's apt uses)
#   SECURITY_MIRROR=URL       security mirror (default: likewise)
#   DEBOOTSTRAP_CACHE=DIR     reuse downloaded base packages between runs
#   RUN_SECONDS=3             how long the game runs before it gets SIGTERM
#   EXPECTED_SETTINGS_KEYS=22 number of keys the [Settings] section must hold
# shellcheck disable=SC2015,SC2016  # "A && pass || fail" is meant; dpkg-query formats are literal
set -euo pipefail

usage() { sed -n '2,20p' "$0" | sed 's/^# \{0,1\}//'; exit "${1:-2}"; }

KEEP=0
RECOMMENDS=1
SHOT=/tmp/deb-shot.png
DEB=
while [ $# -gt 0 ]; do
    case "$1" in
        --keep) KEEP=1 ;;
        --no-recommends) RECOMMENDS=0 ;;
        --shot) shift; SHOT=${1:?--shot needs a file name} ;;
        -h|--help) usage 0 ;;
        -*) echo "check-deb: unknown option '$1'" >&2; usage 2 ;;
        *) [ -z "$DEB" ] || { echo "check-deb: only one package, please" >&2; exit 2; }; DEB=$1 ;;
    esac
    shift
done
[ -n "$DEB" ] || usage 2
[ -f "$DEB" ] || { echo "check-deb: no such file: $DEB" >&2; exit 2; }
[ "$(id -u)" -eq 0 ] || { echo "check-deb: must run as root (debootstrap, chroot, mount)" >&2; exit 2; }
DEB=$(readlink -f "$DEB")

SUITE=${SUITE:-bookworm}
RUN_SECONDS=${RUN_SECONDS:-3}
EXPECTED_SETTINGS_KEYS=${EXPECTED_SETTINGS_KEYS:-22}

PKG=$(dpkg-deb -f "$DEB" Package)
VERSION=$(dpkg-deb -f "$DEB" Version)
DEB_NAME=$(basename "$DEB")
APP_ID=$(dpkg-deb -c "$DEB" | awk '{print $NF}' \
         | sed -n 's|^\./usr/share/applications/\(.*\)\.desktop$|\1|p' | sed -n 1p)
APP_ID=${APP_ID:-org.example.orbelix}

# ---------------------------------------------------------------------------------------
# Results

RESULTS=()
FAILED=0
WARNED=0
record() {  # record STATUS MESSAGE
    RESULTS+=("$(printf '%-5s %s' "$1" "$2")")
    case "$1" in FAIL) FAILED=$((FAILED + 1)) ;; WARN) WARNED=$((WARNED + 1)) ;; esac
    printf '[%s] %s\n' "$1" "$2"
}
pass() { record PASS "$1"; }
fail() { record FAIL "$1"; }
warn() { record WARN "$1"; }
skip() { record SKIP "$1"; }
step() { printf '\n=== %s\n' "$*"; }

summary() {
    printf '\n===== check-deb summary: %s %s (%s) =====\n' "$PKG" "$VERSION" "$DEB_NAME"
    local r
    for r in "${RESULTS[@]}"; do printf '%s\n' "$r"; done
    printf 'logs: %s\n' "$LOGDIR"
    if [ "$FAILED" -eq 0 ]; then
        printf 'RESULT: PASS (%d checks, %d warnings)\n' "${#RESULTS[@]}" "$WARNED"
    else
        printf 'RESULT: FAIL (%d of %d checks failed, %d warnings)\n' "$FAILED" "${#RESULTS[@]}" "$WARNED"
    fi
}

# ---------------------------------------------------------------------------------------
# Working folders, processes and mounts, and tidying them up whatever happens

WORK=$(mktemp -d /var/tmp/check-deb.XXXXXX)
ROOT=$WORK/root
LOGDIR=$(mktemp -d /tmp/check-deb-logs.XXXXXX)
PIDS=()       # host processes this script started (Xvfb)
MOUNTS=()     # mount points this script made, in mounting order

do_mount() {  # do_mount TARGET mount-args...
    local target=$1; shift
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
    for pid in "${PIDS[@]}"; do kill -TERM "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
    if [ -d "$ROOT" ]; then
        for pid in $(chroot_processes); do kill -TERM "$pid" 2>/dev/null; done
        sleep 0.5
        for pid in $(chroot_processes); do kill -KILL "$pid" 2>/dev/null; done
    fi
    for ((i = ${#MOUNTS[@]} - 1; i >= 0; i--)); do
        mnt=${MOUNTS[$i]}
        mountpoint -q "$mnt" && { umount "$mnt" || umount -l "$mnt"; }
    done
    if grep -q " $WORK" /proc/mounts; then
        echo "check-deb: something is still mounted under $WORK; leaving it in place" >&2
    elif [ "$KEEP" -eq 1 ]; then
        echo "check-deb: chroot kept (unmounted) in $ROOT"
    else
        rm -rf --one-file-system "$WORK"
    fi
    exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

fatal() { fail "$1"; summary; exit 1; }

# Run a command inside the chroot with a clean environment; extra VAR=value words may lead.
in_root() {
    chroot "$ROOT" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin:/usr/games HOME=/root LANG=C.UTF-8 \
        DEBIAN_FRONTEND=noninteractive XDG_RUNTIME_DIR=/tmp/xdg "$@"
}

# Which mirror this machine's apt uses for SUITE.
# shellcheck source=tools/apt-mirror.sh
. "$(dirname "$0")/../tools/apt-mirror.sh"

MIRROR=${MIRROR:-$(mirror_for "$SUITE")}
MIRROR=${MIRROR:-http://deb.debian.org/debian}
SECURITY_MIRROR=${SECURITY_MIRROR:-$(mirror_for "$SUITE-security")}
SECURITY_MIRROR=${SECURITY_MIRROR:-http://deb.debian.org/debian-security}

# ---------------------------------------------------------------------------------------
step "1. Fresh $SUITE minbase chroot in $ROOT from $MIRROR"

if ! command -v debootstrap >/dev/null; then
    apt-get install -y debootstrap >"$LOGDIR/host-apt.log" 2>&1 \
        || { apt-get update >>"$LOGDIR/host-apt.log" 2>&1 \
             && apt-get install -y debootstrap >>"$LOGDIR/host-apt.log" 2>&1; } \
        || fatal "could not install debootstrap on the host (see host-apt.log)"
fi
DEBOOTSTRAP_ARGS=(--variant=minbase)
if [ -n "${DEBOOTSTRAP_CACHE:-}" ]; then
    mkdir -p "$DEBOOTSTRAP_CACHE"
    DEBOOTSTRAP_ARGS+=("--cache-dir=$(readlink -f "$DEBOOTSTRAP_CACHE")")
fi
if debootstrap "${DEBOOTSTRAP_ARGS[@]}" "$SUITE" "$ROOT" "$MIRROR" >"$LOGDIR/debootstrap.log" 2>&1; then
    pass "debootstrap --variant=minbase $SUITE from $MIRROR"
else
    fatal "debootstrap failed (see debootstrap.log)"
fi
do_mount "$ROOT/proc" -t proc proc
mkdir -p "$ROOT/dev/pts"
do_mount "$ROOT/dev/pts" -t devpts devpts -o newinstance,ptmxmode=0666
cat >"$ROOT/etc/apt/sources.list" <<EOF
deb $MIRROR $SUITE main
deb $MIRROR $SUITE-updates main
deb $SECURITY_MIRROR $SUITE-security main
EOF
# No services are started inside the chroot.
printf '#!/bin/sh\nexit 101\n' >"$ROOT/usr/sbin/policy-rc.d"
chmod 755 "$ROOT/usr/sbin/policy-rc.d"
mkdir -m 700 "$ROOT/tmp/xdg"

# ---------------------------------------------------------------------------------------
step "2. Install $DEB_NAME with apt"

in_root apt-get update >"$LOGDIR/apt-update.log" 2>&1 || fatal "apt-get update in the chroot failed"
in_root dpkg-query -W -f='${Package}\n' | sort >"$LOGDIR/packages-before.txt"
cp "$DEB" "$ROOT/tmp/$DEB_NAME"
APT_INSTALL=(apt-get install -y)
[ "$RECOMMENDS" -eq 1 ] || APT_INSTALL+=(--no-install-recommends)
if in_root sh -c 'cd /tmp && exec "$@"' sh "${APT_INSTALL[@]}" "./$DEB_NAME" >"$LOGDIR/install.log" 2>&1; then
    pass "${APT_INSTALL[*]} ./$DEB_NAME"
else
    fatal "apt could not install the package (see install.log)"
fi
in_root dpkg-query -W -f='${Package}\n' | sort >"$LOGDIR/packages-installed.txt"
comm -13 "$LOGDIR/packages-before.txt" "$LOGDIR/packages-installed.txt" | grep -vx "$PKG" \
    >"$LOGDIR/pulled-in.txt" || true
STATUS=$(in_root dpkg-query -W -f='${Status}' "$PKG" 2>/dev/null || true)
[ "$STATUS" = "install ok installed" ] && pass "dpkg status: $STATUS" || fail "dpkg status: '$STATUS'"
echo "Depends: $(dpkg-deb -f "$DEB" Depends)"
echo "Installed-Size of $PKG: $(in_root dpkg-query -W -f='${Installed-Size}' "$PKG") KiB"
grep -E 'newly installed|additional disk space' "$LOGDIR/install.log" || true
echo "Packages pulled in ($(wc -l <"$LOGDIR/pulled-in.txt")):"
fold -s -w 100 <<<"$(tr '\n' ' ' <"$LOGDIR/pulled-in.txt")"
echo
in_root dpkg -L "$PKG" >"$LOGDIR/package-files.txt"

# ---------------------------------------------------------------------------------------
step "3. Program and files"

for f in /usr/games/orbelix "/usr/share/applications/$APP_ID.desktop" \
         "/usr/share/metainfo/$APP_ID.metainfo.xml" /usr/share/orbelix/Bleep.wav; do
    [ -f "$ROOT$f" ] && pass "file present: $f" || fail "file missing: $f"
done
ICONS=$(cd "$ROOT" && { ls usr/share/icons/hicolor/*/apps/"$APP_ID".png 2>/dev/null || true; } | wc -l)
[ "$ICONS" -gt 0 ] && pass "$ICONS hicolor PNG icons /usr/share/icons/hicolor/*/apps/$APP_ID.png" \
                   || fail "no hicolor PNG icon $APP_ID.png"

HEADLESS=(QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy XDG_CONFIG_HOME=/tmp/cfg-args)
rc=0; OUT=$(in_root "${HEADLESS[@]}" /usr/games/orbelix --version 2>"$LOGDIR/version.err") || rc=$?
printf '%s\n' "$OUT" >"$LOGDIR/version.out"
echo "--version (rc $rc): $OUT"
[ "$rc" -eq 0 ] && [ "$OUT" = "Orbelix $VERSION" ] && pass "orbelix --version prints 'Orbelix $VERSION'" \
    || fail "orbelix --version: rc $rc, output '$OUT' (expected 'Orbelix $VERSION')"

rc=0; in_root "${HEADLESS[@]}" orbelix --help >"$LOGDIR/help.out" 2>"$LOGDIR/help.err" || rc=$?
cat "$LOGDIR/help.out"
[ "$rc" -eq 0 ] && grep -q '^Usage: orbelix' "$LOGDIR/help.out" && pass "orbelix --help exits 0 with usage text" \
    || fail "orbelix --help: rc $rc"

rc=0; in_root "${HEADLESS[@]}" orbelix bogus-arg >"$LOGDIR/bogus.out" 2>"$LOGDIR/bogus.err" || rc=$?
MSG=$(grep -v '^QStandardPaths' "$LOGDIR/bogus.err" || true)
echo "bogus-arg (rc $rc): $MSG"
[ "$rc" -eq 2 ] && grep -q "bogus-arg" <<<"$MSG" && pass "orbelix bogus-arg exits 2 naming the argument" \
    || fail "orbelix bogus-arg: rc $rc, message '$MSG'"

# Asking for the version must not need a display (ssh sessions, packaging scripts).
rc=0; in_root orbelix --version >"$LOGDIR/version-nodisplay.out" 2>"$LOGDIR/version-nodisplay.err" || rc=$?
[ "$rc" -eq 0 ] && pass "orbelix --version works without a display" \
    || fail "orbelix --version without DISPLAY/QT_QPA_PLATFORM fails (rc $rc): $(grep -m1 -i 'plugin' "$LOGDIR/version-nodisplay.err" || true)"

# Headless start, ended by SIGTERM from timeout: 124 means timeout had to send the signal.
rc=0
in_root QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy XDG_CONFIG_HOME=/tmp/cfg \
    timeout -s TERM "$RUN_SECONDS" orbelix >"$LOGDIR/headless.out" 2>"$LOGDIR/headless.err" || rc=$?
echo "timeout -s TERM $RUN_SECONDS orbelix: status $rc"
[ "$rc" -eq 124 ] && pass "headless start ran ${RUN_SECONDS}s until SIGTERM (timeout status 124)" \
    || fail "headless start: timeout status $rc (expected 124: still running when the signal came)"
# The same, but the game's own exit status after SIGTERM.
rc=0
in_root QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy XDG_CONFIG_HOME=/tmp/cfg-preserve \
    timeout --preserve-status -s TERM "$RUN_SECONDS" orbelix \
    >"$LOGDIR/headless2.out" 2>"$LOGDIR/headless2.err" || rc=$?
[ "$rc" -eq 0 ] && pass "game exits 0 on SIGTERM (timeout --preserve-status)" \
    || fail "game's own exit status on SIGTERM is $rc (expected 0)"
INI=$ROOT/tmp/cfg/Orbelix/Orbelix.ini
if [ -f "$INI" ]; then
    cp "$INI" "$LOGDIR/Orbelix.ini"
    cat "$INI"
    KEYS=$(awk '/^\[/ { s = $0; next } s == "[Settings]" && /=/ { n++ } END { print n + 0 }' "$INI")
    grep -qx '\[Settings\]' "$INI" && [ "$KEYS" -eq "$EXPECTED_SETTINGS_KEYS" ] \
        && pass "settings saved on SIGTERM: [Settings] with $KEYS keys" \
        || fail "settings file has $KEYS keys in [Settings] (expected $EXPECTED_SETTINGS_KEYS)"
else
    fail "no settings file /tmp/cfg/Orbelix/Orbelix.ini after SIGTERM"
fi

# On a real X display: a private Xvfb on the host; the chroot's program reaches it through
# the abstract X socket, so no host folder has to be mounted into the chroot.
if command -v Xvfb >/dev/null && command -v import >/dev/null; then
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$WORK/display" >"$LOGDIR/xvfb.log" 2>&1 &
    PIDS+=($!)
    for _ in $(seq 50); do [ -s "$WORK/display" ] && break; sleep 0.1; done
    DISP=:$(tr -d '[:space:]' <"$WORK/display")
    if [ "$DISP" = ":" ]; then
        fail "Xvfb did not start (see xvfb.log)"
    else
        rm -f "$ROOT/tmp/orbelix-x.pid" "$ROOT/tmp/orbelix-x.status"
        in_root DISPLAY="$DISP" SDL_AUDIODRIVER=dummy XDG_CONFIG_HOME=/tmp/cfg-x sh -c \
            'orbelix >/tmp/orbelix-x.log 2>&1 & echo $! >/tmp/orbelix-x.pid; wait $!; echo $? >/tmp/orbelix-x.status' &
        RUNNER=$!
        sleep "$((RUN_SECONDS + 2))"
        rc=0; DISPLAY=$DISP import -window root "$SHOT" 2>"$LOGDIR/import.err" || rc=$?
        GAME=$(cat "$ROOT/tmp/orbelix-x.pid" 2>/dev/null || true)
        if [ -n "$GAME" ] && kill -0 "$GAME" 2>/dev/null; then
            kill -TERM "$GAME"; wait "$RUNNER" || true
            XRC=$(cat "$ROOT/tmp/orbelix-x.status" 2>/dev/null || echo '?')
            [ "$XRC" = 0 ] && pass "started on X display $DISP, exit 0 on SIGTERM" \
                           || fail "on X display $DISP the game's exit status on SIGTERM was $XRC"
        else
            wait "$RUNNER" || true
            fail "game was not running on X display $DISP after ${RUN_SECONDS}s (see orbelix-x.log)"
        fi
        cp "$ROOT/tmp/orbelix-x.log" "$LOGDIR/" 2>/dev/null || true
        if [ "$rc" -eq 0 ] && [ -s "$SHOT" ]; then
            # Violet label pixels and a lit (non-black) area; look at the picture yourself too.
            VIOLET=$(convert "$SHOT" -fx 'b > 0.75 && r > 0.5 && r < 0.9 && g < r - 0.1' \
                     -format '%[fx:round(mean * w * h)]' info: 2>/dev/null || echo 0)
            LIT=$(convert "$SHOT" -colorspace Gray -threshold 25% -format '%[fx:mean]' info: 2>/dev/null || echo 0)
            if [ "$VIOLET" -gt 200 ] && awk -v l="$LIT" 'BEGIN { exit !(l > 0.1) }'; then
                pass "screenshot $SHOT: $VIOLET violet pixels, lit fraction $LIT"
            else
                fail "screenshot $SHOT looks empty: $VIOLET violet pixels, lit fraction $LIT"
            fi
        else
            fail "screenshot with import failed (see import.err)"
        fi
    fi
    kill -TERM "${PIDS[-1]}" 2>/dev/null && wait "${PIDS[-1]}" 2>/dev/null || true
    unset 'PIDS[-1]'
else
    skip "X display start and screenshot (host lacks Xvfb or ImageMagick's import)"
fi

# ---------------------------------------------------------------------------------------
step "4. Desktop entry and AppStream metainfo"

# The host's validators when it has them; else install them into the chroot for the
# moment and take them out again before the removal checks.
VALIDATORS_IN_ROOT=0
DFV=(desktop-file-validate); ASC=(appstreamcli)
PREFIX=$ROOT
if ! command -v desktop-file-validate >/dev/null || ! command -v appstreamcli >/dev/null; then
    in_root apt-get install -y --no-install-recommends desktop-file-utils appstream \
        >"$LOGDIR/validators-install.log" 2>&1 || fail "could not install the validators in the chroot"
    VALIDATORS_IN_ROOT=1
    DFV=(in_root desktop-file-validate); ASC=(in_root appstreamcli)
    PREFIX=
fi
rc=0; "${DFV[@]}" "$PREFIX/usr/share/applications/$APP_ID.desktop" >"$LOGDIR/desktop-file-validate.log" 2>&1 || rc=$?
cat "$LOGDIR/desktop-file-validate.log"
[ "$rc" -eq 0 ] && ! grep -qE 'error|warning' "$LOGDIR/desktop-file-validate.log" \
    && pass "desktop-file-validate $APP_ID.desktop: clean" \
    || fail "desktop-file-validate: rc $rc (see desktop-file-validate.log)"
rc=0; "${ASC[@]}" validate --no-net "$PREFIX/usr/share/metainfo/$APP_ID.metainfo.xml" >"$LOGDIR/appstreamcli.log" 2>&1 || rc=$?
cat "$LOGDIR/appstreamcli.log"
[ "$rc" -eq 0 ] && pass "appstreamcli validate --no-net $APP_ID.metainfo.xml" \
    || fail "appstreamcli validate: rc $rc (see appstreamcli.log)"
if [ "$VALIDATORS_IN_ROOT" -eq 1 ]; then
    in_root apt-get purge -y --autoremove desktop-file-utils appstream >>"$LOGDIR/validators-install.log" 2>&1 || true
fi
if command -v lintian >/dev/null; then
    (cd /tmp && lintian "$DEB") >"$LOGDIR/lintian.log" 2>&1 || true
    echo "lintian (for information):"; cat "$LOGDIR/lintian.log"
fi

# ---------------------------------------------------------------------------------------
step "5. Purge and autoremove"

rc=0; in_root apt-get purge -y "$PKG" >"$LOGDIR/purge.log" 2>&1 || rc=$?
[ "$rc" -eq 0 ] && pass "apt-get purge -y $PKG" || fail "apt-get purge: rc $rc (see purge.log)"
# --purge as well, so that the dependencies leave no configuration files behind either.
rc=0; in_root apt-get autoremove --purge -y >"$LOGDIR/autoremove.log" 2>&1 || rc=$?
grep -E '^[0-9]+ upgraded' "$LOGDIR/autoremove.log" || true
[ "$rc" -eq 0 ] && pass "apt-get autoremove --purge -y" || fail "apt-get autoremove: rc $rc (see autoremove.log)"
ERRS=$(grep -hE '^(E:|dpkg: error)' "$LOGDIR/purge.log" "$LOGDIR/autoremove.log" || true)
[ -z "$ERRS" ] && pass "no apt/dpkg errors while removing" || fail "errors while removing: $ERRS"

STATUS=$(in_root dpkg-query -W -f='${Status}' "$PKG" 2>/dev/null || true)
[ -z "$STATUS" ] || [ "$STATUS" = "unknown ok not-installed" ] \
    && pass "dpkg no longer knows $PKG" || fail "dpkg still lists $PKG: $STATUS"
LEFT=()
while IFS= read -r f; do
    [ "$f" = "/." ] && continue
    if [ -L "$ROOT$f" ] || [ -f "$ROOT$f" ]; then
        LEFT+=("$f")
    elif [ -d "$ROOT$f" ] && ! in_root dpkg-query -S "$f" >/dev/null 2>&1; then
        LEFT+=("$f/")   # a folder no remaining package owns
    fi
done <"$LOGDIR/package-files.txt"
[ "${#LEFT[@]}" -eq 0 ] \
    && pass "all $(grep -cv '^/\.$' "$LOGDIR/package-files.txt") paths of the package are gone (shared folders aside)" \
    || fail "left behind: ${LEFT[*]}"
in_root dpkg-query -W -f='${Package}\n' | sort >"$LOGDIR/packages-after.txt"
if diff -u "$LOGDIR/packages-before.txt" "$LOGDIR/packages-after.txt" >"$LOGDIR/packages.diff"; then
    pass "package set back to the fresh system's"
else
    fail "package set differs from the fresh system's (see packages.diff)"
fi
AUDIT=$(in_root dpkg --audit 2>&1 || true)
[ -z "$AUDIT" ] && pass "dpkg --audit reports nothing" || fail "dpkg --audit: $AUDIT"

summary
[ "$FAILED" -eq 0 ]
