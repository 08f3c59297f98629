#!/usr/bin/env bash
# Builds everything with coverage counters in build-coverage, runs the whole test suite there
# and prints the line and branch coverage of src/ (gcovr; branches that only throw or can
# never be taken are left out).
. "$(dirname "$0")/common.sh"
install_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
cmake -S . -B build-coverage -DCMAKE_BUILD_TYPE=Debug -DBREVANT_COVERAGE=ON \
    -DBREVANT_BUILD_BENCH=OFF
cmake --build build-coverage -j2
# The users tests run the programs as other accounts, each with its own umask: every counter
# file starts empty and writable by all, so whichever process ends first does not lock the
# others out (the runtime fills an empty file and keeps its mode).
find build-coverage -name '*.gcda' -delete
find build-coverage -name '*.gcno' -exec sh -c 'for n; do : >"${n%.gcno}.gcda"; done' sh {} +
find build-coverage -name '*.gcda' -exec chmod a+rw {} +
find build-coverage -type d -exec chmod a+rwx {} +
(cd build-coverage && ctest --output-on-failure --timeout 1800 -j2) || status=$?
gcovr --root . --filter 'src/' --exclude-throw-branches --exclude-unreachable-branches \
    --print-summary --txt build-coverage/coverage.txt build-coverage >/dev/null
gcovr --root . --filter 'src/' --exclude-throw-branches --exclude-unreachable-branches \
    --print-summary build-coverage | tail -n 3
exit "${status:-0}"
