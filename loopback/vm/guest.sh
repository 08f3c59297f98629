#!/bin/sh
# Runs in the guest as root (see kernel-vm.sh): starts the kernel's NFS server (an export
# for NFSv3, the same folder as the NFSv4 root) and Samba, each on loopback and serving a
# tmpfs, then the command in OUT/command; its output goes to OUT/output, its exit status to
# OUT/status. The share fixture (loopback/shares) finds the servers through the variables
# BREVANT_NFS_EXPORT, BREVANT_SMB_EXPORT and BREVANT_SMB_OPTIONS.
#
#   guest.sh KERNEL OUT
kernel=$1
out=$2
export PATH=/usr/sbin:/usr/bin:/sbin:/bin
exec >"$out/output" 2>&1
failed() {
    echo "kernel-vm: $*"
    echo 1 >"$out/status"
    exit 1
}
modules="modprobe -d $kernel"
$modules lockd nlm_grace_period=10 && $modules nfsd && $modules nfsv3 && $modules nfsv4 &&
    $modules cifs || failed "the NFS and SMB modules could not be loaded"
$modules sch_netem # for a delay on loopback (bench_share); only what asks for it needs it

# NFS: v3 and v4.2 through one export, which is also the v4 root (fsid=0).
mkdir -p /srv/nfs /proc/fs/nfsd /run/rpcbind /var/lib/nfs/v4recovery
mount -t tmpfs -o size=256m tmpfs /srv/nfs && chmod 1777 /srv/nfs
mount -t nfsd nfsd /proc/fs/nfsd
echo 10 >/proc/fs/nfsd/nfsv4leasetime
echo 10 >/proc/fs/nfsd/nfsv4gracetime
echo '/srv/nfs *(rw,sync,no_subtree_check,no_root_squash,fsid=0)' >/etc/exports
rpcbind && exportfs -ra && rpc.nfsd 8 && rpc.mountd || failed "the NFS server did not start"
echo Y >/proc/fs/nfsd/v4_end_grace 2>/dev/null

# Samba, its state in /tmp, a share of a tmpfs.
smb=/tmp/samba
mkdir -p $smb/private $smb/lock $smb/state $smb/cache $smb/pid $smb/ncalrpc /srv/smb
mount -t tmpfs -o size=256m tmpfs /srv/smb && chmod 1777 /srv/smb
cat >$smb/smb.conf <<CONF
[global]
    server role = standalone server
    interfaces = lo
    bind interfaces only = yes
    smb ports = 445
    disable netbios = yes
    private dir = $smb/private
    lock directory = $smb/lock
    state directory = $smb/state
    cache directory = $smb/cache
    pid directory = $smb/pid
    ncalrpc dir = $smb/ncalrpc
    log file = $smb/log.%m
    passdb backend = tdbsam
    load printers = no
    disable spoolss = yes
[share]
    path = /srv/smb
    read only = no
    create mask = 0664
CONF
printf 'vm\nvm\n' | smbpasswd -c $smb/smb.conf -s -a root >/dev/null &&
    smbd -D -s $smb/smb.conf || failed "smbd did not start"
for i in $(seq 60); do
    grep -q ':01BD 00000000:0000 0A' /proc/net/tcp && break
    sleep 0.5
done

# lockd's grace period (10 s from the start of nfsd) is over before the tests lock.
sleep 10
export BREVANT_NFS_EXPORT=/srv/nfs BREVANT_SMB_EXPORT=/srv/smb
export BREVANT_SMB_OPTIONS=username=root,password=vm
sh "$out/command"
echo $? >"$out/status"
