#!/usr/bin/env bash
# End-to-end checks of the Linux show: runs orvane on its own virtual X display, drives it
# with xdotool and reads back windows, files and screenshots; then as the programs that launch
# screen savers run it: xscreensaver-settings' preview, xsecurelock, and Debian's xscreensaver
# daemon, on one monitor and on two.
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
displays=()

x11_cleanup() {
    local pid
    for pid in "${started[@]}"; do
        kill "$pid" 2>/dev/null
    done
    for pid in "${displays[@]}" ${E2E_XVFB_PID:-}; do
        kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
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
# instruction, for step_show. SHOW_LOG names the file its output goes to. It takes SIGINT and
# SIGQUIT as it would from a terminal: a script's background jobs start ignoring them.
start_show() {
    local hold="" wrapper=()
    [[ ${1:-} == --stopped ]] && { hold='kill -STOP $$;'; shift; }
    # As the last argument: every rename of the show is held back 3 s, its pid is strace's.
    if [[ ${*: -1} == --wrapped-by-strace ]]; then
        set -- "${@:1:$#-1}"
        wrapper=(strace -f -o /dev/null -e trace=rename,renameat,renameat2
                 -e inject=rename,renameat,renameat2:delay_enter=3s)
    fi
    SHOW_STATUS=$E2E_TMP/status.$RANDOM$RANDOM
    ( sh -c "$hold"' exec "$@"' sh env --default-signal=INT,QUIT "${wrapper[@]}" "$ORVANE" "$@" \
          </dev/null \
          >>"${SHOW_LOG:-$E2E_TMP/show.log}" 2>&1 &
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

# The status a shell gives a program ended by the signal: 128 + its number.
signal_status() { echo $(( 128 + $(kill -l "$1") )); }

# stop_within SECONDS SIGNAL: sends the signal; the show ends by it within the time.
stop_within() {
    local start=$(date +%s%N)
    kill -"$2" "$SHOW_PID"
    ends_with "$1" "$(signal_status "$2")" || return 1
    echo "ended $(( ($(date +%s%N) - start) / 1000000 )) ms after SIG$2"
}

# start_display_of VAR GEOMETRY [XVFB_ARGS...]: one more Xvfb, kept through the run (no reset
# when its last client leaves, which would drop its RandR monitors); its name in VAR.
start_display_of() {
    local name=$1 geometry=$2 number_file="$E2E_TMP/display.$RANDOM"
    shift 2
    Xvfb -displayfd 3 -noreset -screen 0 "$geometry" -nolisten tcp "$@" 3>"$number_file" \
        >>"$E2E_TMP/xvfb.log" 2>&1 &
    displays+=("$!")
    wait_for 20 test -s "$number_file" || return 1
    printf -v "$name" ':%s' "$(cat "$number_file")"
}

# No temporary file of a write is left in the folder.
no_temporary() {
    local left
    left=$(ls -A "$1" | grep '^\.orvane-.*\.tmp$')
    [[ -z $left ]] || { echo "left: $left"; return 1; }
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

# has_colour NAME [WxH+X+Y]: the screenshot, or that part of it, has colour.
has_colour() {
    # Pictures are coloured; the waiting screen is black, white and grey.
    convert "$E2E_TMP/$1.ppm" ${2:+-crop "$2"} -colorspace HSL -channel G -separate \
        -format '%[fx:maxima]' info: | awk '{ exit !($1 > 0.2) }'
}

# --- checks -------------------------------------------------------------------------------

check_command_line() {
    check "--help prints the usage" bash -c "'$ORVANE' --help | grep -q 'usage: orvane'"
    check "--version prints the version" bash -c "'$ORVANE' --version | grep -q '^orvane [0-9]'"
    check "a bad option: usage and status 2" \
        says_and_ends 2 'unknown option --bogus' "$ORVANE" --bogus
    check "no display: a message and status 1" \
        says_and_ends 1 'DISPLAY is not set' env DISPLAY= "$ORVANE"
    check "--version and both man pages give the project's one version" version_everywhere
    check "every setting of orvane.xml gives a command line orvane takes and the page reads back" \
        python3 "$root/tests/x11/check_config.py" "$root/shell/x11/install/orvane.xml" "$ORVANE"
}

# says_and_ends STATUS MESSAGE COMMAND...: the command ends with STATUS, MESSAGE on its
# standard error.
says_and_ends() {
    local status=$1 message=$2 said
    shift 2
    said=$("$@" 2>&1 >/dev/null)
    local ended=$?
    echo "status $ended: ${said%%$'\n'*}"
    [[ $ended == "$status" ]] && grep -qF "$message" <<<"$said"
}

version_everywhere() {
    local version page
    version=$("$ORVANE" --version | sed -n 's/^orvane //p')
    echo "orvane --version: $version"
    [[ -n $version ]] || return 1
    for page in "$build/shell/x11/orvane.1" "$build/render/orvane-render.1"; do
        grep -q "^\.TH .* \"Orvane $version\"" "$page" || { echo "$page: $(head -1 "$page")"; return 1; }
    done
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
    check "a left click ends it, with status 1 for the pictures it could not save" ends_with 3 1
}

check_window() {
    local dir=$E2E_TMP/window window
    start_show --window 640x400 --save-dir "$dir"
    check "--window opens a window" wait_for 20 window_named Orvane || return
    window=$(window_named Orvane)
    check "the window has the size asked for" window_size_is "$window" 640x400
    check "the window names its program to the window manager" names_itself "$window"
    xdotool windowsize "$window" 320 200
    check "a resized window restarts the show at its new size" \
        wait_for 90 eval '[[ $(stat -c %s "$(newest "$dir" "Orvane_*.bmp")" 2>/dev/null) == '"$(bmp_size 320 200)"' ]]'
    check "SIGTERM ends the show in a window" stop_within 1 TERM
}

# names_itself WINDOW: class, process, machine, UTF-8 title and the icon's three sizes.
names_itself() {
    local properties
    properties=$(xprop -id "$1" WM_CLASS _NET_WM_PID WM_CLIENT_MACHINE _NET_WM_NAME _NET_WM_ICON |
                 grep -v '^\s' | grep -v '^$')
    echo "$properties"
    grep -qx 'WM_CLASS(STRING) = "orvane", "Orvane"' <<<"$properties" &&
        grep -qx "_NET_WM_PID(CARDINAL) = $SHOW_PID" <<<"$properties" &&
        grep -qx "WM_CLIENT_MACHINE(STRING) = \"$(uname -n)\"" <<<"$properties" &&
        grep -qx '_NET_WM_NAME(UTF8_STRING) = "Orvane"' <<<"$properties" &&
        [[ $(xprop -id "$1" _NET_WM_ICON | grep -c 'Icon (\(48 x 48\|32 x 32\|16 x 16\))') == 3 ]]
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

    # xscreensaver-settings adds --window-id to the line of the settings, --root included.
    local home=$E2E_TMP/preview-home
    mkdir -p "$home"
    xdotool windowsize "$window" 300 200
    HOME=$home start_show --root --max-images 11 --window-id "$window"
    check "the settings' preview line draws into the preview window" \
        wait_for 60 eval 'shot "$window" preview && has_colour preview'
    check "the preview saves nothing" eval '[[ -z $(ls -A "$home") ]]'
    check "SIGTERM ends the preview" stop_within 1 TERM
}

# Every signal that ends a session, sent while a picture is being written (the rename that
# completes it is held back 3 s): the picture is finished, no temporary file is left, and the
# status tells the signal.
check_stop_signals() {
    local dir signal show
    for signal in HUP INT QUIT TERM USR1; do
        dir=$E2E_TMP/signalled-$signal
        start_show --window 160x120 --save-dir "$dir" --wrapped-by-strace
        if ! wait_for 30 eval 'ls -A "$dir" 2>/dev/null | grep -q "^\.orvane-.*\.tmp$"'; then
            fail "SIG$signal while a picture is written: no picture was written"
            kill -KILL "$SHOW_PID"
            continue
        fi
        show=$(pgrep -P "$SHOW_PID" -x orvane)
        kill -"$signal" "$show"
        check "SIG$signal while a picture is written ends the show with $(signal_status "$signal")" \
            ends_with 10 "$(signal_status "$signal")"
        check "SIG$signal: the picture is finished and no temporary file is left" eval \
            'no_temporary "$dir" && every_picture_whole "$dir" "$(bmp_size 160 120)"'
    done
}

# A picture that cannot be saved (its name is taken by a folder): said once however often it
# happens, the show goes on, and its status at the end is 1.
check_failed_saves() {
    local dir=$E2E_TMP/unsaved log=$E2E_TMP/unsaved.log
    mkdir -p "$dir/Orvane_1.bmp/taken"
    SHOW_LOG=$log start_show --window 160x120 --save-dir "$dir" --max-images 1
    check "a picture that cannot be saved is reported" \
        wait_for 60 grep -q "cannot save $dir/Orvane_1.bmp: Is a directory" "$log"
    sleep 10    # several more pictures fail the same way
    check "the show goes on after it" running "$SHOW_PID"
    check "the failure is told once" eval '[[ $(grep -c "cannot save" "$log") == 1 ]]'
    xdotool mousemove 50 50 click 1
    check "a left click then ends the show with status 1" ends_with 10 1
}

# run_to_end SECONDS LOG COMMAND...: runs the command with its output in LOG; fails when it
# is still running after the time.
run_to_end() {
    local seconds=$1 log=$2
    shift 2
    timeout -s KILL "$seconds" "$@" >"$log" 2>&1
    local status=$?
    echo "status $status: $(head -c 300 "$log")"
    return "$status"
}

# ends_clearly SECONDS MESSAGE COMMAND...: the command ends within the time with status 1 and
# a message on standard error that holds MESSAGE.
ends_clearly() {
    local seconds=$1 message=$2 log=$E2E_TMP/clearly.log
    shift 2
    run_to_end "$seconds" "$log" "$@"
    [[ $? == 1 ]] && grep -q "$message" "$log"
}

# What the show cannot do is said, with status 1, rather than shown as a black screen.
check_failures() {
    local eight
    if start_display_of eight 320x240x8; then
        check "an 8-bit display: a message and status 1" \
            ends_clearly 20 'PseudoColor; the show draws only on true colour' \
            env DISPLAY="$eight" "$ORVANE" --window 64x48 --no-save
        check "an 8-bit display as a display mode: the same" \
            ends_clearly 20 'PseudoColor' env DISPLAY="$eight" "$ORVANE" --root --no-save
    else
        fail "set-up: an 8-bit virtual display"
    fi
    # The window's surface fits in this much memory, its pictures do not.
    check "no memory for the pictures: a message and status 1" \
        ends_clearly 30 'not enough memory for the show at 8000x8000' \
        bash -c "ulimit -v 800000 && exec '$ORVANE' --window 8000x8000 --no-save"
    # Every thread gets a stack of the limit's size: the first, the tour's, cannot be made.
    check "no tour thread: a message and status 1" \
        ends_clearly 30 'cannot start the tour thread' \
        bash -c "ulimit -s 4000000 && ulimit -v 3000000 && exec '$ORVANE' --window 64x48 --no-save"
    check "XSCREENSAVER_WINDOW that names no window: it is named, status 1" \
        ends_clearly 20 'no window 0x7fffff0 (XSCREENSAVER_WINDOW)' \
        env XSCREENSAVER_WINDOW=0x7fffff0 "$ORVANE" --root --no-save
}

# pictures_folder_is FOLDER ENV...: started with that environment, the show makes FOLDER its
# picture folder (or, where it cannot make it, says so).
pictures_folder_is() {
    local folder=$1 log=$E2E_TMP/folder.log
    shift
    rm -f "$log"
    env -u XDG_CONFIG_HOME -u XDG_PICTURES_DIR "$@" "$ORVANE" --window 32x24 >"$log" 2>&1 &
    local pid=$!
    wait_for 20 eval '[[ -e "$folder/.orvane.lock" ]] || grep -q "cannot create $folder:" "$log"'
    local found=$?
    kill -TERM "$pid"
    wait "$pid"
    [[ $found == 0 ]] || { echo "no $folder; $(cat "$log")"; return 1; }
}

# The default picture folder as the show computes it: user-dirs.dirs, then the environment,
# then the home, which without HOME is the password database's.
check_pictures_folder() {
    local home=$E2E_TMP/folder-home config=$E2E_TMP/folder-config nobody_home
    mkdir -p "$home" "$config"
    echo 'XDG_PICTURES_DIR="$HOME/Bilder"' >"$config/user-dirs.dirs"
    check "the pictures folder of user-dirs.dirs, over the environment's" pictures_folder_is \
        "$home/Bilder/Orvane" HOME="$home" XDG_CONFIG_HOME="$config" XDG_PICTURES_DIR=/nowhere
    check "the pictures folder of \$XDG_PICTURES_DIR" pictures_folder_is \
        "$E2E_TMP/env-pictures/Orvane" HOME="$home" XDG_PICTURES_DIR="$E2E_TMP/env-pictures"
    check "without either, ~/Pictures" pictures_folder_is "$home/Pictures/Orvane" HOME="$home"
    # As a user whose home cannot be written, so that nothing is made there.
    nobody_home=$(getent passwd nobody | cut -d: -f6)
    check "without HOME, the password database's home" pictures_folder_is \
        "$nobody_home/Pictures/Orvane" -u HOME \
        setpriv --reuid=nobody --regid="$(id -g nobody)" --clear-groups
}

# xsecurelock's runner of xscreensaver's display modes, given a folder of them that holds
# orvane: it passes -root, and the window it names in XSCREENSAVER_WINDOW.
check_xsecurelock() {
    local modes=$E2E_TMP/modes home=$E2E_TMP/lock-home pid
    mkdir -p "$modes" "$home"
    cp "$ORVANE" "$modes/orvane"
    HOME=$home XSECURELOCK_SAVER=saver_xscreensaver XSECURELOCK_XSCREENSAVER_PATH=$modes \
        XSECURELOCK_NO_COMPOSITE=1 xsecurelock >"$E2E_TMP/xsecurelock.log" 2>&1 &
    pid=$!
    started+=("$pid")
    check "xsecurelock runs orvane -root" wait_for 20 pgrep -f "$modes/orvane -root" || return
    check "its pictures are on the lock screen" \
        wait_for 60 eval 'shot root locked && has_colour locked'
    check "xsecurelock has no failed saver to report" \
        eval '! grep -q "Screen saver failed" "$E2E_TMP/xsecurelock.log"'
    kill -TERM "$pid"
    check "unlocked, orvane is gone" wait_for 10 eval '! pgrep -f "$modes/orvane"'
    check "and has left no temporary file" no_temporary "$home/Pictures/Orvane"
}

# start_daemon HOME: the real daemon on $DISPLAY, as an unprivileged user (as root it launches
# no display modes), with a settings file in HOME that lists only our display mode. Its pid in
# DAEMON_PID, its log in HOME/daemon.log. activate_daemon HOME blanks the screen once it
# answers.
start_daemon() {
    local home=$1
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
    chown -R nobody: "$home"
    # A session of its own: its end signals its whole process group, which would be ours.
    setsid setpriv --reuid=nobody --regid="$(id -g nobody)" --clear-groups env HOME="$home" \
        xscreensaver -no-splash -verbose >"$home/daemon.log" 2>&1 &
    DAEMON_PID=$!
    started+=("$DAEMON_PID")
}

activate_daemon() {
    wait_for 20 as_nobody "$1" xscreensaver-command -version &&
        as_nobody "$1" xscreensaver-command -activate
}

as_nobody() {
    local home=$1
    shift
    setpriv --reuid=nobody --regid="$(id -g nobody)" --clear-groups env HOME="$home" "$@"
}

stop_daemon() {
    as_nobody "$1" xscreensaver-command -exit >/dev/null 2>&1
    wait_for 10 eval '! running $DAEMON_PID'
}

check_daemon() {
    local home=$E2E_TMP/home pid
    start_daemon "$home"
    check "the daemon answers" activate_daemon "$home" || return
    check "the daemon starts orvane" wait_for 20 pgrep -u nobody -f "$ORVANE --root" || return
    pid=$(pgrep -u nobody -f "$ORVANE --root")
    sleep 5
    shot root daemon
    check "our pictures are on the screen" has_colour daemon
    check "they are saved in the user's pictures folder" \
        wait_for 60 eval 'ls "$home"/Pictures/Orvane/Orvane_*.bmp'
    # The daemon's SIGTERM, and the process's end by it, as the daemon expects of a mode.
    as_nobody "$home" xscreensaver-command -cycle >/dev/null 2>&1
    check "-cycle: the daemon counts the end of our process as normal" \
        wait_for 5 grep -q "child pid $pid (.*orvane) exited normally with SIGTERM" "$home/daemon.log"
    check "-cycle: our process is gone within 2 s" wait_for 2 eval '! running $pid'
    check "-cycle: a new one starts" wait_for 20 pgrep -u nobody -f "$ORVANE --root"
    pid=$(pgrep -u nobody -f "$ORVANE --root")
    as_nobody "$home" xscreensaver-command -deactivate >/dev/null 2>&1
    check "-deactivate: our process is gone within 2 s" \
        wait_for 2 eval '! running $pid'
    stop_daemon "$home"
}

# sizes_by_name DIR: "name size" of every picture in DIR.
sizes_by_name() {
    local file
    for file in "$1"/*.bmp; do
        [[ -e $file ]] && echo "$(basename "$file") $(stat -c %s "$file")"
    done
}

# one_writer_per_name LOG: every name in the log of sizes_by_name lines always had one size,
# and each copy's prefix one size that is the other's no more.
one_writer_per_name() {
    sort -u "$1" | awk '
        { prefix = $1; sub(/_[0-9]+\.bmp$/, "", prefix)
          if (($1 in size) && size[$1] != $2) { print $1 " written at " size[$1] " and " $2; bad = 1 }
          size[$1] = $2
          if ((prefix in of) && of[prefix] != $2) { print prefix " at two sizes"; bad = 1 }
          of[prefix] = $2 }
        END { n = 0; for (p in of) { n++; print p ": " of[p] " bytes" }
              if (n != 2) { print n " prefixes"; bad = 1 }
              exit bad }'
}

# Two monitors of different sizes, the right-hand one the server's first, neither primary:
# the show covers the one at the origin; the daemon starts a copy on each, and the copies,
# sharing the user's picture folder, never write the same file.
check_two_monitors() {
    local two home=$E2E_TMP/home2 log=$E2E_TMP/two-monitors.sizes deadline
    if ! start_display_of two 1040x480x24; then
        fail "set-up: a display with two monitors"
        return
    fi
    local -x DISPLAY=$two
    xrandr --setmonitor right 400/106x300/79+640+0 none &&
        xrandr --setmonitor left 640/169x480/127+0+0 none &&
        xrandr --output screen --off 2>/dev/null
    note "$(xrandr --listmonitors)"

    start_show --no-save
    check "two monitors, none primary: the show covers the one at the origin" \
        wait_for 20 eval 'window_size_is "$(window_named Orvane)" 640x480 &&
                          xdotool getwindowgeometry "$(window_named Orvane)" | grep -q "Position: 0,0"'
    stop_within 2 TERM >/dev/null

    start_daemon "$home"
    activate_daemon "$home" >/dev/null 2>&1 || { fail "the daemon on two monitors"; return; }
    check "the daemon runs a copy on each monitor" \
        wait_for 20 eval '(( $(pgrep -u nobody -f -c "$ORVANE --root") == 2 ))' || return
    check "each monitor shows pictures" wait_for 60 eval 'shot root two &&
        has_colour two 640x480+0+0 && has_colour two 400x300+640+0'
    deadline=$(( $(date +%s) + 45 ))
    while (( $(date +%s) < deadline )); do
        sizes_by_name "$home/Pictures/Orvane" >>"$log"
        sleep 0.2
    done
    check "each picture name is written by one copy only" one_writer_per_name "$log"
    check "every saved file is whole" every_picture_whole "$home/Pictures/Orvane" \
        "$(bmp_size 640 480)" "$(bmp_size 400 300)"
    stop_daemon "$home"
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
check_stop_signals
check_failed_saves
check_failures
check_pictures_folder
check_xsecurelock
check_daemon
check_two_monitors
summary
