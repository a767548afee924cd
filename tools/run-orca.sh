#!/usr/bin/env bash
# Runs a program under the real screen reader Orca, unattended, and prints what Orca
# said (the SPEECH OUTPUT lines of its debug log), one utterance a line.
#
#   run-orca.sh PROGRAM KEYS...
#   run-orca.sh PROGRAM ARG... -- KEYS...
#
# KEYS are xdotool key names (Tab, Right, Return, a, ctrl+n, ...), sent one at a time
# to the focused window, plus two special forms:
#   sleep:SECONDS   wait that long
#   type:TEXT       xdotool type TEXT
#
# Everything runs privately: its own HOME, XDG dirs, X display (Xvfb + openbox),
# D-Bus session (dbus-run-session), AT-SPI bus and Orca settings. Nothing is left running.
# Speech goes nowhere: Orca is given no speech server (speech-dispatcher is not started),
# yet it still writes every utterance to its debug log.
#
# Environment knobs:
#   KEY_DELAY=0.4        seconds between keys
#   KEY_WAIT=0           >0: after each key, wait up to this many seconds for Orca to say
#                        something and then for its log to go quiet (KEY_QUIET=0.3 s), before the
#                        KEY_DELAY and the next key: each key comes after Orca has spoken
#   SETTLE=1.0           the log must be quiet this long after the last key before stopping
#   SETTLE_MAX=15        ... but stop after this many seconds anyway
#   ORCA_KEY_ECHO=0      1: let Orca also echo the keys pressed ("Tab", "a", ...)
#   ORCA_LOG=FILE        keep Orca's full debug log there (else it is deleted)
#   APP_LOG=FILE         keep the program's stdout+stderr there
#   SHOW_ALL=0           1: print the whole SPEECH OUTPUT lines, voice details included
#   ORCA_SPEECH_START=0  1: also print what Orca said before the first key was sent
# Exit status: 0 when Orca spoke at least once after the program started, 1 otherwise,
# 2 on usage or set-up errors.
# Needs these Debian 12 packages: orca xvfb openbox dbus-daemon dbus-bin at-spi2-core
# xdotool x11-utils procps util-linux bsdutils (the last three are always there).
# Orca refuses to start while another Orca of the same user runs, so runs of this script
# must not overlap: it takes a lock (/tmp/run-orca-UID.lock) and waits for it.
# To give the program environment variables: run-orca.sh env VAR=VALUE PROGRAM -- KEYS...
set -uo pipefail

if [ "${_RUN_ORCA_INNER:-}" != 1 ]; then
    [ $# -ge 1 ] || { sed -n '2,/^set -uo/p' "$0" | grep '^#' >&2; exit 2; }
    for tool in orca Xvfb openbox dbus-run-session xdotool xdpyinfo /usr/libexec/at-spi-bus-launcher; do
        command -v "$tool" >/dev/null || { echo "run-orca.sh: $tool is missing" >&2; exit 2; }
    done
    work=$(mktemp -d /tmp/run-orca.XXXXXX)
    trap 'rm -rf "$work"' EXIT
    mkdir -p "$work/home" "$work/run" "$work/config" "$work/data" "$work/cache" "$work/orca"
    chmod 700 "$work/run"
    # Only one Orca per user may run: wait for any other run of this script to finish.
    exec 9>"/tmp/run-orca-$(id -u).lock"
    flock -w 600 9 || { echo "run-orca.sh: another run holds the lock" >&2; exit 2; }
    # A clean environment: nothing of the caller's desktop, D-Bus or accessibility bus.
    # (dbus-daemon's own complaints are filtered out of stderr.)
    {
        env -i PATH="$PATH" LANG=C.UTF-8 HOME="$work/home" \
            XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" \
            XDG_CACHE_HOME="$work/cache" RUN_ORCA_WORK="$work" _RUN_ORCA_INNER=1 \
            KEY_DELAY="${KEY_DELAY:-0.4}" KEY_WAIT="${KEY_WAIT:-0}" KEY_QUIET="${KEY_QUIET:-0.3}" SETTLE="${SETTLE:-1.0}" SETTLE_MAX="${SETTLE_MAX:-15}" \
            ORCA_KEY_ECHO="${ORCA_KEY_ECHO:-0}" ORCA_LOG="${ORCA_LOG:-}" APP_LOG="${APP_LOG:-}" \
            SHOW_ALL="${SHOW_ALL:-0}" ORCA_SPEECH_START="${ORCA_SPEECH_START:-0}" \
            dbus-run-session -- "$0" "$@" 2>&1 1>&3 3>&- 9>&- | { grep -v '^dbus-daemon\[' >&2 || true; }
        exit "${PIPESTATUS[0]}"
    } 3>&1
fi

# ------------------------------------------------------------- inside the private D-Bus session
work=$RUN_ORCA_WORK
cmd=()
keys=()
if printf '%s\n' "$@" | grep -qx -- '--'; then
    while [ $# -gt 0 ] && [ "$1" != "--" ]; do cmd+=("$1"); shift; done
    shift
else
    cmd=("$1"); shift
fi
keys=("$@")

pids=()
cleanup() {
    local i
    [ -n "${app:-}" ] && kill "$app" 2>/dev/null
    # Orca first, while script(1) is still there to reap it: an Orca left as a zombie
    # of init still counts as "another Orca" for the next run until init reaps it.
    if [ -n "${orca_pid:-}" ]; then
        kill "$orca_pid" 2>/dev/null
        for i in $(seq 20); do kill -0 "$orca_pid" 2>/dev/null || break; sleep 0.05; done
        kill -9 "$orca_pid" 2>/dev/null
        for i in $(seq 20); do kill -0 "$orca_pid" 2>/dev/null || break; sleep 0.05; done
    fi
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null; done
    sleep 0.2
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill -9 "${pids[i]}" 2>/dev/null; done
    wait 2>/dev/null
}
trap cleanup EXIT
now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f", b - a }'; }
# wait_for SECONDS COMMAND...: polls COMMAND every 0.1 s.
wait_for() {
    local limit=$1; shift
    local end; end=$(awk -v t="$limit" -v n="$(now)" 'BEGIN { printf "%f", n + t }')
    until "$@" >/dev/null 2>&1; do
        awk -v e="$end" -v n="$(now)" 'BEGIN { exit !(n > e) }' && return 1
        sleep 0.1
    done
}
t0=$(now)

# 1. X server on a free display, and a window manager (for focus and window:activate).
display=""
for n in $(seq 90 140); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
    pid=$!
    if wait_for 5 xdpyinfo -display ":$n"; then display=":$n"; pids+=("$pid"); break; fi
    kill "$pid" 2>/dev/null
done
[ -n "$display" ] || { echo "run-orca.sh: no X display could be started" >&2; exit 2; }
export DISPLAY=$display
openbox --sm-disable >"$work/openbox.log" 2>&1 &
pids+=($!)

# 2. The accessibility bus and its registry daemon. The registry is started here rather
#    than by D-Bus activation: activated, it runs with --use-gnome-session, waits for a
#    session manager that is not there, and Orca's start-up stalls for many seconds.
/usr/libexec/at-spi-bus-launcher --launch-immediately >"$work/atspi.log" 2>&1 &
pids+=($!)
has_a11y_bus() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus | grep -q "boolean true"
}
wait_for 10 has_a11y_bus \
    || { echo "run-orca.sh: the AT-SPI bus did not start" >&2; exit 2; }
/usr/libexec/at-spi2-registryd >"$work/registryd.log" 2>&1 &
pids+=($!)
has_registry() {
    local addr
    addr=$(dbus-send --session --print-reply=literal --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress) || return 1
    dbus-send --bus="$(echo $addr)" --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.a11y.atspi.Registry | grep -q "boolean true"
}
wait_for 10 has_registry || { echo "run-orca.sh: the AT-SPI registry did not start" >&2; exit 2; }

# 3. Orca, with settings of its own: no speech server, no key echo unless asked.
echo_keys=false; [ "$ORCA_KEY_ECHO" = 1 ] && echo_keys=true
cat >"$work/orca/user-settings.conf" <<EOF
{
  "general": {
    "speechServerFactory": "run-orca-no-speech-server",
    "speechFactoryModules": [],
    "enableSpeech": true,
    "enableBraille": false,
    "enableBrailleMonitor": false,
    "enableSound": false,
    "enableKeyEcho": $echo_keys,
    "enableEchoByCharacter": false,
    "enableEchoByWord": false,
    "enableTutorialMessages": false
  },
  "pronunciations": {},
  "keybindings": {},
  "profiles": {"default": {"profile": ["Default", "default"], "pronunciations": {}, "keybindings": {}}}
}
EOF
# Orca writes its debug log through a buffered Python file, so a log file on disk is
# only complete once Orca exits. Given a terminal instead, Python writes it line by line:
# script(1) provides the terminal and copies everything to the log file as it comes.
log=$work/orca-debug.log
other_orcas() { pgrep -u "$(id -u)" -x orca; }
if ! wait_for 10 eval '! other_orcas'; then
    echo "run-orca.sh: another Orca of this user is running (pid $(other_orcas | tr '\n' ' '))," \
        "and Orca refuses to start beside it" >&2
    exit 2
fi
script -qfec "exec orca -u '$work/orca' --debug-file=/dev/tty" "$log" >/dev/null 2>&1 </dev/null &
orca_script=$!
pids+=("$orca_script")
if ! wait_for 30 grep -q "ORCA: Starting ATSPI registry" "$log"; then
    echo "run-orca.sh: Orca did not start; its output:" >&2; tail -20 "$log" >&2
    exit 2
fi
t_orca=$(elapsed "$t0")
orca_pid=$(pgrep -P "$orca_script" | head -1)
[ -n "$orca_pid" ] && pids+=("$orca_pid")

# 4. The program, with Qt's AT-SPI bridge forced on.
spoken() { local n; n=$(grep -c "SPEECH OUTPUT" "$log" 2>/dev/null); echo "${n:-0}"; }
before=$(spoken)
app_out=${APP_LOG:-$work/app.log}
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb \
    "${cmd[@]}" >"$app_out" 2>&1 &
app=$!
pids+=("$app")
# Orca presents the new window (its title) once it is active: wait for that speech.
more_speech_or_exit() { [ "$(spoken)" -gt "$1" ] || ! kill -0 "$app" 2>/dev/null; }
if ! wait_for 30 more_speech_or_exit "$before"; then
    echo "run-orca.sh: Orca said nothing about the program's window within 30 s" >&2
fi
kill -0 "$app" 2>/dev/null || echo "run-orca.sh: the program exited early; its output is in ${APP_LOG:-(set APP_LOG)}" >&2
sleep 0.5
t_app=$(elapsed "$t0")
start_lines=$(spoken)

# 5. Keys.
# quiet_for SECONDS LIMIT: waits until the log has not grown for SECONDS, at most LIMIT.
quiet_for() {
    local deadline last=-1 size quiet_since
    deadline=$(awk -v t="$2" -v n="$(now)" 'BEGIN { printf "%f", n + t }')
    quiet_since=$(now)
    while :; do
        size=$(stat -c %s "$log")
        if [ "$size" != "$last" ]; then last=$size; quiet_since=$(now); fi
        awk -v q="$quiet_since" -v s="$1" -v n="$(now)" 'BEGIN { exit !(n - q >= s) }' && return 0
        awk -v e="$deadline" -v n="$(now)" 'BEGIN { exit !(n > e) }' && return 1
        sleep 0.05
    done
}
for k in "${keys[@]}"; do
    said_before=$(spoken)
    case "$k" in
        sleep:*) sleep "${k#sleep:}" ;;
        type:*) xdotool type --delay 80 -- "${k#type:}" ;;
        *) xdotool key -- "$k" ;;
    esac
    if [ "$KEY_WAIT" != 0 ] && [ "${k%%:*}" != sleep ]; then
        wait_for "$KEY_WAIT" eval '[ "$(spoken)" -gt "$said_before" ]' \
            || echo "run-orca.sh: nothing spoken within ${KEY_WAIT}s after key $k" >&2
        quiet_for "$KEY_QUIET" 3
    fi
    sleep "$KEY_DELAY"
done

# 6. Let Orca finish: the log must stay the same size for SETTLE seconds.
quiet_for "$SETTLE" "$SETTLE_MAX"
t_end=$(elapsed "$t0")
kill "$app" 2>/dev/null
# (The log came through a terminal: its lines end in CR LF.)
[ -n "$ORCA_LOG" ] && tr -d '\r' <"$log" >"$ORCA_LOG"
echo "# orca ready ${t_orca}s, window spoken ${t_app}s, done ${t_end}s" >&2

# 7. What Orca said: SPEECH OUTPUT: 'TEXT' [voice details]
skip=0; [ "$ORCA_SPEECH_START" = 1 ] || skip=$start_lines
if [ "$SHOW_ALL" = 1 ]; then
    grep "SPEECH OUTPUT" "$log" | tr -d '\r' | tail -n +"$((skip + 1))"
else
    grep "SPEECH OUTPUT" "$log" | tr -d '\r' | tail -n +"$((skip + 1))" | sed -E "s/^.*SPEECH OUTPUT: '//; s/^(.*)'( voice=[a-z]+)? ?\{.*$/\1/"
fi
[ "$(spoken)" -gt "$before" ]
