#!/bin/bash
# Runs a command inside a small virtual machine that has the kernel's NFS server and client
# and its SMB client, which this machine's kernel may lack: Debian's own kernel, taken out of
# its package (downloaded, never installed), boots in QEMU with this machine's root shared
# read-only over 9p under a tmpfs overlay, so the built programs and tests run there as they
# are. In the guest, loopback/vm/guest.sh starts an NFS server and Samba on loopback and runs
# the command as root.
#
#   kernel-vm.sh WORKDIR SECONDS COMMAND [ARGUMENT...]
#
# WORKDIR keeps the kernel between runs; SECONDS bounds the whole run. The command's output
# is printed and its exit status returned; 77 (with a line "kernel-vm: skipped: ...") when
# the machine cannot be started here. KVM is used where it boots, else QEMU's TCG; the line
# "kernel-vm: accelerator ..." says which ran.
set -u
here=$(cd "$(dirname "$0")" && pwd)
work=${1:?work folder}
budget=${2:?seconds}
shift 2
start=$(date +%s)
left() { echo $((budget - ($(date +%s) - start))); }
say() { echo "kernel-vm: $*"; }
skip() {
    say "skipped: $*"
    exit 77
}

for tool in qemu-system-x86_64 busybox cpio modprobe depmod apt-get dpkg-deb; do
    command -v "$tool" >/dev/null || [ -x /bin/$tool ] || skip "$tool is missing"
done
mkdir -p "$work/cache" "$work/out" || skip "cannot write $work"
work=$(cd "$work" && pwd)

# The kernel: the package linux-image-amd64 names, downloaded once and unpacked.
package=$(apt-cache depends linux-image-amd64 2>/dev/null |
    awk '/Depends: linux-image-[0-9].*-amd64$/ {print $2; exit}')
[ -n "$package" ] || skip "apt knows no linux-image-amd64 (run apt-get update)"
version=${package#linux-image-}
if ! ls "$work/cache/${package}"_*.deb >/dev/null 2>&1; then
    (cd "$work/cache" && timeout 300 apt-get download "$package" >/dev/null 2>&1) ||
        skip "the kernel package $package could not be downloaded"
fi
if [ ! -e "$work/kernel/boot/vmlinuz-$version" ]; then
    rm -rf "$work/kernel"
    dpkg-deb -x "$work/cache/${package}"_*.deb "$work/kernel" || skip "$package could not be unpacked"
fi
[ -e "$work/kernel/lib/modules/$version/modules.dep" ] ||
    depmod -b "$work/kernel" "$version" || skip "depmod failed"

# The initramfs: busybox, the init, and the modules for virtio, 9p and the overlay.
initramfs=$work/initramfs
rm -rf "$initramfs"
mkdir -p "$initramfs/bin" "$initramfs/modules"
cp "$(command -v busybox || echo /bin/busybox)" "$initramfs/bin/busybox"
cp "$here/init" "$initramfs/init"
chmod 755 "$initramfs/init"
for module in virtio_pci 9pnet_virtio 9p overlay; do
    modprobe -d "$work/kernel" -S "$version" --show-depends "$module" | awk '$1 == "insmod" {print $2}'
done | awk '!seen[$0]++' | while read -r file; do
    cp "$file" "$initramfs/modules/"
    basename "$file" >>"$initramfs/modules/order"
done
(cd "$initramfs" && find . | cpio -o -H newc --quiet | gzip -1) >"$work/initramfs.cpio.gz" ||
    skip "the initramfs could not be made"

# What the guest runs, and where it leaves its output and status.
out=$work/out
rm -f "$out/output" "$out/status"
{
    printf 'cd %q\n' "$PWD"
    printf '%q ' "$@"
    echo
} >"$out/command"

run_guest() { # accelerator options, seconds; sets guest (the process) and log
    log=$out/serial.log
    : >"$log"
    timeout -k 5 "$2" qemu-system-x86_64 $1 -m 2048 -smp 2 -nographic -no-reboot \
        -kernel "$work/kernel/boot/vmlinuz-$version" -initrd "$work/initramfs.cpio.gz" \
        -append "console=ttyS0 panic=-1 quiet kvm.kernel=$work/kernel kvm.guest=$here/guest.sh kvm.out=$out kvm.watchdog=$(($2 - 15))" \
        -virtfs local,path=/,mount_tag=host,security_model=none,readonly=on,multidevs=remap \
        -virtfs "local,path=$out,mount_tag=out,security_model=none" \
        -nic none </dev/null >"$log" 2>&1 &
    guest=$!
}
printed() { # pattern, seconds: 0 once the serial log shows it
    local until=$(($(date +%s) + $2))
    while [ "$(date +%s)" -lt "$until" ]; do
        grep -qa -- "$1" "$log" && return 0
        kill -0 "$guest" 2>/dev/null || { grep -qa -- "$1" "$log"; return; }
        sleep 0.5
    done
    return 1
}

accelerator=tcg
if [ -r /dev/kvm ] && [ -w /dev/kvm ]; then
    # A nested KVM may crawl through the kernel's decompression: given 15 s to start it.
    run_guest "-enable-kvm -cpu host" "$(left)"
    if printed "kernel-vm-init" 15; then
        accelerator=kvm
    else
        kill "$guest" 2>/dev/null
        wait "$guest" 2>/dev/null
    fi
fi
[ "$accelerator" = tcg ] && run_guest "-accel tcg -cpu max" "$(left)"
say "accelerator $accelerator"
printed "kernel-vm-init" 60 || skip "the guest did not start (see $log)"
wait "$guest"
[ -e "$out/output" ] && cat "$out/output"
if [ ! -s "$out/status" ]; then
    say "the guest ended without a status; its console:"
    tail -40 "$log"
    exit 1
fi
say "guest ran $(($(date +%s) - start)) s"
exit "$(cat "$out/status")"
