# Shared by the start and test scripts: Debian packages and the build.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

BUILD_PACKAGES=(g++ cmake pkgconf qt6-base-dev libxlsxwriter-dev)
TEST_PACKAGES=(python3-openpyxl xvfb xauth xdotool imagemagick clang libclang-rt-14-dev gcovr
    samba smbnetfs sshfs socat openssh-sftp-server)

as_root() {
    if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

install_packages() {
    as_root apt-get update
    DEBIAN_FRONTEND=noninteractive as_root apt-get install -y "$@"
}

build() {
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
    cmake --build build -j2
}
