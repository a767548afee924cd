#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Orbelix need,
# but only those that are missing, so that repeated `make` calls stay quick.
set -euo pipefail

packages=(
    cmake g++ make pkg-config
    qt6-base-dev qt6-base-private-dev libgl-dev libsdl2-dev libxcb1-dev
    xvfb xauth imagemagick xdotool x11-utils openbox wmctrl
    python3-pil
    desktop-file-utils appstream
    weston qt6-wayland
    orca openbox dbus-daemon dbus-bin at-spi2-core
    libx11-dev libxext-dev libxdamage-dev libxfixes-dev libpng-dev
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

# Say what is about to happen before anything asks for a password; privileges are used
# for the package install alone. No prompts (CI runs this as root without a terminal),
# and a fresh desktop's background update holding the apt lock is waited for.
sudo=()
if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null; then
        echo "Orbelix needs these Debian packages to build, test and run: ${missing[*]}" >&2
        echo "sudo is not installed: please install them as root with" >&2
        echo "    su -c 'apt-get install ${missing[*]}'" >&2
        exit 1
    fi
    sudo=(sudo)
fi
echo "Orbelix needs these Debian packages to build, test and run, and they are missing:"
fold -s -w 88 <<<"${missing[*]}" | sed 's/^/    /'
if [ ${#sudo[@]} -gt 0 ]; then
    echo "Installing them with apt-get through sudo (it may ask for your password; it is used for this install only)."
else
    echo "Installing them with apt-get."
fi
apt=(env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300)
"${sudo[@]}" "${apt[@]}" update -qq
"${sudo[@]}" "${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}"
