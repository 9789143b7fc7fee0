#!/usr/bin/env bash
# End-to-end checks of the Linux show: runs orvane on its own virtual X display, drives it
# with xdotool and reads back windows, files and screenshots; last, Debian's xscreensaver
# daemon runs it as a display mode.
#
#   tests/x11/run-x11.sh [--build DIR]
#
# --build: the native build folder (default build). E2E_KEEP=1 keeps the temporary folder
# (screenshots, pictures, logs) for a look afterwards.
set -uo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=$root/build
if [[ $# -eq 2 && $1 == --build ]]; then
    build=$(realpath "$2")
elif [[ $# -ne 0 ]]; then
    echo "usage: $0 [--build DIR]" >&2
    exit 2
fi

# pass, fail, check, note, wait_for, start_display and summary; imgcheck.py compares
# screenshots with saved pictures.
source "$root/tests/e2e/common.sh"

SCREEN_WIDTH=640
SCREEN_HEIGHT=480
bmp_size() { echo $(( 54 + (3 * $1 + $1 % 4) * $2 )); }

E2E_TMP=$(mktemp -d /tmp/orvane-x11.XXXXXX)
chmod 755 "$E2E_TMP"    # the daemon's user reads the program from here
# The programs are copies, so that a rebuild during the run cannot pull them away.
cp "$build/shell/x11/orvane" "$build/tests/x11_test_window" "$E2E_TMP/" || exit 1
ORVANE=$E2E_TMP/orvane
TEST_WINDOW=$E2E_TMP/x11_test_window
started=()

x11_cleanup() {
    local pid
    for pid in "${started[@]}"; do
        kill "$pid" 2>/dev/null
    done
    [[ -n "${E2E_XVFB_PID:-}" ]] && kill "$E2E_XVFB_PID" 2>/dev/null && wait "$E2E_XVFB_PID" 2>/dev/null
    if [[ -n "${E2E_KEEP:-}" ]]; then
        echo "# kept $E2E_TMP" >&2
    else
        rm -rf "$E2E_TMP"
    fi
}
trap x11_cleanup EXIT
trap 'exit 130' INT TERM

# --- the show -----------------------------------------------------------------------------

# start_show [--stopped] ARGS...: orvane in the background; its pid in SHOW_PID, its exit
# status in the file $SHOW_STATUS once it has ended. With --stopped it is held before its first
# instruction, for step_show.
start_show() {
    local hold=""
    [[ ${1:-} == --stopped ]] && { hold='kill -STOP $$;'; shift; }
    SHOW_STATUS=$E2E_TMP/status.$RANDOM$RANDOM
    ( sh -c "$hold"' exec "$@"' sh "$ORVANE" "$@" </dev/null >>"$E2E_TMP/show.log" 2>&1 &
      echo $! >"$SHOW_STATUS.pid"
      wait $!
      echo $? >"$SHOW_STATUS" ) &
    wait_for 10 test -s "$SHOW_STATUS.pid"
    SHOW_PID=$(cat "$SHOW_STATUS.pid")
    started+=("$SHOW_PID")
}

# step_until SECONDS COMMAND...: lets the show held by start_show --stopped run SECONDS at a
# time, holding it again for COMMAND after each step, until COMMAND succeeds (at most 400
# steps). A state that lasts longer than one step is seen, however short it is.
step_until() {
    local step=$1 i
    shift
    for ((i = 0; i < 400; i++)); do
        kill -CONT "$SHOW_PID" && sleep "$step" && kill -STOP "$SHOW_PID" || return 1
        "$@" >/dev/null 2>&1 && return 0
    done
    return 1
}

# Alive and not a zombie waiting to be reaped.
running() {
    local state
    state=$(ps -o stat= -p "$1" 2>/dev/null) && [[ $state != Z* ]]
}

# ends_with SECONDS STATUS: the show ends within the time, with that status.
ends_with() {
    if ! wait_for "$1" test -s "$SHOW_STATUS"; then
        echo "still running after $1 s"
        kill -KILL "$SHOW_PID" 2>/dev/null
        return 1
    fi
    echo "exit status $(cat "$SHOW_STATUS")"
    [[ $(cat "$SHOW_STATUS") == "$2" ]]
}

# stop_within SECONDS SIGNAL: sends the signal; the show ends with 0 within the time.
stop_within() {
    local start=$(date +%s%N)
    kill -"$2" "$SHOW_PID"
    ends_with "$1" 0 || return 1
    echo "ended $(( ($(date +%s%N) - start) / 1000000 )) ms after SIG$2"
}

window_named() { xdotool search --name "^$1\$" 2>/dev/null | head -1; }

window_size_is() {
    local geometry
    geometry=$(xdotool getwindowgeometry "$1" | sed -n 's/ *Geometry: //p')
    echo "window $1: $geometry"
    [[ $geometry == "$2" ]]
}

# shot WINDOW NAME: a screenshot of the window (root: the screen) as NAME.ppm.
shot() {
    import -window "$1" -depth 8 "$E2E_TMP/$2.ppm" 2>/dev/null
}

newest() { ls -t "$1"/$2 2>/dev/null | head -1; }

# shows_a_save SECONDS WINDOW DIR PATTERN [THEN]: the window shows exactly the newest picture
# saved in DIR as PATTERN, looked at just after each save until the time runs out (the zoom
# outline soon draws over a picture; the pause after a series keeps one on screen). THEN, a
# command, runs right after such a look and must succeed too; the screenshot is seen.ppm.
shows_a_save() {
    local deadline=$(( $(date +%s%N) + $1 * 1000000000 )) window=$2 dir=$3 pattern=$4
    local then=${5:-true} last="" latest
    while (( $(date +%s%N) < deadline )); do
        latest=$(newest "$dir" "$pattern")
        if [[ -n $latest && $latest != "$last" ]]; then
            last=$latest
            sleep 0.1
            shot "$window" seen
            if imgcheck same "$E2E_TMP/seen.ppm" "$latest" >/dev/null && $then; then
                echo "screen shows $(basename "$latest")"
                return 0
            fi
        fi
        sleep 0.05
    done
    echo "no screenshot showed a saved picture (last: ${last:-none})"
    return 1
}

# After a look at a picture: each middle click repaints the picture recoloured (what was on
# the screen before the first may already be the next picture, not yet shown).
middle_clicks_recolour() {
    xdotool click 2
    sleep 0.3
    shot root once
    xdotool click 2
    sleep 0.3
    shot root twice
    imgcheck recoloured "$E2E_TMP/once.ppm" "$E2E_TMP/twice.ppm"
}

# every_picture_whole DIR: every file in DIR is a complete BMP of one of the sizes given.
every_picture_whole() {
    local dir=$1 file size ok=0
    shift
    for file in "$dir"/*; do
        [[ -e $file ]] || continue
        size=$(stat -c %s "$file")
        if [[ $file != *.bmp ]] || ! printf '%s\n' "$@" | grep -qx "$size"; then
            echo "$(basename "$file"): $size bytes"
            ok=1
        fi
    done
    echo "$(ls "$dir" | wc -l) files checked"
    return $ok
}

has_colour() {
    # Pictures are coloured; the waiting screen is black, white and grey.
    convert "$E2E_TMP/$1.ppm" -colorspace HSL -channel G -separate -format '%[fx:maxima]' info: |
        awk '{ exit !($1 > 0.2) }'
}

# --- checks -------------------------------------------------------------------------------

check_command_line() {
    check "--help prints the usage" bash -c "'$ORVANE' --help | grep -q 'usage: orvane'"
    check "--version prints the version" bash -c "'$ORVANE' --version | grep -q '^orvane [0-9]'"
    check "a bad option: usage and status 2" bash -c \
        "'$ORVANE' --bogus 2>&1 >/dev/null | grep -q 'unknown option --bogus'; [[ \${PIPESTATUS[0]} == 2 ]]"
    check "no display: a message and status 1" bash -c \
        "DISPLAY= '$ORVANE' 2>&1 | grep -q 'cannot open the X display'; [[ \${PIPESTATUS[0]} == 1 ]]"
    check "orvane.xml has the format of Debian's display-mode settings" \
        python3 "$root/tests/x11/check_config.py" "$root/shell/x11/install/orvane.xml" "$ORVANE"
}

check_full_screen() {
    local dir=$E2E_TMP/full window first
    start_show --stopped --seed 1 --save-dir "$dir"
    check "the show opens a window" step_until 0.05 window_named Orvane || return
    window=$(window_named Orvane)
    check "the window covers the screen" window_size_is "$window" "${SCREEN_WIDTH}x$SCREEN_HEIGHT"
    # The first pictures take milliseconds: the show is held between steps to see its start.
    check "first the waiting screen" step_until 0.005 eval \
        'shot root waiting && imgcheck waiting-screen "$E2E_TMP/waiting.ppm"'
    kill -CONT "$SHOW_PID"
    check "the screen shows the saved picture" shows_a_save 90 root "$dir" 'Orvane_*[0-9].bmp'
    check "a middle click recolours the screen" \
        shows_a_save 90 root "$dir" 'Orvane_*[0-9].bmp' middle_clicks_recolour

    xdotool mousemove 200 150 mousedown 3
    check "holding the right button saves grid pictures" \
        wait_for 90 eval '[[ -n $(newest "$dir" "Orvane_*_g.bmp") ]]'
    check "the screen shows the grid picture" shows_a_save 90 root "$dir" 'Orvane_*_g.bmp'
    xdotool mouseup 3
    check "releasing the right button shows the picture again" \
        shows_a_save 90 root "$dir" 'Orvane_*[0-9].bmp'
    first=$(newest "$dir" 'Orvane_*_g.bmp')
    check "the grid picture is the picture with a grid" \
        imgcheck grid "${first%_g.bmp}.bmp" "$first"
    check "pictures have the screen's size" imgcheck bmp-header "$first" \
        "$SCREEN_WIDTH" "$SCREEN_HEIGHT"

    xdotool mousemove 10 10 key space a Return
    sleep 0.5
    check "other keys and mouse movement leave the show running" running "$SHOW_PID"
    xdotool key Escape
    check "Esc ends the show with status 0" ends_with 3 0

    start_show --save-dir /proc/orvane
    wait_for 20 window_named Orvane && sleep 1
    check "a folder that cannot be written: one message, and the show goes on" bash -c \
        "grep -c 'cannot create /proc/orvane' '$E2E_TMP/show.log' | grep -qx 1 && ps -p $SHOW_PID >/dev/null"
    xdotool mousemove 100 100 click 1
    check "a left click ends the show with status 0" ends_with 3 0
}

check_window() {
    local dir=$E2E_TMP/window window
    start_show --window 640x400 --save-dir "$dir"
    check "--window opens a window" wait_for 20 window_named Orvane || return
    window=$(window_named Orvane)
    check "the window has the size asked for" window_size_is "$window" 640x400
    xdotool windowsize "$window" 320 200
    check "a resized window restarts the show at its new size" \
        wait_for 90 eval '[[ $(stat -c %s "$(newest "$dir" "Orvane_*.bmp")" 2>/dev/null) == '"$(bmp_size 320 200)"' ]]'
    check "SIGTERM ends the show in a window" stop_within 1 TERM
}

check_display_mode() {
    local dir=$E2E_TMP/adopted window delay
    "$TEST_WINDOW" 400 250 >"$E2E_TMP/window-id" 2>>"$E2E_TMP/show.log" &
    started+=("$!")
    wait_for 10 test -s "$E2E_TMP/window-id" || { fail "the test's window"; return; }
    window=$(cat "$E2E_TMP/window-id")

    start_show --window-id "$window" --save-dir "$dir"
    check "--window-id: the window shows the pictures" shows_a_save 90 "$window" "$dir" 'Orvane_*.bmp'
    xdotool windowsize "$window" 300 200
    check "--window-id: a resize restarts the show at the new size" \
        wait_for 90 eval '[[ $(stat -c %s "$(newest "$dir" "Orvane_*.bmp")" 2>/dev/null) == '"$(bmp_size 300 200)"' ]]'
    check "--window-id: SIGTERM ends the show" stop_within 1 TERM

    rm -rf "$dir"
    XSCREENSAVER_WINDOW=$window start_show --root --save-dir "$dir"
    check "XSCREENSAVER_WINDOW: the window shows the pictures" \
        shows_a_save 90 "$window" "$dir" 'Orvane_*.bmp'
    check "SIGINT ends the show" stop_within 1 INT

    # Stops while rendering, in a transition, and while saving: the moments are spread over
    # the first pictures; the last one waits for a file to appear.
    for delay in 0.3 1.5 3 4.5; do
        XSCREENSAVER_WINDOW=$window start_show --root --save-dir "$dir"
        sleep "$delay"
        check "SIGTERM after $delay s ends the show within 1 s" stop_within 1 TERM
    done
    local count
    count=$(ls "$dir" | wc -l)
    XSCREENSAVER_WINDOW=$window start_show --root --save-dir "$dir" --max-images 99
    wait_for 60 eval '(( $(ls "$dir" | wc -l) > count ))'
    check "SIGTERM as a picture is saved ends the show within 1 s" stop_within 1 TERM
    check "no picture is left half written" every_picture_whole "$dir" "$(bmp_size 300 200)"

    xdotool windowsize "$window" 16 12
    start_show --window-id "$window" --no-save
    sleep 4
    shot "$window" tiny
    check "a window too small for zooms still shows pictures" has_colour tiny
    check "SIGTERM ends the show in a tiny window" stop_within 1 TERM
}

# The real daemon, as an unprivileged user (as root it launches no display modes), with a
# settings file in a temporary home that lists only our display mode.
check_daemon() {
    local home=$E2E_TMP/home user=nobody pid
    mkdir -p "$home"
    cat >"$home/.xscreensaver" <<EOF
mode:		one
selected:	0
timeout:	0:30:00
lock:		False
splash:		False
fade:		False
unfade:		False
programs:	"Orvane"  $ORVANE --root	\\n\\

EOF
    chown -R "$user:" "$home"
    as_user() { setpriv --reuid="$user" --regid="$(id -g "$user")" --clear-groups env HOME="$home" "$@"; }
    as_user xscreensaver -no-splash -verbose >"$E2E_TMP/daemon.log" 2>&1 &
    started+=("$!")
    check "the daemon answers" wait_for 20 as_user xscreensaver-command -version || return
    as_user xscreensaver-command -activate >/dev/null 2>&1
    check "the daemon starts orvane" wait_for 20 pgrep -u "$user" -f "$ORVANE --root" || return
    pid=$(pgrep -u "$user" -f "$ORVANE --root")
    sleep 5
    shot root daemon
    check "our pictures are on the screen" has_colour daemon
    check "they are saved in the user's pictures folder" \
        wait_for 60 eval 'ls "$home"/Pictures/Orvane/Orvane_*.bmp'
    as_user xscreensaver-command -deactivate >/dev/null 2>&1
    check "-deactivate: our process is gone within 2 s" \
        wait_for 2 eval '! running $pid'
    as_user xscreensaver-command -exit >/dev/null 2>&1
}

if ! start_display "${SCREEN_WIDTH}x${SCREEN_HEIGHT}x24"; then
    fail "set-up: a virtual display"
    summary
    exit 1
fi
check_command_line
check_full_screen
check_window
check_display_mode
check_daemon
summary
