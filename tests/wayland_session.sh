#!/usr/bin/env bash
# Starts or stops the headless Weston compositor that the window tests run on under
# Wayland. Its runtime folder is private (mode 700) to the build, so its socket meets no other.
#   wayland_session.sh start|stop RUNTIME_DIR SOCKET
set -euo pipefail
action=$1 runtime=$2 socket=$3
pidfile=$runtime/weston.pid

stop() {
    if [ -f "$pidfile" ]; then
        pid=$(cat "$pidfile")
        if kill "$pid" 2>/dev/null; then
            for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        fi
        rm -f "$pidfile"
    fi
}

case "$action" in
    start)
        stop
        mkdir -p -m 700 "$runtime"
        chmod 700 "$runtime"
        [ -O "$runtime" ] || { echo "$runtime belongs to someone else" >&2; exit 1; }
        rm -f "$runtime/$socket" "$runtime/$socket.lock"
        # Its own output goes to a log file, so that ctest does not wait on it.
        XDG_RUNTIME_DIR=$runtime setsid weston --backend=headless-backend.so --use-pixman \
            --socket="$socket" --width=1280 --height=1024 --idle-time=0 --no-config \
            </dev/null >"$runtime/weston.log" 2>&1 &
        echo $! >"$pidfile"
        for _ in $(seq 100); do
            [ -S "$runtime/$socket" ] && exit 0
            kill -0 "$(cat "$pidfile")" 2>/dev/null || break
            sleep 0.1
        done
        echo "weston did not start:" >&2
        cat "$runtime/weston.log" >&2
        stop
        exit 1
        ;;
    stop)
        stop
        rm -rf "$runtime"
        ;;
    *) echo "usage: $0 start|stop RUNTIME_DIR SOCKET" >&2; exit 2 ;;
esac
