# Shared by the start and test scripts: Debian packages and the build.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

# What the program needs to build and run (the Qt catalogues and lrelease for its German).
BUILD_PACKAGES=(g++ cmake pkgconf qt6-base-dev libxlsxwriter-dev qt6-l10n-tools
    qt6-translations-l10n)
# What the tests need besides: workbook checks, a real X server, fuzzing, coverage, network
# shares on loopback, the kernel VM for NFS and the kernel's SMB client (its kernel is
# downloaded, never installed; iproute2 delays its loopback for bench_share), the Debian
# package's tools, and another locale.
TEST_PACKAGES=(python3-openpyxl xvfb xauth xdotool imagemagick clang libclang-rt-14-dev gcovr
    samba smbnetfs sshfs socat openssh-sftp-server qemu-system-x86 busybox-static cpio kmod
    nfs-kernel-server rpcbind nfs-common cifs-utils dpkg-dev lintian appstream locales
    util-linux iproute2)

# What a developer's load run adds (scripts/test-under-load.sh).
LOAD_PACKAGES=(stress-ng)

as_root() {
    if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

# The packages that are not installed yet.
missing_packages() {
    local package
    for package in "$@"; do
        dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null | grep -q '^install ok installed$' ||
            echo "$package"
    done
}

# Installs what is missing: no apt (and no root) when everything is there.
install_packages() {
    local missing
    mapfile -t missing < <(missing_packages "$@")
    [ ${#missing[@]} -gt 0 ] || return 0
    as_root apt-get update
    DEBIAN_FRONTEND=noninteractive as_root apt-get install -y "${missing[@]}"
}

# Builds into build/ with the options given, set every time, so the folder's earlier state
# (another script's options) never decides.
build() {
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
    cmake --build build -j2
}
