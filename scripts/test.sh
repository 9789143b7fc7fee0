#!/usr/bin/env bash
# Builds everything and runs every test; the last line sums them up as
# "N passed, N failed, N skipped". Exits non-zero when a build or a test failed.
#
# The Windows program is built for 32-bit and 64-bit Windows and run under Wine on a virtual
# display. Debian's Wine runs 32-bit Windows programs only as 32-bit Linux processes: where
# this machine cannot run those, the 32-bit program's checks are counted as skipped.
set -uo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --windows || exit 1

passed=0 failed=0 skipped=0
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

# count LOG: adds the counts of every closing line in the log (ours, or CTest's) to the totals
# and sets LAST_TOTAL to the number of checks they name.
count() {
    local line p f s
    LAST_TOTAL=0
    while read -r line; do
        if [[ $line =~ ^([0-9]+)\ passed,\ ([0-9]+)\ failed(,\ ([0-9]+)\ skipped)? ]]; then
            p=${BASH_REMATCH[1]} f=${BASH_REMATCH[2]} s=${BASH_REMATCH[4]:-0}
        elif [[ $line =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
            f=${BASH_REMATCH[1]} s=0
            p=$((BASH_REMATCH[2] - f))
        else
            continue
        fi
        passed=$((passed + p)) failed=$((failed + f)) skipped=$((skipped + s))
        LAST_TOTAL=$((LAST_TOTAL + p + f + s))
    done < <(grep -a -E '^[0-9]+ passed, [0-9]+ failed|tests passed, [0-9]+ tests failed out of' "$1")
}

# suite NAME COMMAND...: runs one suite, shows its output and counts its closing lines; a suite
# that fails without counting a failure (a build, say) counts as one.
suite() {
    local name=$1 log="$logs/$1.log" before=$failed status
    shift
    echo "== $name"
    "$@" 2>&1 | tee "$log"
    status=${PIPESTATUS[0]}
    count "$log"
    if [[ $status -ne 0 && $failed -eq $before ]]; then
        echo "== $name failed (status $status)"
        failed=$((failed + 1))
    fi
}

# Release, ASan+UBSan and TSan builds of the native tests.
suite native scripts/test-native.sh
suite x11 timeout 600 tests/x11/run-x11.sh --build build    # the Linux show on a virtual display
echo "== Windows programs"
for preset in windows windows64; do
    if ! { cmake --preset "$preset" >/dev/null &&
           cmake --build --preset "$preset" -j "$(nproc)"; }; then
        echo "the $preset build failed"
        failed=$((failed + 1))
    fi
done
suite wine64 tests/wine/run-e2e.sh --arch 64
checks_per_program=$LAST_TOTAL
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
    suite wine32 tests/wine/run-e2e.sh --arch 32
else
    echo "== wine32: this machine cannot run 32-bit programs; the 32-bit program's" \
         "$checks_per_program checks are skipped"
    skipped=$((skipped + checks_per_program))
fi

# The release packages, made by scripts/package.sh from the builds above and checked where
# the set-up installed what they are made and checked with.
if command -v makensis >/dev/null && command -v lintian >/dev/null &&
   command -v debootstrap >/dev/null; then
    suite packaging timeout 900 sh -c 'rm -rf build-package/test-dist &&
        scripts/package.sh --native-build build --dist build-package/test-dist &&
        tests/packaging/run-packaging.sh --dist build-package/test-dist'
else
    echo "== packaging: makensis, lintian or debootstrap is missing; the packages are not checked"
fi

echo "$passed passed, $failed failed, $skipped skipped"
[[ $failed -eq 0 ]]
