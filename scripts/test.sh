#!/usr/bin/env bash
# Installs what the project needs, builds it and runs every test: the Debian package is built,
# installed, run and removed again, each fuzz target runs for a short while, then CTest runs
# the test executables.
. "$(dirname "$0")/common.sh"
install_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
build
./scripts/package-check.sh build
./scripts/fuzz.sh 25
cd build
ctest --output-on-failure --timeout 900 -j2
