#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <vector>

// A real network share on loopback, served from a folder of its own and mounted twice, as two
// workstations mount one file server:
//   Smb:   Samba's smbd on a free high port of 127.0.0.1 with a minimal smb.conf, mounted
//          through smbnetfs, the FUSE SMB client a desktop's "smb://" makes (no hard links);
//   Sshfs: OpenSSH's sftp-server behind socat on a free port, mounted through sshfs with its
//          default caches (20 s for attributes);
//   Nfs3, Nfs4: the kernel's NFS server, mounted with the kernel's client (NFSv3, NFSv4.2)
//          with its default options, the second mount with a cache of its own (nosharecache);
//   Cifs:  Samba, mounted with the kernel's SMB client (mount -t cifs) with its default
//          options, the second mount over a connection of its own (nosharesock).
// The kernel kinds need the servers the kernel VM starts (loopback/vm/guest.sh), which name
// their exports in BREVANT_NFS_EXPORT and BREVANT_SMB_EXPORT; elsewhere Problem() says so.
// Every server and mount runs in a process group of its own and is stopped by it, and each
// step is bounded in time, so a failing test leaves nothing running. Needs root (FUSE mounts
// of the fixture's own) and the packages samba, smbnetfs, sshfs, socat and
// openssh-sftp-server.
class NetworkShare
{
public:
    enum class Kind { Smb, Sshfs, Nfs3, Nfs4, Cifs };
    static constexpr int KindCount = 5;

    // latencyMs: each chunk between client and server is delayed this long each way (0: no
    // delay proxy; for the kernel's clients the VM's loopback delays each packet). With
    // countRequests the requests are counted (see Requests).
    explicit NetworkShare(Kind kind, int latencyMs = 0, bool countRequests = false);
    ~NetworkShare();
    NetworkShare(const NetworkShare &) = delete;
    NetworkShare &operator=(const NetworkShare &) = delete;

    static QString KindName(Kind kind);
    // The kinds named in the comma-separated list ("smb,sshfs"); names it does not know are
    // left out.
    static QList<Kind> KindsNamed(const QString &names);
    // Whether the kind is the kernel's own client (made only in the kernel VM).
    static bool InKernel(Kind kind) { return kind >= Kind::Nfs3; }

    // Both mounts are usable; otherwise Problem() says what failed.
    bool Ready() const { return problem.isEmpty(); }
    QString Problem() const { return problem; }

    // The path of relative as the server keeps it on its own disk.
    QString Served(const QString &relative = QString()) const;
    // The shared folder as workstation 1 or 2 sees it.
    QString Mount(int workstation) const;

    // Unmounts workstation's mount and mounts it again: a client with empty caches.
    bool Remount(int workstation);

    // The server ends every connection it has (its listener stays): sshfs then unmounts
    // itself, and the mount points are empty folders until Remount.
    void CutConnections();
    // The workstation's client is killed: its mount stays, and every call on it fails with
    // ENOTCONN until Remount.
    void KillClient(int workstation);

    // With countRequests, the requests answered so far: by the SFTP server, or the calls the
    // kernel's NFS or SMB client made (all its mounts together); else -1 (smbnetfs).
    qint64 Requests() const;

private:
    struct Started;

    qint64 KernelClientCalls() const;

    Kind kind;
    int latency;
    bool counted;
    QTemporaryDir dir;
    QString served; // the folder the server serves
    quint16 serverPort = 0;
    quint16 clientPort = 0; // the server's, or the delay proxy's in front of it
    QString problem;
    std::vector<std::unique_ptr<Started>> servers;
    std::unique_ptr<Started> mounts[2];

    QString At(const QString &relative) const { return dir.filePath(relative); }
    void StartSmbServer();
    void StartSftpServer();
    void UseKernelServer();
    bool MountInKernel(int workstation);
    quint16 ClientPort();
    bool MountShare(int workstation);
    void Unmount(int workstation);
};
