#!/usr/bin/env bash
# Checks of the release packages that scripts/package.sh makes:
#  - the Debian package: lintian's verdict; installed with dpkg -i and apt-get -f install in a
#    Debian root of its own, its programs run there and its xscreensaver files are in place;
#    dpkg -r removes everything it brought;
#  - the Windows setup program under Wine on a virtual display: /S installs the program that
#    fits the Windows, with its Start-menu entry, its entry among the installed programs and
#    the screen saver setting, in the user's language; the installed screen saver starts the
#    show; the uninstaller's /S removes everything the setup added but the pictures;
#  - the portable zip's contents.
#
#   tests/packaging/run-packaging.sh [--dist DIR] [--only GROUPS]
#
# --dist: the folder holding the packages (default dist). --only: the groups to run, by
# function name (see TEST_GROUPS at the end).
# The Debian root, the distribution this machine runs, is made by debootstrap from Debian's
# mirror ($ORVANE_DEBIAN_MIRROR, default http://deb.debian.org/debian) once a week and kept,
# with the packages apt fetched into it, in $ORVANE_PACKAGING_CACHE (default
# ~/.cache/orvane-packaging); every run unpacks a fresh copy. It takes root, for chroot.
# Debian's Wine runs the setup program, a 32-bit program, only where 32-bit programs run;
# elsewhere a 64-bit build of the same script from the same files is checked under 64-bit
# Wine, and the checks under 32-bit Wine are counted as skipped.
# The last line sums up: N passed, N failed, N skipped.
set -uo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
dist=$root/dist
only=""
usage() { echo "usage: $0 [--dist DIR] [--only 'GROUP...']" >&2; exit 2; }
while [[ $# -gt 0 ]]; do
    [[ $# -ge 2 ]] || usage
    case $1 in
        --dist) dist=$(realpath "$2"); shift 2 ;;
        --only) only=$2; shift 2 ;;
        *) usage ;;
    esac
done

source "$root/tests/e2e/common.sh"
source "$root/tests/wine/lib.sh"

E2E_TMP=$(mktemp -d /tmp/orvane-packaging.XXXXXX)
trap cleanup EXIT
trap 'exit 130' INT TERM
SKIPPED=0

CACHE=${ORVANE_PACKAGING_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/orvane-packaging}
MIRROR=${ORVANE_DEBIAN_MIRROR:-http://deb.debian.org/debian}
SUITE=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
ARCH=$(dpkg --print-architecture)

# The packages under test: exactly one of each kind.
package() {
    local files=("$dist"/$1)
    [[ ${#files[@]} -eq 1 && -f "${files[0]}" ]] && echo "${files[0]}"
}
DEB=$(package 'orvane_*.deb')
SETUP=$(package 'Orvane-setup-*.exe')
ZIP=$(package 'Orvane-*-windows.zip')
VERSION=${SETUP##*/Orvane-setup-}
VERSION=${VERSION%.exe}

# --- the Debian package ---------------------------------------------------------------------

# in_root DIR COMMAND...: runs COMMAND in the Debian root DIR, with a /proc and terminals of
# its own, which go away with it.
in_root() {
    unshare --mount --fork sh -c 'mount -t proc proc "$0/proc" &&
        mount -t devpts -o newinstance,ptmxmode=0666 devpts "$0/dev/pts" &&
        exec chroot "$0" "$@"' "$@"
}

# base_root: the cached tar of a fresh Debian root, made when missing or a week old.
base_root() {
    local base="$CACHE/debian-$SUITE-$ARCH.tar" dir="$E2E_TMP/base"
    if [[ -f "$base" && -n $(find "$base" -mtime -7) ]]; then
        echo "$base"
        return
    fi
    rm -rf "$CACHE/debs"    # fetched for the root before
    mkdir -p "$CACHE"
    debootstrap --variant=minbase --arch="$ARCH" "$SUITE" "$dir" "$MIRROR" \
        >"$E2E_TMP/debootstrap.log" 2>&1 || { tail -n 5 "$E2E_TMP/debootstrap.log" >&2; return 1; }
    printf 'deb %s %s main\n' "$MIRROR" "$SUITE" "$MIRROR" "$SUITE-updates" \
        "$MIRROR-security" "$SUITE-security" >"$dir/etc/apt/sources.list"
    # Nothing in the root outlives a run: no need to sync every file to the disk.
    echo force-unsafe-io >"$dir/etc/dpkg/dpkg.cfg.d/unsafe-io"
    cp /etc/resolv.conf "$dir/etc/"
    in_root "$dir" apt-get update -q >/dev/null || return 1
    tar -C "$dir" -cf "$base.part" . && mv "$base.part" "$base" && rm -rf "$dir" &&
        echo "$base"
}

# fresh_root DIR: a fresh Debian root in DIR, with the packages fetched by earlier runs.
fresh_root() {
    local base
    base=$(base_root) || return 1
    mkdir -p "$1" && tar -C "$1" -xf "$base" || return 1
    cp /etc/resolv.conf "$1/etc/"
    cp "$CACHE/debs/"*.deb "$1/var/cache/apt/archives/" 2>/dev/null
    return 0
}

# install_deb DIR: dpkg -i, which leaves the dependencies missing, then apt-get -f install;
# apt's lists are brought up to date only when it needs a package it cannot fetch.
install_deb() {
    local apt=(env DEBIAN_FRONTEND=noninteractive apt-get -f install -y -q) log="$E2E_TMP/apt.log"
    cp "$DEB" "$1/tmp/"
    {
        in_root "$1" dpkg -i "/tmp/${DEB##*/}"
        in_root "$1" "${apt[@]}" || { in_root "$1" apt-get update -q && in_root "$1" "${apt[@]}"; }
    } >"$log" 2>&1
    mkdir -p "$CACHE/debs"
    cp -n "$1/var/cache/apt/archives/"*.deb "$CACHE/debs/" 2>/dev/null
    echo "packages set up: $(grep -c '^Setting up ' "$log")"
    grep -a '^E:' "$log"
    [[ $(in_root "$1" dpkg-query -W -f='${Status}' orvane) == "install ok installed" ]]
}

# runs_in DIR EXPECTED COMMAND...: COMMAND succeeds in the root and prints EXPECTED.
runs_in() {
    local dir=$1 expected=$2 output
    shift 2
    output=$(in_root "$dir" "$@" 2>&1) || { echo "$output"; return 1; }
    grep -qF -- "$expected" <<<"$output" || { echo "$output"; return 1; }
}

# files_in_place DIR: the files each part of the system looks for, where it looks.
files_in_place() {
    local file status=0
    for file in /usr/share/xscreensaver/config/orvane.xml /usr/share/applications/orvane.desktop \
                /usr/share/icons/hicolor/{16x16,32x32,48x48}/apps/orvane.png \
                /usr/share/man/man1/orvane.1.gz /usr/share/man/man1/orvane-render.1.gz \
                /usr/share/doc/orvane/copyright /usr/share/doc/orvane/changelog.gz; do
        [[ -f "$1$file" ]] || { echo "missing: $file"; status=1; }
    done
    cmp "$1/usr/share/xscreensaver/config/orvane.xml" "$root/shell/x11/install/orvane.xml" ||
        status=1
    return $status
}

# all_removed DIR LIST: nothing the package brought (LIST) is left but folders others still
# use, and nothing named after it, whoever made it, but dpkg's records and the package file.
all_removed() {
    local path status=0 named
    while read -r path; do
        if [[ -L "$1$path" || -f "$1$path" ]] ||
           [[ -d "$1$path" && -z $(ls -A "$1$path") ]]; then
            echo "left: $path"
            status=1
        fi
    done <"$2"
    named=$(cd "$1" && find . -path ./proc -prune -o -path ./var/lib/dpkg -prune -o \
                -path ./tmp -prune -o -iname '*orvane*' -print)
    [[ -z "$named" ]] || { echo "left: $named"; status=1; }
    [[ -z $(in_root "$1" dpkg-query -W -f='${db:Status-Status}' orvane 2>/dev/null |
            grep -v not-installed) ]] || { echo "dpkg still lists orvane"; status=1; }
    return $status
}

lintian_clean() {
    # lintian warns that it runs as root; nothing else of its own output is left out.
    lintian --fail-on error,warning --display-info "$DEB" 2> >(grep -v 'root privileges' >&2)
}

DEB_ROOT_CHECKS=5    # those that follow lintian's
deb_tests() {
    local dir="$E2E_TMP/debian"
    if [[ -z "$DEB" ]]; then
        fail "Debian package: one orvane_*.deb in $dist"
        return
    fi
    check "Debian package: lintian reports no error and no warning" lintian_clean
    if [[ $(id -u) -ne 0 ]]; then
        note "not root: the $DEB_ROOT_CHECKS checks in a Debian root of its own are skipped"
        SKIPPED=$((SKIPPED + DEB_ROOT_CHECKS))
        return
    fi
    if ! fresh_root "$dir"; then
        fail "Debian package: a Debian $SUITE root made with debootstrap from $MIRROR"
        return
    fi
    check "Debian package: dpkg -i and apt-get -f install install it in a fresh Debian $SUITE" \
        install_deb "$dir" || return
    check "Debian package: orvane --version and the display mode's link run in it" \
        eval 'runs_in "$dir" "orvane $VERSION" orvane --version &&
              runs_in "$dir" "orvane $VERSION" /usr/libexec/xscreensaver/orvane --version'
    check "Debian package: orvane-render --help runs in it" \
        runs_in "$dir" "usage: orvane-render" orvane-render --help
    check "Debian package: orvane-render finds its video module and writes a video" \
        runs_in "$dir" "slot 1" orvane-render --tour 1 --size 64x48 --seed 1 --max-images 1 \
            --no-save --video /tmp/tour.mkv
    check "Debian package: the xscreensaver settings, desktop entry, icons, manual pages and copyright in place" \
        files_in_place "$dir"
    in_root "$dir" dpkg -L orvane >"$E2E_TMP/deb-files"
    in_root "$dir" dpkg -r orvane >/dev/null
    check "Debian package: dpkg -r removes every file and folder it brought" \
        all_removed "$dir" "$E2E_TMP/deb-files"
}

# --- the portable zip -----------------------------------------------------------------------

# pe_kind FILE: PE32 or PE32+, from the optional header's magic number.
pe_kind() {
    local offset magic
    offset=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    magic=$(od -An -tx2 -j$((offset + 24)) -N2 "$1" | tr -d ' ')
    case $magic in 010b) echo PE32 ;; 020b) echo PE32+ ;; *) echo "not a program" ;; esac
}

zip_holds_both_programs() {
    local folder=$UNZIPPED bits file status=0
    for file in ReadMe.txt License.txt {32,64}-bit/Orvane.{scr,exe}; do
        [[ -f "$folder/$file" ]] || { echo "missing: $file"; status=1; }
    done
    for bits in 32 64; do
        echo "$bits-bit: $(pe_kind "$folder/$bits-bit/Orvane.scr")"
        cmp "$folder/$bits-bit/Orvane.scr" "$folder/$bits-bit/Orvane.exe" || status=1
    done
    [[ $(pe_kind "$folder/32-bit/Orvane.scr") == PE32 &&
       $(pe_kind "$folder/64-bit/Orvane.scr") == PE32+ ]] || status=1
    grep -q "Orvane $VERSION" "$folder/ReadMe.txt" || { echo "ReadMe.txt names no version"; status=1; }
    return $status
}

# unzipped: the zip's folder, which the setup program is made from too.
UNZIPPED="$E2E_TMP/zip/Orvane-$VERSION-windows"
unzipped() {
    [[ -d "$UNZIPPED" ]] || { [[ -n "$ZIP" ]] && unzip -q "$ZIP" -d "$E2E_TMP/zip"; }
}

zip_tests() {
    if ! unzipped; then
        fail "portable zip: one Orvane-*-windows.zip in $dist that unzips"
        return
    fi
    check "portable zip: the read-me, the licences and the 32-bit and 64-bit programs" \
        zip_holds_both_programs
}

# --- the Windows setup program --------------------------------------------------------------

WIDTH=640
HEIGHT=480
BMP_SIZE=$(( 54 + (3 * WIDTH + WIDTH % 4) * HEIGHT ))
UNINSTALL_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvane'
DESKTOP_KEY='HKCU\Control Panel\Desktop'
COMMENT_JA="Orvane の設定とショーの開始"
COMMENT_EN="Orvane's settings, and the show"

# reg_value KEY NAME: the data of a registry value.
reg_value() {
    "$E2E_WINE" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
        awk -v name="$2" '$1 == name && $2 ~ /^REG_/ { sub(/^ *[^ ]+ +REG_[A-Z_]+ */, "");
                                                      print; found = 1 }
                          END { exit !found }'
}
no_key() { ! "$E2E_WINE" reg query "$1" >/dev/null 2>&1; }
no_value() { ! reg_value "$1" "$2" >/dev/null; }
windows_variable() { "$E2E_WINE" cmd /c echo "%$1%" 2>/dev/null | tr -d '\r'; }
same_path() { [[ "${1,,}" == "${2,,}" ]] || { echo "$1 is not $2"; return 1; }; }

# A Japanese locale of its own, for running programs in Japanese (the machine may have none),
# and a launcher that runs Wine in the locale ORVANE_LOCALE names: Wine takes the user's
# language from it.
make_locales() {
    mkdir -p "$E2E_TMP/locale" &&
        localedef -i ja_JP -f UTF-8 "$E2E_TMP/locale/ja_JP.UTF-8" >/dev/null 2>&1 &&
        printf '#!/bin/sh\nexport LOCPATH="%s" LC_ALL="$ORVANE_LOCALE"\nexec "$ORVANE_WINE" "$@"\n' \
            "$E2E_TMP/locale" >"$E2E_TMP/wine-in-locale" &&
        chmod +x "$E2E_TMP/wine-in-locale"
}

# run_setup LOCALE SETUP [ARGUMENT...]: runs a setup program or uninstaller for a user of
# that locale; fails when it does not end with status 0.
run_setup() {
    local locale=$1
    shift
    ORVANE_LOCALE=$locale ORVANE_WINE=$E2E_WINE E2E_WINE="$E2E_TMP/wine-in-locale" \
        start_program "$@"
    ends_with_status 120 0
}

installed_program() {
    local bits=$1 file status=0
    for file in Orvane.scr Orvane.exe; do
        cmp "$UNZIPPED/$bits-bit/Orvane.scr" "$INSTDIR/$file" || status=1
    done
    [[ -f "$INSTDIR/License.txt" && -f "$INSTDIR/Uninstall.exe" ]] ||
        { echo "License.txt or Uninstall.exe missing"; status=1; }
    return $status
}

# start_menu_entry COMMENT: Orvane in the Start menu opens Orvane.exe of the program folder,
# described in the user's language.
start_menu_entry() {
    local fields
    fields=$(probe shortcut "$PROGRAMS_WIN\\Orvane.lnk") || { echo "no Orvane.lnk"; return 1; }
    echo "$fields"
    same_path "$(cut -f 1 <<<"$fields")" "$INSTDIR_WIN\\Orvane.exe" &&
        [[ -z $(cut -f 2 <<<"$fields") && $(cut -f 3 <<<"$fields") == "$1" ]]
}

uninstall_entry() {
    [[ $(reg_value "$UNINSTALL_KEY" DisplayName) == Orvane &&
       $(reg_value "$UNINSTALL_KEY" DisplayVersion) == "$VERSION" ]] &&
        same_path "$(reg_value "$UNINSTALL_KEY" InstallLocation)" "$INSTDIR_WIN" &&
        same_path "$(reg_value "$UNINSTALL_KEY" UninstallString)" "\"$INSTDIR_WIN\\Uninstall.exe\""
}

screen_saver_is_orvane() {
    local value
    value=$(reg_value "$DESKTOP_KEY" SCRNSAVE.EXE) || { echo "no SCRNSAVE.EXE"; return 1; }
    [[ $(windows_path_to_unix "$value") -ef "$INSTDIR/Orvane.scr" ]] ||
        { echo "SCRNSAVE.EXE is $value"; return 1; }
}

show_covers_screen() { [[ $(window_field 5 '^Orvane:' '^$') == "0,0,$WIDTH,$HEIGHT" ]]; }
in_front() { [[ $(probe focus | cut -f 1) == "$1" ]]; }

# The screen saver as Windows starts it: SCRNSAVE.EXE with /s. It covers the screen and saves
# its first picture beside itself, in the program folder; Esc ends it.
show_from_setting() {
    local show
    start_program "$(reg_value "$DESKTOP_KEY" SCRNSAVE.EXE)" /s &&
        wait_for 60 show_covers_screen &&
        wait_for 60 bmp_complete "$INSTDIR/Orvane_1.bmp" "$BMP_SIZE" || return 1
    show=$(window_field 2 '^Orvane:' '^$')
    probe activate "$show" && wait_for 5 in_front "$show"
    xdotool key Escape
    ends_with_status 20 0
}

uninstalled() { [[ ! -e "$INSTDIR/Uninstall.exe" ]] && no_key "$UNINSTALL_KEY"; }

# only_pictures_left: of the program folder only the pictures the show saved are left.
only_pictures_left() {
    local left
    left=$(ls -A "$INSTDIR" 2>/dev/null | grep -v '^Orvane_[0-9]*\.bmp$')
    [[ -z "$left" && -f "$INSTDIR/Orvane_1.bmp" ]] || { echo "left: ${left:-no picture}"; return 1; }
    [[ ! -e "$PROGRAMS/Orvane.lnk" ]] || { echo "Orvane.lnk left"; return 1; }
}

# setup_checks BITS SETUP: in a fresh Wine prefix of BITS, SETUP /S in Japanese installs the
# BITS-bit program; the show runs as the screen saver; the uninstaller /S removes it all but
# the pictures; a second install in English, whose screen saver the user then changed,
# leaves that setting alone when uninstalled.
setup_checks() {
    local bits=$1 setup=$2 pictures
    if [[ "${WINEPREFIX:-}" == "$E2E_TMP/prefix" ]]; then    # the prefix of the run before
        wineserver -k >/dev/null 2>&1
        timeout 20 wineserver -w >/dev/null 2>&1
        rm -rf "$E2E_TMP/prefix"
    fi
    use_architecture "$bits"
    if ! make_prefix || ! build_probe; then
        fail "$bits-bit Wine: a fresh prefix and the probe"
        return
    fi
    INSTDIR_WIN="$(windows_variable LOCALAPPDATA)\\Programs\\Orvane"
    INSTDIR=$(windows_path_to_unix "$INSTDIR_WIN")
    PROGRAMS_WIN="$(windows_variable APPDATA)\\Microsoft\\Windows\\Start Menu\\Programs"
    PROGRAMS=$(windows_path_to_unix "$PROGRAMS_WIN")
    local name="$bits-bit Wine"

    check "$name: setup /S in Japanese ends with status 0" run_setup ja_JP.UTF-8 "$setup" /S || return
    check "$name: the $bits-bit Orvane.scr and Orvane.exe in %LOCALAPPDATA%\\Programs\\Orvane" \
        installed_program "$bits"
    check "$name: the Start menu's Orvane opens Orvane.exe, described in Japanese" \
        start_menu_entry "$COMMENT_JA"
    check "$name: Orvane $VERSION among the installed programs, with its uninstaller" \
        uninstall_entry
    check "$name: SCRNSAVE.EXE names the installed Orvane.scr" screen_saver_is_orvane
    check "$name: the screen saver (SCRNSAVE.EXE /s) shows the show and saves beside itself" \
        show_from_setting

    pictures="$(windows_path_to_unix "$(probe pictures)")/Orvane"
    mkdir -p "$pictures" && cp "$INSTDIR/Orvane_1.bmp" "$pictures/"
    "$E2E_WINE" reg add 'HKCU\Software\Orvane' /v MaxImages /t REG_DWORD /d 10 /f >/dev/null 2>&1
    # The uninstaller runs from a copy of itself, which the process started ends with.
    run_setup ja_JP.UTF-8 "$INSTDIR/Uninstall.exe" /S >/dev/null &&
        wait_for 60 uninstalled
    check "$name: the uninstaller /S removes every file it installed and the Start-menu entry, keeping the show's pictures" \
        only_pictures_left
    check "$name: the uninstaller /S removes its entry, HKCU\\Software\\Orvane and SCRNSAVE.EXE" \
        eval 'no_key "$UNINSTALL_KEY" && no_key "HKCU\Software\Orvane" &&
              no_value "$DESKTOP_KEY" SCRNSAVE.EXE'
    check "$name: the uninstaller leaves the picture in Pictures\\Orvane" \
        cmp "$pictures/Orvane_1.bmp" "$INSTDIR/Orvane_1.bmp"

    local other='C:\windows\system32\notepad.exe'
    run_setup C.UTF-8 "$setup" /S >/dev/null
    check "$name: installed again in English, the Start menu's Orvane is described in English" \
        start_menu_entry "$COMMENT_EN"
    "$E2E_WINE" reg add "$DESKTOP_KEY" /v SCRNSAVE.EXE /d "$other" /f >/dev/null 2>&1
    run_setup C.UTF-8 "$INSTDIR/Uninstall.exe" /S >/dev/null && wait_for 60 uninstalled
    check "$name: the uninstaller leaves another screen saver chosen since then alone" \
        same_path "$(reg_value "$DESKTOP_KEY" SCRNSAVE.EXE)" "$other"
}

setup_tests() {
    local checks_before
    if [[ -z "$SETUP" ]] || ! unzipped; then
        fail "setup program: one Orvane-setup-*.exe and the zip it is made from in $dist"
        return
    fi
    check "setup program: a 32-bit program, which every Windows runs" \
        eval '[[ $(pe_kind "$SETUP") == PE32 ]]'
    if ! start_display "${WIDTH}x${HEIGHT}x24" || ! make_locales; then
        fail "setup program: a virtual display and a Japanese locale"
        return
    fi
    checks_before=$((E2E_PASSED + E2E_FAILED))
    if /usr/lib/wine/wine --version >/dev/null 2>&1; then
        setup_checks 64 "$SETUP"
        setup_checks 32 "$SETUP"
        return
    fi
    # The same script made into a 64-bit program from the zip's files, which this Wine runs.
    if ! makensis -V1 -INPUTCHARSET UTF8 -DTARGET=amd64-unicode -DVERSION="$VERSION" \
            -DFILES="$UNZIPPED" -DOUTFILE="$E2E_TMP/setup64.exe" \
            "$root/packaging/windows/orvane.nsi"; then
        fail "setup program: the same script made into a 64-bit program"
        return
    fi
    note "this machine runs no 32-bit program: the setup script is checked as a 64-bit program"
    setup_checks 64 "$E2E_TMP/setup64.exe"
    local per_wine=$((E2E_PASSED + E2E_FAILED - checks_before))
    note "32-bit Wine: its $per_wine checks are skipped"
    SKIPPED=$((SKIPPED + per_wine))
}

TEST_GROUPS=(deb_tests zip_tests setup_tests)
for group in "${TEST_GROUPS[@]}"; do
    [[ -z "$only" || " $only " == *" $group "* ]] && "$group"
done
echo "$E2E_PASSED passed, $E2E_FAILED failed, $SKIPPED skipped"
[[ $E2E_FAILED -eq 0 ]]
