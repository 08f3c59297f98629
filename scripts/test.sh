#!/usr/bin/env bash
# Installs what the project needs (only the packages that are missing), builds it with its
# tests and benchmarks and runs every test: the Debian package is built, checked with lintian,
# installed, run and removed again; each fuzz target runs for a short while; then CTest runs
# the test executables (it fails when it finds none).
#
# It changes the machine (run it as root on a machine for tests): the packages below are
# installed, the locale de_DE.UTF-8 is generated, the korvex-brevant package is installed
# and purged again, and while the tests run they create and delete two accounts and a group
# ("brv<number>a", "brv<number>b", "brv<number>g"), mount tmpfs and FUSE file systems in
# temporary folders and start Samba and SFTP servers on free ports of 127.0.0.1, all stopped
# and removed at their end. The kernel share tests download Debian's kernel package into
# build/vm (it is unpacked there, never installed) and boot it in QEMU.
. "$(dirname "$0")/common.sh"
install_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    as_root localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
build -DBREVANT_BUILD_TESTS=ON -DBREVANT_BUILD_BENCH=ON
./scripts/package-check.sh build
./scripts/fuzz.sh 25
cd build
ctest --output-on-failure --timeout 900 --no-tests=error -j2
