#!/usr/bin/env bash
# End-to-end checks of the Windows program: runs Orvane.scr and Orvane.exe under Wine on a
# virtual display, drives them with xdotool and reads back windows, files and screenshots.
#
#   tests/wine/run-e2e.sh [--arch 32|64] [--build DIR] [--screenshots DIR] [--only GROUPS]
#
# --arch: the 32-bit program (default) or the 64-bit one, each under Wine of its kind.
# --build: the folder holding Orvane.exe and Orvane.scr (default build-windows/shell/win32, or
#          build-windows64/shell/win32 with --arch 64); the Win32 unit tests, when built, are run
#          from tests/windows beside it.
# --screenshots: also keep dialog.png, waiting.png, picture.png and grid.png there.
# --only: the groups of checks to run, by function name (see TEST_GROUPS at the end), for
#         working on one of them.
# E2E_KEEP=1 keeps the temporary folder (prefix, screenshots, logs) for a look afterwards.
set -uo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
arch=32
build=""
only=""
usage() {
    echo "usage: $0 [--arch 32|64] [--build DIR] [--screenshots DIR] [--only 'GROUP...']" >&2
    exit 2
}
while [[ $# -gt 0 ]]; do
    [[ $# -ge 2 ]] || usage
    case $1 in
        --arch) arch=$2; shift 2 ;;
        --build) build=$2; shift 2 ;;
        --screenshots) E2E_SCREENSHOTS=$(realpath -m "$2"); shift 2 ;;
        --only) only=$2; shift 2 ;;
        *) usage ;;
    esac
done
case $arch in
    32) build=${build:-$root/build-windows/shell/win32} ;;
    64) build=${build:-$root/build-windows64/shell/win32} ;;
    *) usage ;;
esac

source "$root/tests/e2e/common.sh"
source "$root/tests/wine/lib.sh"
use_architecture "$arch"

UNIT_TESTS="$build/../../tests/windows/orvane_win32_tests.exe"

WIDTH=640
HEIGHT=480
BMP_SIZE=$(( 54 + (3 * WIDTH + WIDTH % 4) * HEIGHT ))
WAITING_TEXT="最初の画像を計算しています。しばらくお待ちください。"
JAPANESE_FONTS=(/usr/share/fonts/opentype/ipafont-mincho/ipamp.ttf
                /usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf)

E2E_TMP=$(mktemp -d /tmp/orvane-e2e.XXXXXX)
trap cleanup EXIT
trap 'exit 130' INT TERM

# Fails the run at once when the environment cannot be set up: no check could mean anything.
setup() {
    local step
    for step in "start_display ${WIDTH}x${HEIGHT}x24" make_prefix build_probe; do
        if ! $step; then
            fail "set-up: $step"
            summary
            exit 1
        fi
    done
    # Copies, so that a rebuild during the run cannot pull the programs away.
    mkdir -p "$E2E_TMP/built"
    cp "$build/Orvane.exe" "$build/Orvane.scr" "$E2E_TMP/built/" || {
        fail "set-up: Orvane.exe and Orvane.scr in $build"; summary; exit 1; }
    cp "$UNIT_TESTS" "$E2E_TMP/built/" 2>/dev/null
}

# Views the Windows build renders again in its unit tests, to compare byte for byte: odd
# sizes, portrait, one pixel, the home views and a deep view (FILE WIDTH HEIGHT RE IM SPAN).
REFERENCE_VIEWS=(
    "home0 320 200 -0.275 0.735 0.045"
    "home2 161 97 -0.27 0.795 0.05"
    "portrait 90 161 -0.244 0.705 0.02"
    "pixel 1 1 -0.275 0.735 0.045"
    "deep 203 150 -0.24974786780659766 0.74104255026363564 4.5e-12"
)

# reference_pictures FOLDER: the native renderer's pictures of REFERENCE_VIEWS and their index.
reference_pictures() {
    local renderer="$root/build/render/orvane-render" view name width height re im span
    [[ -x "$renderer" ]] || return 1
    mkdir -p "$1"
    for view in "${REFERENCE_VIEWS[@]}"; do
        read -r name width height re im span <<<"$view"
        "$renderer" --size "${width}x${height}" --view "$re" "$im" "$span" \
            -o "$1/$name.bmp" >/dev/null || return 1
        echo "$name.bmp $width $height $re $im $span" >>"$1/index.txt"
    done
}

# The GoogleTest tests of the Win32 backend and the window framework need Wine and a display
# too, so they run here; they are missing when GoogleTest's sources were not there to build.
# Their pictures are compared with the native renderer's where that is built.
win32_unit_tests() {
    local exe="$E2E_TMP/built/$(basename "$UNIT_TESTS")" output
    if [[ ! -f "$exe" ]]; then
        note "no $(basename "$UNIT_TESTS"): Win32 unit tests skipped"
        return
    fi
    if reference_pictures "$E2E_TMP/reference"; then
        export ORVANE_REFERENCE_PICTURES
        ORVANE_REFERENCE_PICTURES=$("$E2E_WINE" winepath -w "$E2E_TMP/reference" 2>/dev/null | tr -d '\r')
    else
        fail "Win32 unit tests: reference pictures from $root/build/render/orvane-render"
    fi
    if output=$(cd "$E2E_TMP" && timeout 120 "$E2E_WINE" "$exe" 2>&1); then
        note "$(grep -a 'PASSED' <<<"$output" | tr -d '\r')"
        pass "Win32 unit tests under Wine"
    else
        grep -a -E '^\[  FAILED  \]|Failure' <<<"$output" | tr -d '\r' | while read -r line; do note "$line"; done
        fail "Win32 unit tests under Wine"
    fi
}

# install BUILT NAME: a copy of a built program under NAME in a folder of its own.
install() {
    local folder
    folder=$(mktemp -d "$E2E_TMP/run.XXXX")
    cp "$E2E_TMP/built/$1" "$folder/$2"
    echo "$folder/$2"
}

# The screen saver's two windows, found through X alone: Wine calls take too long while the
# waiting screen lasts (from the first paint until the second zoom picture's render has begun,
# a second or two).
saver_xwindows() { xdotool search --onlyvisible --class '^orvane\.scr$' 2>/dev/null; }

# The X window of the show: the untitled one covering the whole screen.
saver_screen_xwindow() {
    local id
    for id in $(saver_xwindows); do
        [[ -z $(xdotool getwindowname "$id") ]] &&
            xdotool getwindowgeometry "$id" | grep -q "Geometry: ${WIDTH}x${HEIGHT}" &&
            echo "$id" && return 0
    done
    return 1
}

saver_mapped() { [[ $(saver_xwindows | wc -l) -ge 2 ]] && saver_screen_xwindow >/dev/null; }

pointer_over() { [[ $(xdotool getmouselocation --shell | sed -n 's/^WINDOW=//p') == "$1" ]]; }

# Wine can map the control dialog above the screen window in X although it lies below it in
# the window order of Windows (the screen window is topmost): raise the screen window to match
# before looking at the screen, and put the pointer in the middle of it.
raise_saver_screen() {
    local screen
    screen=$(saver_screen_xwindow) || return 1
    xdotool windowraise "$screen" mousemove $((WIDTH / 2)) $((HEIGHT / 2))
    wait_for 5 pointer_over "$screen"
}

show_started() {
    local rect
    rect=$(window_field 5 '^Orvane:' '^$') && [[ "$rect" == "0,0,$WIDTH,$HEIGHT" ]]
}

# The screen window is the topmost window and covers the whole screen.
screen_window_on_top() {
    local first
    first=$(visible_windows | head -n 1 | cut -f 4,5)
    echo "topmost window: $first"
    [[ "$first" == Orvane:*$'\t'"0,0,$WIDTH,$HEIGHT" ]]
}

# step_until_mapped SECONDS: steps the held program until the show window is mapped.
step_until_mapped() {
    local deadline=$(( $(date +%s) + $1 ))
    until saver_mapped; do
        (( $(date +%s) < deadline )) || { echo "not mapped after $1 s"; return 1; }
        step_program 0.005
    done
}

# step_to_waiting_screen COUNT: steps the held program, a screenshot after each step, until
# the screen shows the waiting screen; prints that screenshot. The steps are short against
# the waiting screen's time (the render of the home view at least), so it cannot be missed.
step_to_waiting_screen() {
    local k shot result
    for ((k = 1; k <= $1; k++)); do
        shot="$E2E_TMP/waiting.$k.ppm"
        screenshot "$shot"
        result=$(imgcheck waiting-screen "$shot") && echo "$shot" && return 0
        step_program 0.002
    done
    echo "not after $1 steps; the last screenshot: $result"
    return 1
}

# next_unsaved_slot FOLDER FROM: the first slot from FROM on whose picture is not yet saved in
# full, so that waiting for it catches the moment of its saving.
next_unsaved_slot() {
    local slot=$2
    while bmp_complete "$1/Orvane_$slot.bmp" "$BMP_SIZE"; do
        slot=$((slot + 1))
    done
    echo "$slot"
}

# shot_after_save FOLDER FILE SHOT: waits until FILE (a name in FOLDER) is saved in full and
# takes the screenshot SHOT at once, before the next transition can begin.
shot_after_save() {
    wait_for 60 bmp_complete "$1/$2" "$BMP_SIZE" && screenshot "$3"
}

headers_of_saved_pictures() {
    local file status=0 result
    for file in "$@"; do
        result=$(imgcheck bmp-header "$file" "$WIDTH" "$HEIGHT") ||
            { echo "$(basename "$file"): $result"; status=1; }
    done
    echo "$# files checked"
    return $status
}

no_file() { [[ ! -e "$1" ]] || { echo "$(basename "$1") exists"; return 1; }; }

screen_saver_tests() {
    local exe folder shown="" slot=2 attempt picture recoloured next grid_shot waiting
    exe=$(install Orvane.scr Orvane.scr)
    folder=$(dirname "$exe")
    # The program is held and let run in short steps until the waiting screen shows.
    start_program --stopped "$exe" /s
    if ! check "screen saver: the show starts at once" step_until_mapped 60; then
        release_program
        return
    fi
    if waiting=$(step_to_waiting_screen 100); then
        release_program
        pass "screen saver: waiting screen with one centred line of white text"
        check "screen saver: the waiting text shows its Japanese glyphs" \
            imgcheck waiting-text "$waiting" "$WAITING_TEXT" "${JAPANESE_FONTS[@]}"
        save_png "$waiting" waiting
    else
        release_program
        note "$waiting"
        fail "screen saver: waiting screen with one centred line of white text"
    fi

    raise_saver_screen
    check "screen saver: the show window is topmost and covers the screen" screen_window_on_top
    check "screen saver: the show window has the keyboard, not the dialog below it" \
        focus_on "$(screen_window)"

    check "screen saver: Orvane_1.bmp written beside the executable" \
        wait_for 60 bmp_complete "$folder/Orvane_1.bmp" "$BMP_SIZE"
    check "screen saver: Orvane_1.bmp has the 54 header bytes of a ${WIDTH}x${HEIGHT} picture" \
        imgcheck bmp-header "$folder/Orvane_1.bmp" "$WIDTH" "$HEIGHT"

    # Keys other than Esc and moving the mouse leave the show alone, even before any click
    # has activated the show window: no message box of the dialog below, which would also
    # swallow the next Esc. The pictures checked next show that the tour goes on.
    xdotool key a Return mousemove_relative 20 20

    # From the second zoom picture on the screen shows the picture, until the film of the next
    # transition; the outline of that transition may already be drawn over it (the image
    # checks allow for it). The screen must equal the file, and a middle click must recolour
    # it. A loaded machine can let the film begin before the screenshots, so up to three
    # pictures are tried.
    picture="$E2E_TMP/picture.ppm"
    recoloured="$E2E_TMP/recoloured.ppm"
    for attempt in 1 2 3; do
        slot=$(next_unsaved_slot "$folder" 2)
        shot_after_save "$folder" "Orvane_$slot.bmp" "$picture" || break
        xdotool click 2
        wait_for 5 screen_shows_recoloured "$picture"
        cp "$E2E_TMP/now.ppm" "$recoloured"
        shown=$(imgcheck same "$picture" "$folder/Orvane_$slot.bmp") &&
            imgcheck recoloured "$picture" "$recoloured" >/dev/null && break
        note "attempt $attempt, Orvane_$slot.bmp: $shown"
    done
    note "$shown"
    check "screen saver: the screen shows exactly the saved picture Orvane_$slot.bmp" \
        imgcheck same "$picture" "$folder/Orvane_$slot.bmp"
    save_png "$picture" picture
    check "screen saver: a middle click recolours the screen (B'=(R+64)%256, G'=(B+64)%256, R'=(G+64)%256)" \
        imgcheck recoloured "$picture" "$recoloured"
    check "screen saver: a letter, Enter and mouse movement brought up no message box" \
        window_gone '^Orvane$'

    # Right button held: the grid shows and the next picture gets its grid file too.
    next=$(next_unsaved_slot "$folder" "$((slot + 1))")
    grid_shot="$E2E_TMP/grid.ppm"
    xdotool mousedown 3
    check "screen saver: holding the right button changes the screen" \
        wait_for 10 screen_differs_from "$recoloured"
    if shot_after_save "$folder" "Orvane_${next}_g.bmp" "$grid_shot"; then
        xdotool mouseup 3
        wait_for 5 screen_shows "$folder/Orvane_$next.bmp"
        cp "$E2E_TMP/now.ppm" "$E2E_TMP/released.ppm"
        pass "screen saver: Orvane_${next}_g.bmp written while the right button is held"
        check "screen saver: Orvane_${next}_g.bmp has the 54 header bytes of a ${WIDTH}x${HEIGHT} picture" \
            imgcheck bmp-header "$folder/Orvane_${next}_g.bmp" "$WIDTH" "$HEIGHT"
        check "screen saver: the screen shows exactly the grid picture while the button is held" \
            imgcheck same "$grid_shot" "$folder/Orvane_${next}_g.bmp"
        check "screen saver: Orvane_${next}_g.bmp is Orvane_$next.bmp with grid lines over it" \
            imgcheck grid "$folder/Orvane_$next.bmp" "$folder/Orvane_${next}_g.bmp"
        check "screen saver: releasing the right button shows the picture again" \
            imgcheck same "$E2E_TMP/released.ppm" "$folder/Orvane_$next.bmp"
        save_png "$grid_shot" grid
    else
        xdotool mouseup 3
        fail "screen saver: Orvane_${next}_g.bmp written while the right button is held"
    fi
    check "screen saver: no grid file for the pictures saved without the right button" \
        no_file "$folder/Orvane_${slot}_g.bmp"
    check "screen saver: every saved picture has a correct header" \
        headers_of_saved_pictures "$folder"/Orvane_*.bmp

    xdotool key Escape
    check "screen saver: Esc ends the process with status 0" ends_with_status 20 0
}

screen_saver_click_test() {
    # The extension in capitals still means a screen saver.
    start_program "$(install Orvane.scr Orvane.SCR)" /S
    check "screen saver (.SCR): the show starts at once" wait_for 30 saver_mapped || return
    raise_saver_screen
    xdotool click 1
    check "screen saver: a left click ends the process with status 0" ends_with_status 20 0
}

# Folder names outside ASCII, and outside the ANSI code page: the pictures are saved all
# the same.
unicode_folder_test() {
    local folder="$E2E_TMP/日本語 José"
    mkdir -p "$folder"
    cp "$E2E_TMP/built/Orvane.scr" "$folder/"
    start_program "$folder/Orvane.scr" /s
    check "screen saver in a folder named 日本語 José: Orvane_1.bmp written beside it" \
        wait_for 60 bmp_complete "$folder/Orvane_1.bmp" "$BMP_SIZE"
    wait_for 30 saver_mapped && raise_saver_screen
    xdotool key Escape
    check "screen saver in a folder named 日本語 José: Esc ends it with status 0" \
        ends_with_status 20 0
}

# A save cut short leaves the older picture of its slot whole, and the next run clears the cut
# file away. A file-size limit stops the program the moment its file passes half a picture,
# as a kill (End Task, log-off) would.
kill_during_save_test() {
    local exe folder cut
    exe=$(install Orvane.scr Orvane.scr)
    folder=$(dirname "$exe")
    head -c "$BMP_SIZE" /dev/urandom >"$folder/Orvane_1.bmp"    # an earlier picture of slot 1
    cp "$folder/Orvane_1.bmp" "$folder/older"
    ulimit -S -f $((BMP_SIZE / 2 / 1024))    # for the program started now, not for this script
    start_program "$exe" /s
    ulimit -S -f unlimited
    check "kill during a save: the program is stopped in the middle of saving slot 1" \
        ends_with_status 60 $((128 + 25))    # SIGXFSZ
    check "kill during a save: the older Orvane_1.bmp is whole" \
        cmp "$folder/Orvane_1.bmp" "$folder/older"
    cut=$(find "$folder" -maxdepth 1 -name '.orvane-*.tmp' -printf '%p\n')
    note "cut short: ${cut:-nothing}"

    start_program "$exe" /s
    check "kill during a save: the next run saves slot 1 again" \
        wait_for 60 rewritten_from "$folder/older" "$folder/Orvane_1.bmp"
    check "kill during a save: the next run removed the cut file" cut_file_removed "$cut"
    wait_for 30 saver_mapped && raise_saver_screen
    xdotool key Escape
    ends_with_status 20 0 >/dev/null
}

cut_file_removed() { [[ -n "$1" ]] || { echo "no cut file was left"; return 1; }; no_file "$1"; }

# rewritten_from OLDER FILE: FILE is a whole picture other than OLDER.
rewritten_from() { bmp_complete "$2" "$BMP_SIZE" && ! cmp -s "$1" "$2"; }

ABOUT_TITLE='^Orvaneのﾊﾞｰｼﾞｮﾝ情報$'

# open_dialog [NAME [ARGUMENT...]]: starts the program under NAME (Orvane.exe unless given),
# with the arguments, and sets $dialog to the handle of its control dialog and $folder to the
# folder of the program.
open_dialog() {
    local exe
    exe=$(install Orvane.exe "${1:-Orvane.exe}")
    folder=$(dirname "$exe")
    start_program "$exe" "${@:2}"
    wait_for 30 control_dialog && dialog=$(control_dialog)
}

# bring_to_front WINDOW: what the task switcher does (there is none without a desktop shell).
bring_to_front() {
    probe activate "$1"
    wait_for 5 focus_on "$1"
}

dialog_tests() {
    local dialog folder box rect
    # Not through check: that runs its command in a subshell, which would lose the variables.
    if open_dialog; then pass "dialog: opens"; else fail "dialog: opens"; return; fi
    check "dialog: caption" window_field 6 '^#32770$' '^Orvane Version\.1\.0  \( Tesserium .* \)$'
    check "dialog: the start button" control_is "$dialog" 1000 "開始"
    check "dialog: the exit button" control_is "$dialog" 1002 "終了"
    check "dialog: \"10\" in the count box" control_is "$dialog" 1004 10
    check "dialog: the label and the three explanations" dialog_texts "$dialog"
    check "dialog: the start button has the focus" wait_for 10 focus_on "$dialog" 1000
    rect=$(window_field 5 '^#32770$' '^Orvane Version')
    screenshot "$E2E_TMP/dialog.ppm"
    save_png "$E2E_TMP/dialog.ppm" dialog "$(rect_geometry "$rect")"

    xdotool key Return
    check "dialog: Enter starts the show" wait_for 20 show_started || return
    check "dialog: the show window is topmost and covers the screen" screen_window_on_top
    check "dialog: the show window has the keyboard" wait_for 5 focus_on "$(screen_window)"

    bring_to_front "$dialog"
    xdotool key Return
    if wait_for 10 window_field 2 '^#32770$' '^Orvane$'; then
        box=$(window_field 2 '^#32770$' '^Orvane$')
        check "dialog: a second start shows 既に実行しています" has_text "$box" "既に実行しています"
        xdotool key Return
        wait_for 10 window_gone '^Orvane$'
    else
        fail "dialog: a second start shows 既に実行しています"
    fi
    check "dialog: the show goes on after the message (a new picture is saved)" \
        wait_for 30 bmp_complete "$folder/Orvane_$(next_unsaved_slot "$folder" 1).bmp" "$BMP_SIZE"

    bring_to_front "$(screen_window)"
    xdotool key Escape
    check "dialog: Esc on the show stops it and the program ends" ends_with_status 30
}

about_and_exit_tests() {
    local dialog folder about
    open_dialog || { fail "dialog: opens"; return; }
    wait_for 10 focus_on "$dialog"

    # Exit with no show running does nothing: the dialog then still opens the About box.
    click_control "$dialog" 1002
    xdotool key alt+space
    check "dialog: Alt+Space opens the system menu" wait_for 10 window_field 2 '^#32768$' '.*'
    screenshot "$E2E_TMP/menu.ppm"
    check "dialog: the system menu ends in a separator and one more entry" \
        imgcheck menu-ends-with-separator "$E2E_TMP/menu.ppm" \
        "$(rect_geometry "$(window_field 5 '^#32768$' '.*')")"
    xdotool key Up Return                         # the About entry is its last
    check "dialog: the About box opens from the system menu (after Exit with no show)" \
        wait_for 10 window_field 2 '^#32770$' "$ABOUT_TITLE"
    about=$(window_field 2 '^#32770$' "$ABOUT_TITLE")
    check "About box: its version text" has_text "$about" "Orvane Version 1.0"
    check "About box: its maker text" has_text "$about" "Tesserium .*"
    xdotool key Return
    check "About box: OK closes it" wait_for 10 window_gone "$ABOUT_TITLE"

    click_control "$dialog" 1000
    check "dialog: the start button starts the show" wait_for 20 show_started || return
    bring_to_front "$dialog"
    xdotool key Tab    # from the start button to the exit button
    wait_for 5 focus_on "$dialog" 1002
    xdotool key space
    check "dialog: the exit button stops a running show and the program ends" ends_with_status 30
}

# rewritten FOLDER SLOT: the slot's picture is saved again, over the copy kept in FOLDER/kept.
rewritten() {
    bmp_complete "$1/Orvane_$2.bmp" "$BMP_SIZE" && ! cmp -s "$1/Orvane_$2.bmp" "$1/kept"
}

# type_count TEXT: TEXT typed into the count box of the open dialog in place of its number.
type_count() {
    wait_for 10 focus_on "$dialog" 1000
    click_control "$dialog" 1004
    xdotool key End BackSpace BackSpace BackSpace type "$1"
    wait_for 5 control_is "$dialog" 1004 "$1" || { echo "the count box does not read $1"; return 1; }
}

# cycles_slots FOLDER SLOTS: the running show saves to slots 1 … SLOTS and then to slot 1
# again, never to SLOTS + 1.
cycles_slots() {
    wait_for 60 bmp_complete "$1/Orvane_$2.bmp" "$BMP_SIZE" || { echo "no Orvane_$2.bmp"; return 1; }
    cp "$1/Orvane_1.bmp" "$1/kept"
    wait_for 90 rewritten "$1" 1 || { echo "slot 1 was not saved again"; return 1; }
    no_file "$1/Orvane_$(($2 + 1)).bmp"
}

# saves_to_slots COUNT_TEXT SLOTS: with COUNT_TEXT typed into the count box of the open
# dialog, the pictures go to slots 1 … SLOTS and then to slot 1 again, never to SLOTS + 1.
saves_to_slots() {
    type_count "$1" || return 1
    click_control "$dialog" 1000
    cycles_slots "$folder" "$2"
}

# The count the dialog keeps for the user, gone: every dialog opens with "10" again.
forget_settings() { "$E2E_WINE" reg delete 'HKCU\Software\Orvane' /f >/dev/null 2>&1; }

# slots_cycle COUNT_TEXT SLOTS: saves_to_slots in a dialog of its own, which ends with it.
slots_cycle() {
    local dialog folder status=0
    open_dialog || { echo "the dialog did not open"; return 1; }
    saves_to_slots "$@" || status=1
    bring_to_front "$(screen_window)"
    xdotool key Escape
    ends_with_status 30 >/dev/null || status=1
    return $status
}

# show_from_dialog: opens the dialog and starts the show with Enter; sets $dialog and $folder.
show_from_dialog() {
    open_dialog || { fail "dialog: opens"; return 1; }
    wait_for 10 focus_on "$dialog" 1000
    xdotool key Return
    wait_for 20 show_started || { fail "dialog: Enter starts the show"; return 1; }
}

# Closing the dialog, Esc in it and Alt+F4 on the show: each stops a running show and ends
# the program.
stop_keys_tests() {
    local dialog folder
    if show_from_dialog; then
        bring_to_front "$dialog"
        xdotool key alt+F4
        check "dialog: closing it (Alt+F4) stops a running show and the program ends" \
            ends_with_status 30
    fi
    if show_from_dialog; then
        bring_to_front "$dialog"
        xdotool key Escape
        check "dialog: Esc in the dialog stops a running show and the program ends" \
            ends_with_status 30
    fi
    if show_from_dialog; then
        wait_for 5 focus_on "$(screen_window)"
        xdotool key alt+F4
        check "show: Alt+F4 on the show stops it and the program ends" ends_with_status 30
    fi
}

# control_is WINDOW ID TEXT: the control's text is TEXT.
control_is() {
    local text
    text=$(control_text "$1" "$2")
    [[ "$text" == "$3" ]] || { echo "control $2 reads \"$text\""; return 1; }
}

# has_text WINDOW PATTERN: one of the window's controls reads PATTERN (a whole-line regex).
has_text() { probe controls "$1" | cut -f 6 | grep -qx -- "$2"; }

dialog_texts() {
    local texts
    texts=$(probe controls "$1" | awk -F'\t' '$4 == "Static" { print $6 }')
    local expected=(
        "画像保存最大枚数"
        "マンデルブロー集合とは、Zn+1=Zn^2+C として、Zが発散しないCの領域です。この時、発散の度合いに応じて色分けをすると、よく見るマンデルブロー集合の図になります。"
        "ところが、次のZを計算する際に、Zの虚部だけ絶対値を取ると、複素平面上の大方はフラクタル(概ね右側)かカオス(概ね左側)になりますが、このちょうど境目あたりを拡大すると信じられないほどバライエティ豊かな図形が見えてきます。"
    )
    local text status=0
    for text in "${expected[@]}"; do
        grep -qxF -- "$text" <<<"$texts" || { echo "missing: $text"; status=1; }
    done
    local third="その様子はまさに顕微鏡で覗いた細胞か微生物ウジャウジャの世界。マンデルブロー集合には生物が潜んでいたのです!  ("
    grep -qF -- "$third" <<<"$texts" || { echo "missing: $third…"; status=1; }
    return $status
}

# focus_on WINDOW [ID]: WINDOW is the foreground window, and the keyboard focus lies in its
# control ID when one is given.
focus_on() {
    local foreground focus id
    IFS=$'\t' read -r foreground focus id < <(probe focus)
    [[ "$foreground" == "$1" && ( -z "${2:-}" || "$id" == "$2" ) ]]
}

# rect_geometry L,T,R,B: the same rectangle as ImageMagick's WxH+X+Y.
rect_geometry() {
    local l t r b
    IFS=, read -r l t r b <<<"$1"
    echo "$((r - l))x$((b - t))+$l+$t"
}

# click_control WINDOW ID: a left click in the middle of a control.
click_control() {
    local rect l t r b
    rect=$(probe controls "$1" | awk -F'\t' -v id="$2" '$1 == id { print $5; exit }')
    IFS=, read -r l t r b <<<"$rect"
    xdotool mousemove $(((l + r) / 2)) $(((t + b) / 2)) click 1
}

count_box_tests() {
    check "dialog: a count of 2 saves to slots 1, 2, 1" slots_cycle 2 2
    check "dialog: a count of abc saves to slot 1 only" slots_cycle abc 1
    forget_settings
}

# --- what Windows asks of a screen saver ----------------------------------------------------

# Configure (no argument) and Settings (/c) open the dialog of a screen saver, which waits;
# the count chosen there is kept for the user and used by the show Windows starts (/s). A
# stored value that is no 32-bit number is ignored.
settings_tests() {
    local dialog folder
    forget_settings
    if open_dialog Orvane.scr; then
        pass "screen saver without arguments: the control dialog opens"
    else
        fail "screen saver without arguments: the control dialog opens"
        return
    fi
    check "screen saver without arguments: no show starts" no_window '^Orvane:' '^$'
    check "screen saver without arguments: the count box reads 10" control_is "$dialog" 1004 10
    type_count 1
    xdotool key Escape
    check "screen saver without arguments: Esc closes the dialog" ends_with_status 20

    if open_dialog Orvane.scr /c:65538; then
        pass "screen saver /c: the control dialog opens"
        check "screen saver /c: no show starts" no_window '^Orvane:' '^$'
        check "screen saver /c: the count chosen before is back" control_is "$dialog" 1004 1
        xdotool key Escape
        ends_with_status 20 >/dev/null
    else
        fail "screen saver /c: the control dialog opens"
    fi

    start_program "$folder/Orvane.scr" /s
    check "screen saver /s: the count stored in the settings keeps every picture in slot 1" \
        cycles_slots "$folder" 1
    wait_for 30 saver_mapped && raise_saver_screen
    xdotool key Escape
    ends_with_status 20 0 >/dev/null

    "$E2E_WINE" reg add 'HKCU\Software\Orvane' /v MaxImages /t REG_SZ /d 5 /f >/dev/null 2>&1
    if open_dialog Orvane.exe; then
        check "dialog: a stored count that is not a number is ignored (10)" \
            control_is "$dialog" 1004 10
        xdotool key Escape
        ends_with_status 20 >/dev/null
    fi
    forget_settings
}

# no_window CLASS TITLE: no visible top-level window whose class and title match the patterns.
no_window() { ! window_field 2 "$1" "$2" >/dev/null; }

no_full_screen_window() {
    ! visible_windows | awk -F'\t' -v r="0,0,$WIDTH,$HEIGHT" '$5 == r { print; found = 1 }
                                                            END { exit !found }'
}

# host_report PATTERN: the line of the preview host's report that matches PATTERN.
host_report() { tr -d '\r' <"$E2E_TMP/host.out" | grep -a -m 1 -- "$1"; }

# preview_fills SCREEN RECT: the host's small screen holds one window of the program, as large
# as the screen.
preview_fills() {
    local children
    children=$(probe controls "$1")
    echo "$children"
    [[ $(wc -l <<<"$children") -eq 1 ]] && awk -F'\t' -v r="$2" '$4 ~ /^Orvane:/ && $5 == r' \
        <<<"$children" | grep -q .
}

no_pictures() {
    local found
    found=$(find "$@" -name 'Orvane_*.bmp' 2>/dev/null)
    [[ -z "$found" ]] || { echo "saved: $found"; return 1; }
}

# The preview of the Screen Saver Settings dialog: a window of another program with a
# 152 × 112 screen, whose handle the saver gets with /p. (Wine shows nothing that one process
# draws into another's window; tests/windows/preview_window_test.cpp checks the picture.)
preview_tests() {
    local exe folder pictures screen rect host
    exe=$(install Orvane.scr Orvane.scr)
    folder=$(dirname "$exe")
    pictures=$(windows_path_to_unix "$(probe pictures)")
    start_program "$exe" /a 65538
    check "screen saver /a: ends at once with status 0" ends_with_status 20 0
    start_program "$exe" /p 424242
    check "screen saver /p with a handle that is no window: ends at once with status 0" \
        ends_with_status 20 0

    ( "$E2E_WINE" "$E2E_TMP/saver_host.exe" "$("$E2E_WINE" winepath -w "$exe")" \
          >"$E2E_TMP/host.out" 2>&1 </dev/null
      echo $? >"$E2E_TMP/host.status" ) &
    if ! wait_for 30 host_report '^process '; then
        fail "preview: the host runs the saver with /p"
        return
    fi
    read -r _ screen rect <<<"$(host_report '^child ')"
    host=$(window_field 2 '^SaverHost$' '.')
    check "preview: one window of the saver fills the host's 152x112 screen" \
        wait_for 20 preview_fills "$screen" "$rect"
    # As long as the show takes for its first picture.
    sleep 5
    check "preview: no window of the saver at the top level (nothing covers the screen)" \
        no_window '^(Orvane:|#32770$)' '.*'
    check "preview: no window covers the screen" no_full_screen_window
    check "preview: no picture saved" no_pictures "$folder" "$pictures"
    probe close "$host"
    wait_for 20 test -s "$E2E_TMP/host.status"
    note "$(host_report '^ended\|^still')"
    check "preview: the saver ends within one second of the host's window, with status 0" \
        host_report '^ended after [0-9]* ms with status 0$'
}

# escape_show: Esc on the running screen saver's show; it ends with status 0.
escape_show() {
    wait_for 30 saver_mapped && raise_saver_screen
    xdotool key Escape
    ends_with_status 20 0
}

set_log_pixels() {
    "$E2E_WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f \
        >/dev/null 2>&1
}

# At 150 % (144 DPI) the show covers the screen pixel for pixel and saves pictures of the
# screen's real size; only its texts grow.
high_dpi_tests() {
    local folder
    set_log_pixels 144
    folder=$(dirname "$(install Orvane.scr Orvane.scr)")
    start_program "$folder/Orvane.scr" /s
    check "144 DPI: the show window is the screen's size in pixels" wait_for 30 show_started
    check "144 DPI: Orvane_1.bmp has the screen's size, ${WIDTH}x${HEIGHT}" \
        eval 'wait_for 60 bmp_complete "$folder/Orvane_1.bmp" "$BMP_SIZE" &&
              imgcheck bmp-header "$folder/Orvane_1.bmp" "$WIDTH" "$HEIGHT"'
    check "144 DPI: Esc ends the show with status 0" escape_show
    set_log_pixels 96
}

# save_program_state, restore_program_state: the program that start_program started last, kept
# aside while another one runs.
save_program_state() { E2E_KEPT="$E2E_STATUS_FILE $E2E_PID_FILE"; }
restore_program_state() { read -r E2E_STATUS_FILE E2E_PID_FILE <<<"$E2E_KEPT"; }

shows_of_the_program() { visible_windows | awk -F'\t' '$4 ~ /^Orvane:/ && $6 == ""' | wc -l; }

# One show at a time in the session: a second screen saver ends unseen, and opening the
# program again brings the running show's dialog forward instead of opening another.
single_show_tests() {
    local folder
    folder=$(dirname "$(install Orvane.scr Orvane.scr)")
    start_program "$folder/Orvane.scr" /s
    if ! wait_for 60 bmp_complete "$folder/Orvane_1.bmp" "$BMP_SIZE"; then
        fail "one show: the first screen saver saves Orvane_1.bmp"
        return
    fi
    save_program_state
    start_program "$folder/Orvane.scr" /s
    check "one show: a second screen saver (/s) ends at once with status 0" ends_with_status 20 0
    start_program "$(install Orvane.exe Orvane.exe)"
    check "one show: opening the program again ends it at once with status 0" \
        ends_with_status 20 0
    restore_program_state
    check "one show: only the first show's window, topmost over the whole screen" \
        eval '[[ $(shows_of_the_program) -eq 1 ]] && screen_window_on_top'
    check "one show: only one control dialog" \
        eval '[[ $(visible_windows | grep -c "Orvane Version") -eq 1 ]]'
    check "one show: the first show still takes Esc and ends with status 0" escape_show
}

# A program folder the user cannot write sends the pictures to Pictures\Orvane; where neither
# takes them, the dialog says so once when the show has ended.
pictures_folder_tests() {
    local folder pictures dialog box
    pictures="$(windows_path_to_unix "$(probe pictures)")/Orvane"
    folder=$(dirname "$(install Orvane.scr Orvane.scr)")
    if ! read_only "$folder"; then
        fail "read-only program folder: made read-only"
        return
    fi
    start_program "$folder/Orvane.scr" /s
    check "read-only program folder: Orvane_1.bmp is saved in Pictures\\Orvane" \
        wait_for 60 bmp_complete "$pictures/Orvane_1.bmp" "$BMP_SIZE"
    check "read-only program folder: nothing is saved beside the program" no_pictures "$folder"
    check "read-only program folder: Esc ends the show with status 0" escape_show

    rm -f "$pictures"/Orvane_*.bmp
    read_only "$pictures"
    folder=$(dirname "$(install Orvane.exe Orvane.exe)")
    read_only "$folder"
    start_program "$folder/Orvane.exe"
    wait_for 30 control_dialog && dialog=$(control_dialog)
    wait_for 10 focus_on "$dialog" 1000
    xdotool key Return
    if wait_for 20 show_started; then
        bring_to_front "$(screen_window)"
        xdotool key Escape
        if wait_for 20 window_field 2 '^#32770$' '^Orvane$'; then
            box=$(window_field 2 '^#32770$' '^Orvane$')
            check "nowhere to save: the dialog says so when the show ends, and why" \
                has_text "$box" "画像を保存できませんでした。 .*書き込みが許可されていません"
            xdotool key Return
        else
            fail "nowhere to save: the dialog says so when the show ends, and why"
        fi
    else
        fail "nowhere to save: the show starts all the same"
    fi
    check "nowhere to save: the program then ends" ends_with_status 30
    writable_again "$pictures"
    writable_again "$folder"
}

# right_monitor_black: the second monitor's part of the screen is black throughout.
right_monitor_black() {
    local colours
    screenshot "$E2E_TMP/two.ppm"
    colours=$("$E2E_CONVERT" "$E2E_TMP/two.ppm" -crop "${WIDTH}x${HEIGHT}+${WIDTH}+0" +repage -unique-colors \
              -depth 8 txt:- | tail -n +2)
    echo "$colours" | head -n 3
    [[ $(wc -l <<<"$colours") -eq 1 && "$colours" == *"#000000"* ]]
}

two_monitors_seen() {
    [[ "$(probe monitors | tr '\n' ' ')" == "0,0,$WIDTH,$HEIGHT $WIDTH,0,$((2 * WIDTH)),$HEIGHT " ]]
}

# Two monitors side by side (Xorg's dummy driver: Wine sees no monitors of Xvfb's), the
# desktop white: the show covers the primary one, a black window the other, for the life of
# the show. A click on the black one ends the show. Runs last: Wine moves to that display.
two_monitor_tests() {
    local display=$DISPLAY folder
    if ! start_two_monitor_display; then
        fail "two monitors: an X server with two monitors (Xorg's dummy driver)"
        return
    fi
    wineserver -k
    timeout 20 wineserver -w
    export DISPLAY=$E2E_XORG_DISPLAY
    xsetroot -solid white
    folder=$(dirname "$(install Orvane.scr Orvane.scr)")
    if check "two monitors: Wine sees two monitors side by side" wait_for 30 two_monitors_seen &&
       start_program "$folder/Orvane.scr" /s &&
       wait_for 30 show_started; then
        check "two monitors: the second monitor is black during the show" \
            wait_for 20 right_monitor_black
        xdotool mousemove $((WIDTH + WIDTH / 2)) $((HEIGHT / 2)) click 1
        check "two monitors: a click on the second one ends the show with status 0" \
            ends_with_status 20 0
    else
        fail "two monitors: the show starts"
    fi
    wineserver -k
    timeout 20 wineserver -w
    export DISPLAY=$display
}

TEST_GROUPS=(win32_unit_tests screen_saver_tests screen_saver_click_test dialog_tests
        about_and_exit_tests stop_keys_tests count_box_tests unicode_folder_test settings_tests
        preview_tests high_dpi_tests single_show_tests pictures_folder_tests two_monitor_tests
        kill_during_save_test)

check "image checks: they reject faulty pictures (self-test)" \
    python3 "$E2E_SHARED/imgcheck_test.py" -q
setup
note "display $DISPLAY, $arch-bit prefix $WINEPREFIX, program $build"
for group in "${TEST_GROUPS[@]}"; do
    [[ -z "$only" || " $only " == *" $group "* ]] && "$group"
done
summary
