#!/usr/bin/env bash
# Installs the Debian packages the build needs, only when some are missing.
#   scripts/install-deps.sh            native build, tests and renderer
#   scripts/install-deps.sh --windows  also both MinGW cross compilers, 64-bit Wine, Xvfb and
#                                      what the end-to-end tests under Wine use; 32-bit Wine
#                                      only where this machine runs 32-bit programs; and what
#                                      the packages are made and checked with
#   scripts/install-deps.sh --packaging  what scripts/package.sh needs
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake g++ pkg-config libfreetype-dev libfontconfig-dev libpng-dev
          libgtest-dev libbenchmark-dev fonts-ipafont-mincho fonts-ipafont-gothic
          fonts-liberation)
packages+=(libx11-dev libxext-dev libxrandr-dev)    # the Linux show, orvane
packages+=(libavformat-dev libavcodec-dev libavutil-dev libswscale-dev)    # tour videos
# The release packages: dpkg-shlibdeps for the .deb's dependencies, both MinGW cross
# compilers, NSIS for the setup program, zip.
packaging=(dpkg-dev g++-mingw-w64-i686 g++-mingw-w64-x86-64 nsis zip)
if [[ "${1:-}" == "--packaging" ]]; then
    packages+=("${packaging[@]}")
fi
if [[ "${1:-}" == "--windows" ]]; then
    # The packages' checks install the .deb in a Debian root of their own, made by
    # debootstrap, run lintian on it, and run the setup program in Japanese too.
    packages+=("${packaging[@]}" debootstrap lintian locales unzip)
    packages+=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 xvfb xdotool imagemagick
               python3)
    # The X11 checks run orvane under the real xscreensaver daemon and xsecurelock, and hold
    # its writes back with strace.
    packages+=(xscreensaver xsecurelock strace)
    # Two monitors for the Windows program: the X.Org server with its dummy driver, and xrandr
    packages+=(xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils)
    # Where 32-bit programs cannot run, wine32 would even make the `wine` launcher pick a
    # loader that fails for every program.
    if scripts/runs-32bit.sh; then
        packages+=(wine32:i386)
    fi
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[[ $(id -u) -ne 0 ]] && sudo="sudo"
if printf '%s\n' "${missing[@]}" | grep -q ':i386$'; then
    $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}"
