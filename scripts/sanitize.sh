#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer (BREVANT_SANITIZE)
# in build-asan and runs the whole test suite there. Any sanitizer report fails its test.
. "$(dirname "$0")/common.sh"
install_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBREVANT_SANITIZE=ON \
    -DBREVANT_BUILD_BENCH=OFF
cmake --build build-asan -j2
cd build-asan
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/../scripts/lsan-suppressions.txt:print_suppressions=0
ctest --output-on-failure --timeout 1800 -j2
