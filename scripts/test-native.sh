#!/usr/bin/env bash
# Builds the native tests three ways and runs them in each: the release build (everything),
# then AddressSanitizer with UndefinedBehaviorSanitizer, then ThreadSanitizer (the test
# programs alone, which keeps the sanitizer builds short). Any sanitizer report fails its test.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="$(nproc)"

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

# ThreadSanitizer maps its shadow at fixed addresses, which a kernel's wider address
# randomisation can collide with: the sanitized tests run without it where that is allowed.
norandom=()
if setarch "$(uname -m)" -R true 2>/dev/null; then
    norandom=(setarch "$(uname -m)" -R)
fi

sanitized() {
    local dir="$1" flags="-fsanitize=$2"
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_CXX_FLAGS="-g -fno-omit-frame-pointer $flags" \
        -DCMAKE_EXE_LINKER_FLAGS="$flags" \
        -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST
    cmake --build "$dir" -j "$jobs" --target orvane_all_tests
    "${norandom[@]}" ctest --test-dir "$dir" --output-on-failure -j "$jobs"
}

export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1"
export TSAN_OPTIONS="halt_on_error=1:suppressions=$PWD/tests/tsan.supp"
sanitized build-asan "address,undefined,float-divide-by-zero -fno-sanitize-recover=all"
sanitized build-tsan thread
