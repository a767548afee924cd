#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Orbelix need,
# but only those that are missing, so that repeated `make` calls stay quick.
set -euo pipefail

packages=(
    cmake g++ make pkg-config
    qt6-base-dev qt6-base-private-dev libgl-dev libsdl2-dev
    xvfb xauth imagemagick xdotool x11-utils
    python3-pil
    desktop-file-utils appstream
)
# Extra groups, asked for by name: `install-deps.sh bench fuzz art`.
for group in "$@"; do
    case "$group" in
        bench) packages+=(libbenchmark-dev python3 procps valgrind) ;;
        fuzz) packages+=(clang libclang-rt-14-dev) ;;
        art) packages+=(python3-pil fonts-kaushanscript) ;;
        package) packages+=(dpkg-dev file) ;;
        *) echo "unknown package group: $group" >&2; exit 2 ;;
    esac
done

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
$sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
