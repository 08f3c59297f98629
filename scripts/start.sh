#!/usr/bin/env bash
# Installs what the program needs (only what is missing, so a later start needs neither root
# nor the network), builds it and starts it. When the document server has no registered
# project yet, a sample project is written and registered first.
. "$(dirname "$0")/common.sh"
install_packages "${BUILD_PACKAGES[@]}"
build -DBREVANT_BUILD_TESTS=OFF -DBREVANT_BUILD_BENCH=OFF
if [ -z "$(build/bin/scrivo projects)" ]; then
    build/bin/scrivo sample "$HOME/korvex-sample"
fi
build/bin/scrivo projects
exec build/bin/korvex-brevant
