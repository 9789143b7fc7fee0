# What the end-to-end suites of both shows share: the check counters, waiting for a
# condition, a virtual display of their own, and the screenshot comparisons of imgcheck.py.
# Sourced by tests/wine/run-e2e.sh and tests/x11/run-x11.sh; E2E_TMP is the suite's folder.

E2E_PASSED=0
E2E_FAILED=0
E2E_SHARED=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# --- checks -------------------------------------------------------------------------------

pass() { echo "ok - $1"; E2E_PASSED=$((E2E_PASSED + 1)); }
fail() { echo "not ok - $1"; E2E_FAILED=$((E2E_FAILED + 1)); }
note() { echo "# $*"; }

# check NAME COMMAND...: one check, passed when COMMAND succeeds; its output goes to the log.
check() {
    local name=$1 output status
    shift
    output=$("$@" 2>&1)
    status=$?
    [[ -n "$output" ]] && note "$output"
    if [[ $status -eq 0 ]]; then pass "$name"; else fail "$name"; fi
    return $status
}

summary() {
    echo "$E2E_PASSED passed, $E2E_FAILED failed"
    [[ $E2E_FAILED -eq 0 ]]
}

# wait_for SECONDS COMMAND...: polls COMMAND until it succeeds; fails when time runs out.
wait_for() {
    local deadline=$(( $(date +%s%N) + $1 * 1000000000 ))
    shift
    until "$@" >/dev/null 2>&1; do
        (( $(date +%s%N) > deadline )) && return 1
        sleep 0.05
    done
}

# start_display GEOMETRY: an Xvfb on a free display number; sets DISPLAY.
start_display() {
    local number_file="$E2E_TMP/display"
    Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp 3>"$number_file" >"$E2E_TMP/xvfb.log" 2>&1 &
    E2E_XVFB_PID=$!
    wait_for 20 test -s "$number_file" || return 1
    export DISPLAY=":$(cat "$number_file")"
}

imgcheck() { python3 "$E2E_SHARED/imgcheck.py" "$@"; }
