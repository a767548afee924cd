#!/usr/bin/env bash
# An install under a temporary prefix must give a menu entry that starts the installed
# program, in both layouts: bin/ for an ordinary install, games/ for the Debian package.
#   install_layout.sh BUILD_DIR ENTRY_SCRIPT ENTRY_SOURCE
set -euo pipefail
build=$1 entry_script=$2 entry_source=$3
unset DESTDIR
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The program the Exec line of a desktop entry names: string escapes undone first, then
# the quoting of the Exec key.
exec_of() {
    local value
    value=$(sed -n 's/^Exec=//p' "$1" | head -n 1)
    value=${value//\\\\/\\}
    if [[ $value == \"*\" ]]; then
        value=${value:1:${#value}-2}
        value=$(printf '%s' "$value" | sed -e 's/\\\([\\"`$]\)/\1/g')
    fi
    printf '%s\n' "${value//%%/%}"
}

# Whether the program the entry names is the one at the given path, reached by its full
# path or by name on the given PATH.
check_entry() {  # ENTRY PROGRAM PATH-LIST
    local named resolved
    named=$(exec_of "$1")
    if [[ $named == /* ]]; then resolved=$named; else resolved=$(PATH=$3 command -v "$named" || true); fi
    [ -n "$resolved" ] && [ "$resolved" -ef "$2" ] \
        && echo "ok: Exec=$(sed -n 's/^Exec=//p' "$1") starts $2" \
        || fail "Exec=$(sed -n 's/^Exec=//p' "$1") does not start $2 (resolved: '${resolved}')"
    # The action "Continue the last game" starts the same program with --resume.
    grep -qxF "Exec=$(sed -n 's/^Exec=//p' "$1" | head -n 1) --resume" "$1" \
        || fail "the entry's action does not start $2 with --resume"
}

# 1. A real install into a home-like prefix with awkward characters, bin/ layout.
prefix="$work/home of a \$user/.local"
cmake --install "$build" --prefix "$prefix" >"$work/install.log"
program="$prefix/bin/orbelix"
entry="$prefix/share/applications/org.example.orbelix.desktop"
[ -x "$program" ] || fail "no program at $program"
[ ! -e "$prefix/games" ] || fail "an ordinary install made games/"
[ -f "$prefix/share/orbelix/Bleep.wav" ] || fail "no Bleep.wav under share/orbelix"
check_entry "$entry" "$program" /usr/bin:/bin
desktop-file-validate "$entry" || fail "the installed entry does not validate"
version=$("$(exec_of "$entry")" --version 2>&1) || true
[ "$version" = "Orbelix 1.0" ] && echo "ok: the installed program answers '$version'" \
    || fail "the installed program answered '$version'"
grep -qF "$entry" "$build/install_manifest.txt" || fail "the entry is missing from the install manifest"

# 2. The entry alone for the other layouts and prefixes: /usr keeps the bare name, found
# on Debian's default PATH for users; elsewhere the full path.
debian_path() { local d p=""; for d in /usr/local/bin /usr/bin /bin /usr/local/games /usr/games; do p+="$1$d:"; done; echo "${p%:}"; }
layout() {  # PREFIX PROGRAM_DIR
    local root=$work/root-$2 dest=$1/$2
    mkdir -p "$root$dest"
    cp "$build/orbelix" "$root$dest/orbelix"
    DESTDIR=$root cmake -DCMAKE_INSTALL_PREFIX="$1" -DORBELIX_PROGRAM_DIR="$2" \
        -DORBELIX_ENTRY_SOURCE="$entry_source" -DORBELIX_ENTRY_OUTPUT="$work/entry-$2/org.example.orbelix.desktop" \
        -DORBELIX_ENTRY_DIR=share/applications -P "$entry_script" >/dev/null
    local installed=$root$1/share/applications/org.example.orbelix.desktop
    if [ "$1" = /usr ]; then
        grep -qx 'Exec=orbelix' "$installed" || fail "/usr install: $(grep Exec= "$installed")"
        check_entry "$installed" "$root$dest/orbelix" "$(debian_path "$root")"
    else
        grep -qx "Exec=$dest/orbelix" "$installed" || fail "$1 install: $(grep Exec= "$installed")"
    fi
    rm -rf "$root"
}
layout /usr games
layout /usr bin
layout /opt/orbelix games

[ "$failures" -eq 0 ]
