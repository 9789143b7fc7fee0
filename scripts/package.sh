#!/usr/bin/env bash
# Builds the release packages from a clean checkout into dist/:
#   orvane_VERSION_ARCH.deb        the Linux show and renderer, for Debian (CPack)
#   Orvane-setup-VERSION.exe       the Windows setup program for 32-bit and 64-bit Windows (NSIS)
#   Orvane-VERSION-windows.zip     both Windows programs without a setup program
#
#   scripts/package.sh [--native-build DIR] [--dist DIR]
#
# --native-build: package the Linux programs of that configured build (the test command
#   passes its own release build); by default build-package/linux, configured here with
#   Debian's build flags. --dist: where the packages go (default dist).
# The version is the project's, from the top CMakeLists.txt.
set -euo pipefail
cd "$(dirname "$0")/.."

native=""
dist=dist
usage() { echo "usage: $0 [--native-build DIR] [--dist DIR]" >&2; exit 2; }
while [[ $# -gt 0 ]]; do
    [[ $# -ge 2 ]] || usage
    case $1 in
        --native-build) native=$2; shift 2 ;;
        --dist) dist=$2; shift 2 ;;
        *) usage ;;
    esac
done

scripts/install-deps.sh --packaging
jobs=$(nproc)
work=build-package
mkdir -p "$dist" "$work"
dist=$(realpath "$dist")

# --- the Debian package ---------------------------------------------------------------------
if [[ -z "$native" ]]; then
    native=$work/linux
    # Debian's own flags: fortified functions, stack protector, read-only relocations bound
    # at start. None of them touches floating point, so the pictures stay the same.
    export DEB_BUILD_MAINT_OPTIONS=hardening=+all
    cmake -S . -B "$native" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
        -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON \
        -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
        -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
        -DCMAKE_MODULE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)"
    cmake --build "$native" -j "$jobs"
fi
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$native/CMakeCache.txt")
[[ -n "$version" ]] || { echo "no project version in $native/CMakeCache.txt" >&2; exit 1; }
deb=orvane_${version}_$(dpkg --print-architecture).deb
rm -f "$native/packages/$deb"
(cd "$native" && cpack -B packages)
cp "$native/packages/$deb" "$dist/"

# --- the Windows programs -------------------------------------------------------------------
for preset in windows windows64; do
    cmake --preset "$preset"
    cmake --build --preset "$preset" -j "$jobs" --target Orvane
done

# The zip's folder, which the setup program is made from too. Texts get Windows line ends;
# the read-me, which is partly Japanese, a byte order mark so that every Notepad reads it
# as UTF-8.
name=Orvane-$version-windows
stage=$work/windows/$name
rm -rf "$stage"
mkdir -p "$stage/32-bit" "$stage/64-bit"
cp build-windows/shell/win32/Orvane.{scr,exe} "$stage/32-bit/"
cp build-windows64/shell/win32/Orvane.{scr,exe} "$stage/64-bit/"
sed 's/$/\r/' packaging/windows/Licenses.txt >"$stage/License.txt"
{ printf '\xef\xbb\xbf'; sed "s/@VERSION@/$version/g; s/\$/\r/" packaging/windows/ReadMe.txt; } \
    >"$stage/ReadMe.txt"

rm -f "$dist/$name.zip"
(cd "$work/windows" && zip -q -X -r "$dist/$name.zip" "$name")
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DFILES="$(realpath "$stage")" \
    -DOUTFILE="$dist/Orvane-setup-$version.exe" "$PWD/packaging/windows/orvane.nsi"

echo "Packages in $dist:"
(cd "$dist" && ls -l "$deb" "Orvane-setup-$version.exe" "$name.zip")
