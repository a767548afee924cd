#!/usr/bin/env bash
# Sourced by the scripts that build a Debian chroot with debootstrap:
# mirror_for SUITE prints the mirror this machine's apt uses for SUITE.

# One-line and deb822 source files are both read.
mirror_for() {  # mirror_for SUITE-NAME
    local suite=$1 f uri=
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$f" ] || continue
        uri=$(awk -v s="$suite" '
            $1 == "deb" { i = 2
                if ($i ~ /^\[/) { while (i <= NF && $i !~ /\]$/) i++; i++ }
                if ($(i + 1) == s) { print $i; exit } }' "$f")
        [ -z "$uri" ] || { printf '%s\n' "$uri"; return; }
    done
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        uri=$(awk -v s="$suite" '
            BEGIN { RS = "" }
            { types = uris = suites = ""; enabled = "yes"
              n = split($0, L, "\n")
              for (j = 1; j <= n; j++) {
                  if (L[j] ~ /^#/ || !match(L[j], /^[A-Za-z-]+:/)) continue
                  k = tolower(substr(L[j], 1, RLENGTH - 1)); v = substr(L[j], RLENGTH + 1)
                  if (k == "types") types = v; else if (k == "uris") uris = v
                  else if (k == "suites") suites = v; else if (k == "enabled") enabled = v
              }
              if (types ~ /(^|[ \t])deb([ \t]|$)/ && (" " suites " ") ~ ("[ \t]" s "[ \t]") \
                  && enabled !~ /no/) { split(uris, U, " "); print U[1]; exit } }' "$f")
        [ -z "$uri" ] || { printf '%s\n' "$uri"; return; }
    done
}
