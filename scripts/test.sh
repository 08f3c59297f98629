#!/usr/bin/env bash
# Installs what the project needs, builds it and runs every test.
. "$(dirname "$0")/common.sh"
install_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
build
cd build
ctest --output-on-failure --timeout 900 -j2
