# Helpers of the Windows end-to-end tests: a fresh Wine prefix, the programs under test,
# window look-ups and screenshots. Sourced by run-e2e.sh, after tests/e2e/common.sh.

E2E_HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
E2E_CONVERT=/usr/bin/convert    # the real ImageMagick, whatever stands first on the PATH

# --- the environment ----------------------------------------------------------------------

# use_architecture 32|64: the Wine loader, prefix kind and compiler of the programs under test.
# The loader is named explicitly: where 32-bit Wine is installed, the `wine` launcher picks it
# even on machines that cannot run it.
use_architecture() {
    case $1 in
        32) E2E_WINE=/usr/lib/wine/wine E2E_WINEARCH=win32 E2E_MINGW=i686-w64-mingw32 ;;
        64) E2E_WINE=/usr/lib/wine/wine64 E2E_WINEARCH=win64 E2E_MINGW=x86_64-w64-mingw32 ;;
        *) return 1 ;;
    esac
    export WINELOADER=$E2E_WINE    # for the programs Wine itself starts
}

# The registry settings the program needs under Wine: Wine draws its own captions when no
# window manager runs, the Japanese faces the program asks for map to the IPA fonts (Wine
# ignores fontconfig's aliases), and the system's fonts, plain and bold (captions), fall back
# to an IPA font for Japanese. regedit wants UTF-16 with a byte order mark and CRLF.
write_wine_registry() {
    local link
    link=$(printf 'ipagp.ttf,IPAPGothic' | iconv -t UTF-16LE | od -An -tx1 -v | tr -s ' \n' ' ' |
           sed 's/^ //; s/ $//; s/ /,/g')
    {
        printf '\xff\xfe'
        sed 's/$/\r/' <<EOF | iconv -f UTF-8 -t UTF-16LE
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]
"ＭＳ Ｐゴシック"="IPAPGothic"
"ＭＳ Ｐ明朝"="IPAPMincho"
"Courier New"="Liberation Mono"
"Arial"="Liberation Sans"

[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink]
"Tahoma"=hex(7):${link},00,00,00,00
"Tahoma Bold"=hex(7):${link},00,00,00,00

EOF
    } >"$1"
}

# make_prefix: a fresh Wine prefix of the architecture under test in the temporary folder, set up for the program.
make_prefix() {
    export WINEPREFIX="$E2E_TMP/prefix" WINEARCH=$E2E_WINEARCH WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="    # no Mono or Gecko installer dialogs
    # A home of its own: Wine links the user's Pictures folder to the home's, and the pictures
    # the tests send there must not land in the real one.
    export HOME="$E2E_TMP/home"
    mkdir -p "$WINEPREFIX" "$HOME"
    wineserver -p    # one server for the whole run, not one per program
    timeout 120 "$E2E_WINE" wineboot -i >"$E2E_TMP/wineboot.log" 2>&1 || return 1
    cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
    write_wine_registry "$E2E_TMP/setup.reg"
    timeout 60 "$E2E_WINE" regedit /S "$("$E2E_WINE" winepath -w "$E2E_TMP/setup.reg")" >/dev/null 2>&1
}

# build_probe: the window reader and the stand-in of the Screen Saver Settings dialog, small
# console programs of their own.
build_probe() {
    "$E2E_MINGW-gcc-posix" -O1 -Wall -static -mconsole -o "$E2E_TMP/probe.exe" \
        "$E2E_HERE/probe.c" -luser32 -lshell32 -lole32 -luuid &&
    "$E2E_MINGW-gcc-posix" -O1 -Wall -static -mconsole -municode -o "$E2E_TMP/saver_host.exe" \
        "$E2E_HERE/saver_host.c" -luser32 -lgdi32
}

cleanup() {
    local folder
    for folder in "${E2E_READ_ONLY[@]}"; do
        writable_again "$folder"
    done
    [[ -n "${E2E_XORG_PID:-}" ]] && kill "$E2E_XORG_PID" 2>/dev/null && wait "$E2E_XORG_PID" 2>/dev/null
    # Only this run's own prefix: a WINEPREFIX from the caller's environment is not ours.
    if [[ "${WINEPREFIX:-}" == "$E2E_TMP/prefix" ]]; then
        wineserver -k >/dev/null 2>&1
        timeout 20 wineserver -w >/dev/null 2>&1
    fi
    [[ -n "${E2E_XVFB_PID:-}" ]] && kill "$E2E_XVFB_PID" 2>/dev/null && wait "$E2E_XVFB_PID" 2>/dev/null
    if [[ -n "${E2E_KEEP:-}" ]]; then
        echo "# kept $E2E_TMP" >&2
    else
        rm -rf "$E2E_TMP"
    fi
}

# start_two_monitor_display: the X.Org server with its dummy driver and two monitors of
# WIDTH x HEIGHT side by side, the first one primary; sets E2E_XORG_DISPLAY.
start_two_monitor_display() {
    local conf="$E2E_TMP/xorg.conf" display mode="${WIDTH}x${HEIGHT}"
    printf '%s\n' \
        'Section "ServerFlags"' '    Option "AutoAddDevices" "false"' 'EndSection' \
        'Section "Device"' '    Identifier "dummy"' '    Driver "dummy"' '    VideoRam 262144' \
        'EndSection' \
        'Section "Monitor"' '    Identifier "monitor"' '    HorizSync 5.0-1000.0' \
        '    VertRefresh 5.0-200.0' 'EndSection' \
        'Section "Screen"' '    Identifier "screen"' '    Device "dummy"' '    Monitor "monitor"' \
        '    DefaultDepth 24' '    SubSection "Display"' '        Depth 24' \
        '        Virtual 3840 2400' '    EndSubSection' 'EndSection' >"$conf"
    Xorg -displayfd 3 -config "$conf" -noreset -nolisten tcp -logfile "$E2E_TMP/xorg.log" \
        3>"$E2E_TMP/xorg.display" >"$E2E_TMP/xorg.out" 2>&1 &
    E2E_XORG_PID=$!
    wait_for 20 test -s "$E2E_TMP/xorg.display" || return 1
    display=":$(cat "$E2E_TMP/xorg.display")"
    DISPLAY=$display xrandr --output DUMMY0 --mode "$mode" --pos 0x0 --primary &&
        DISPLAY=$display xrandr --addmode DUMMY1 "$mode" &&
        DISPLAY=$display xrandr --output DUMMY1 --mode "$mode" --pos "${WIDTH}x0" &&
        DISPLAY=$display xrandr --fb "$((2 * WIDTH))x$HEIGHT" || return 1
    # Wine reads the outputs as the server last probed them: have it probe them once more.
    DISPLAY=$display xrandr --query >/dev/null || return 1
    E2E_XORG_DISPLAY=$display
}

# --- programs -----------------------------------------------------------------------------

# start_program [--stopped] PATH [ARGUMENT...]: runs a Windows program in the background; its
# process id lands in $E2E_PID_FILE, its exit status in $E2E_STATUS_FILE when it ends. With
# --stopped it is held before its first instruction, for step_program.
start_program() {
    E2E_STATUS_FILE="$E2E_TMP/status.$RANDOM$RANDOM"
    E2E_PID_FILE="$E2E_STATUS_FILE.pid"
    local hold=""
    [[ "$1" == --stopped ]] && hold='kill -STOP $$;' && shift
    # Nothing of the caller's output stays open: a command substitution would wait for it.
    ( sh -c "$hold"' exec "$0" "$@"' "$E2E_WINE" "$@" &
      echo $! >"$E2E_PID_FILE"
      wait $!
      echo $? >"$E2E_STATUS_FILE" ) </dev/null >>"$E2E_TMP/programs.log" 2>&1 &
    wait_for 10 test -s "$E2E_PID_FILE"
}

program_pid() { cat "$E2E_PID_FILE"; }

# step_program SECONDS: lets the program held by start_program --stopped run for a moment
# and holds it again. Whatever lasts longer than that moment of the program's time can be
# seen between two steps: nothing depends on catching it by chance.
step_program() {
    kill -CONT "$(program_pid)" && sleep "$1" && kill -STOP "$(program_pid)"
}

release_program() { kill -CONT "$(program_pid)"; }

program_ended() { [[ -s "$E2E_STATUS_FILE" ]]; }

# ends_with_status SECONDS STATUS: the program ends within the time, with that status.
ends_with_status() {
    if ! wait_for "$1" program_ended; then
        echo "still running after $1 s"
        return 1
    fi
    local status
    status=$(cat "$E2E_STATUS_FILE")
    echo "exit status $status"
    [[ -z "${2:-}" || "$status" == "$2" ]]
}

# --- windows ------------------------------------------------------------------------------

probe() { "$E2E_WINE" "$E2E_TMP/probe.exe" "$@" 2>/dev/null | tr -d '\r'; }

# Visible top-level windows, topmost first: visible, handle, X window, class, rect, title.
visible_windows() { probe list | awk -F'\t' '$1 == 1'; }

# window_field FIELD CLASS_PATTERN TITLE_PATTERN: a field (2 handle, 3 X window, 5 rect) of the
# first visible top-level window whose class and title match the awk patterns.
window_field() {
    visible_windows | awk -F'\t' -v f="$1" -v c="$2" -v t="$3" \
        '$4 ~ c && $6 ~ t { print $f; found = 1; exit } END { exit !found }'
}

# The control dialog by its caption; the show window is the untitled one of the program's
# own window classes, which are named "Orvane:..." (shell/framework/native_wnd.cpp).
control_dialog() { window_field 2 '^#32770$' '^Orvane Version'; }
screen_window() { window_field 2 '^Orvane:' '^$'; }

# control_text HANDLE ID: the text of the control with that id in the window.
control_text() {
    probe controls "$1" | awk -F'\t' -v id="$2" '$1 == id { print $6; found = 1; exit }
                                                 END { exit !found }'
}

# window_gone PATTERN: no visible window with a title matching PATTERN.
window_gone() { ! window_field 2 '.' "$1" >/dev/null; }

# --- screen -------------------------------------------------------------------------------

screenshot() { import -window root -depth 8 "$1"; }

# screen_differs_from FILE: a fresh screenshot (to $E2E_TMP/now.ppm) differs from FILE.
screen_differs_from() {
    screenshot "$E2E_TMP/now.ppm" && ! cmp -s "$E2E_TMP/now.ppm" "$1"
}

# screen_shows BMP, screen_shows_recoloured SHOT: a fresh screenshot (to $E2E_TMP/now.ppm)
# shows the picture of BMP, or SHOT recoloured by a middle click.
screen_shows() { screenshot "$E2E_TMP/now.ppm" && imgcheck same "$E2E_TMP/now.ppm" "$1"; }
screen_shows_recoloured() {
    screenshot "$E2E_TMP/now.ppm" && imgcheck recoloured "$1" "$E2E_TMP/now.ppm"
}

# save_png SHOT NAME [CROP]: keeps a screenshot for the documentation when asked to, as a
# small PNG of at most 256 colours.
save_png() {
    [[ -n "${E2E_SCREENSHOTS:-}" ]] || return 0
    mkdir -p "$E2E_SCREENSHOTS"
    "$E2E_CONVERT" "$1" ${3:+-crop "$3" +repage} +dither -colors 256 -strip \
        "$E2E_SCREENSHOTS/$2.png"
}

# --- files --------------------------------------------------------------------------------

# read_only FOLDER: no file can be made in FOLDER any more. The mode bits keep out an ordinary
# user; root, whom they do not stop, is kept out by the immutable flag.
E2E_READ_ONLY=()
read_only() {
    chmod a-w "$1"
    if touch "$1/.probe" 2>/dev/null; then
        rm -f "$1/.probe"
        chattr +i "$1" 2>/dev/null
    fi
    E2E_READ_ONLY+=("$1")
    ! touch "$1/.probe" 2>/dev/null || { rm -f "$1/.probe"; echo "cannot make $1 read-only"; return 1; }
}
writable_again() { chattr -i "$1" 2>/dev/null; chmod u+w "$1"; }

# windows_path_to_unix PATH: where a Windows path of the prefix lies on this machine.
windows_path_to_unix() { "$E2E_WINE" winepath -u "$1" 2>/dev/null | tr -d '\r'; }

# bmp_complete FILE SIZE: the file exists and has been written in full.
bmp_complete() { [[ -f "$1" && $(stat -c %s "$1") -eq $2 ]]; }
