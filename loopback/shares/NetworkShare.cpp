#include "NetworkShare.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A server or mount that does not come up in this time has failed.
constexpr int StartMs = 15000;

quint16 FreePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

bool Listens(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    const bool connected =
        ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

bool IsMounted(const QString &mountPoint)
{
    QFile mounts(QStringLiteral("/proc/self/mounts"));
    if (!mounts.open(QIODevice::ReadOnly))
        return false;
    const QByteArray needle = ' ' + QFile::encodeName(mountPoint) + ' ';
    return mounts.readAll().contains(needle);
}

template <typename Condition> bool WaitFor(Condition condition, int ms = StartMs)
{
    QElapsedTimer waited;
    waited.start();
    while (!condition()) {
        if (waited.elapsed() > ms)
            return false;
        QThread::msleep(50);
    }
    return true;
}

void WriteText(const QString &path, const QByteArray &text, QFileDevice::Permissions mode = {})
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(text);
    file.close();
    if (mode)
        file.setPermissions(mode);
}

} // namespace

// A program of the fixture in a process group of its own, stopped with the whole group.
struct NetworkShare::Started
{
    QProcess process;

    Started(const QString &program, const QStringList &arguments,
            const QProcessEnvironment &environment, const QString &log)
    {
        process.setProcessEnvironment(environment);
        process.setStandardOutputFile(log, QIODevice::Append);
        process.setStandardErrorFile(log, QIODevice::Append);
        // Its own group, and gone with the test should the test be killed.
        process.setChildProcessModifier([] {
            ::setpgid(0, 0);
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        });
        process.start(program, arguments);
        process.waitForStarted(StartMs);
    }
    ~Started()
    {
        const qint64 group = process.processId();
        if (group > 0) {
            ::kill(-pid_t(group), SIGTERM);
            if (!process.waitForFinished(3000))
                ::kill(-pid_t(group), SIGKILL);
            process.waitForFinished(3000);
            // Whatever the group started lives no longer either.
            ::kill(-pid_t(group), SIGKILL);
        }
    }
    bool Running() const { return process.state() == QProcess::Running; }
};

QString NetworkShare::KindName(Kind kind)
{
    static const char *const names[KindCount] = {"smb", "sshfs", "nfs3", "nfs4.2", "cifs"};
    return QString::fromLatin1(names[int(kind)]);
}

QList<NetworkShare::Kind> NetworkShare::KindsNamed(const QString &names)
{
    QList<Kind> kinds;
    for (const QString &name : names.split(u',', Qt::SkipEmptyParts))
        for (int kind = 0; kind < KindCount; ++kind)
            if (KindName(Kind(kind)) == name.trimmed())
                kinds.append(Kind(kind));
    return kinds;
}

NetworkShare::NetworkShare(Kind shareKind, int latencyMs, bool countRequests)
    : kind(shareKind), latency(latencyMs), counted(countRequests && shareKind != Kind::Smb)
{
    if (InKernel(kind)) {
        UseKernelServer();
        return;
    }
    served = At(QStringLiteral("share"));
    QDir().mkpath(served);
    QFile::setPermissions(served, QFileDevice::Permissions(0x7777));
    serverPort = FreePort();
    if (kind == Kind::Smb)
        StartSmbServer();
    else
        StartSftpServer();
    if (problem.isEmpty() && !WaitFor([this] { return Listens(serverPort); }))
        problem = KindName(kind) + QStringLiteral(" server did not start, see ") +
                  At(QStringLiteral("log"));
    if (problem.isEmpty())
        clientPort = ClientPort();
    for (int workstation = 1; workstation <= 2 && problem.isEmpty(); ++workstation)
        if (!MountShare(workstation))
            problem = QStringLiteral("mount %1 of the %2 share failed, see %3")
                          .arg(workstation)
                          .arg(KindName(kind), At(QStringLiteral("log")));
}

NetworkShare::~NetworkShare()
{
    for (int workstation = 1; workstation <= 2; ++workstation)
        Unmount(workstation);
    servers.clear();
    if (InKernel(kind) && !served.isEmpty())
        QDir(served).removeRecursively();
    if (InKernel(kind) && latency > 0)
        QProcess::execute(QStringLiteral("tc"), {QStringLiteral("qdisc"), QStringLiteral("del"),
                                                 QStringLiteral("dev"), QStringLiteral("lo"),
                                                 QStringLiteral("root")});
}

QString NetworkShare::Served(const QString &relative) const
{
    return relative.isEmpty() ? served : served + u'/' + relative;
}

void NetworkShare::UseKernelServer()
{
    // A folder of its own in the export the VM serves, named like this fixture's folder.
    const QByteArray exported =
        qgetenv(kind == Kind::Cifs ? "BREVANT_SMB_EXPORT" : "BREVANT_NFS_EXPORT");
    if (exported.isEmpty()) {
        problem = KindName(kind) + QStringLiteral(" is a kernel client: run in the kernel VM "
                                                  "(loopback/vm/kernel-vm.sh)");
        return;
    }
    served = QFile::decodeName(exported) + u'/' + QFileInfo(dir.path()).fileName();
    QDir().mkpath(served);
    QFile::setPermissions(served, QFileDevice::Permissions(0x7777));
    // The guest's loopback delays every packet it sends: each request and each answer once.
    if (latency > 0 && QProcess::execute(QStringLiteral("tc"),
                                         {QStringLiteral("qdisc"), QStringLiteral("replace"),
                                          QStringLiteral("dev"), QStringLiteral("lo"),
                                          QStringLiteral("root"), QStringLiteral("netem"),
                                          QStringLiteral("delay"),
                                          QStringLiteral("%1ms").arg(latency)}) != 0) {
        problem = QStringLiteral("tc could not delay loopback (package iproute2, module "
                                 "sch_netem)");
        return;
    }
    for (int workstation = 1; workstation <= 2 && problem.isEmpty(); ++workstation)
        if (!MountShare(workstation))
            problem = QStringLiteral("mount %1 of the %2 share failed, see %3")
                          .arg(workstation)
                          .arg(KindName(kind), At(QStringLiteral("log")));
}

bool NetworkShare::MountInKernel(int workstation)
{
    // Default options but for the second mount's own cache or connection, so that the two are
    // two workstations and not one. To the NFS server the second is another client too: it
    // mounts through another address, from a host name of its own (an NFSv4 client names
    // itself by its host name), so that the server recalls what it lent one client (a
    // delegation) when the other changes the file.
    const QString name = QFileInfo(served).fileName();
    const bool otherClient = kind != Kind::Cifs && workstation == 2;
    const QString host = otherClient ? QStringLiteral("127.0.0.2") : QStringLiteral("127.0.0.1");
    QString source = host + u':' + served;
    QStringList options;
    if (kind == Kind::Nfs3)
        options << QStringLiteral("vers=3");
    if (kind == Kind::Nfs4) {
        options << QStringLiteral("vers=4.2");
        source = host + QStringLiteral(":/") + name; // the export is the NFSv4 root
    }
    if (kind != Kind::Cifs && workstation == 2)
        options << QStringLiteral("nosharecache");
    if (kind == Kind::Cifs) {
        source = QStringLiteral("//127.0.0.1/share/") + name;
        options << QString::fromLocal8Bit(qgetenv("BREVANT_SMB_OPTIONS"));
        if (workstation == 2)
            options << QStringLiteral("nosharesock");
    }
    const QString mountPoint = At(QStringLiteral("m%1").arg(workstation));
    QProcess mount;
    mount.setStandardOutputFile(At(QStringLiteral("log")), QIODevice::Append);
    mount.setStandardErrorFile(At(QStringLiteral("log")), QIODevice::Append);
    const QString command =
        QStringLiteral("%1exec mount -t %2 -o \"$0\" \"$1\" \"$2\"")
            .arg(otherClient ? QStringLiteral("hostname workstation2 && ") : QString(),
                 kind == Kind::Cifs ? QStringLiteral("cifs") : QStringLiteral("nfs"));
    mount.start(QStringLiteral("unshare"),
                {QStringLiteral("--uts"), QStringLiteral("sh"), QStringLiteral("-c"), command,
                 options.join(u','), source, mountPoint});
    return mount.waitForFinished(60000) && mount.exitCode() == 0 && IsMounted(mountPoint);
}

QString NetworkShare::Mount(int workstation) const
{
    const QString mountPoint = At(QStringLiteral("m%1").arg(workstation));
    // The SMB client shows hosts, and in them their shares.
    return kind == Kind::Smb ? mountPoint + QStringLiteral("/127.0.0.1/share") : mountPoint;
}

void NetworkShare::StartSmbServer()
{
    const QString root = At(QStringLiteral("samba"));
    for (const char *folder : {"run", "lock", "state", "cache", "private"})
        QDir().mkpath(root + u'/' + QLatin1String(folder));
    const QString conf = root + QStringLiteral("/smb.conf");
    WriteText(conf, QStringLiteral("[global]\n"
                                   "  server role = standalone server\n"
                                   "  smb ports = %1\n"
                                   "  interfaces = 127.0.0.1\n"
                                   "  bind interfaces only = yes\n"
                                   "  pid directory = %2/run\n"
                                   "  lock directory = %2/lock\n"
                                   "  state directory = %2/state\n"
                                   "  cache directory = %2/cache\n"
                                   "  private dir = %2/private\n"
                                   "  ncalrpc dir = %2/run/ncalrpc\n"
                                   "  log file = %3\n"
                                   "  map to guest = Bad User\n"
                                   "  load printers = no\n"
                                   "  disable spoolss = yes\n"
                                   "  printcap name = /dev/null\n"
                                   "[share]\n"
                                   "  path = %4\n"
                                   "  read only = no\n"
                                   "  guest ok = yes\n"
                                   "  force user = root\n")
                        .arg(serverPort)
                        .arg(root, At(QStringLiteral("log")), Served())
                        .toUtf8());
    servers.push_back(std::make_unique<Started>(
        QStringLiteral("/usr/sbin/smbd"),
        QStringList{QStringLiteral("--foreground"), QStringLiteral("--no-process-group"),
                    QStringLiteral("--debug-stdout"), QStringLiteral("-s"), conf},
        QProcessEnvironment::systemEnvironment(), At(QStringLiteral("log"))));
    if (!servers.back()->Running())
        problem = QStringLiteral("smbd could not be started (package samba)");
}

void NetworkShare::StartSftpServer()
{
    // Counted: every request the server answers leaves a line "request N: <what>".
    const QString server = counted
                               ? QStringLiteral("EXEC:/usr/lib/openssh/sftp-server -e -l DEBUG3")
                               : QStringLiteral("EXEC:/usr/lib/openssh/sftp-server");
    servers.push_back(std::make_unique<Started>(
        QStringLiteral("socat"),
        QStringList{
            QStringLiteral("TCP-LISTEN:%1,bind=127.0.0.1,reuseaddr,fork,nodelay").arg(serverPort),
            server},
        QProcessEnvironment::systemEnvironment(),
        At(counted ? QStringLiteral("requests") : QStringLiteral("log"))));
    if (!servers.back()->Running())
        problem = QStringLiteral("socat could not be started (packages socat and "
                                 "openssh-sftp-server)");
}

quint16 NetworkShare::ClientPort()
{
    if (latency <= 0)
        return serverPort;
    // One delay proxy in front of the server serves both mounts.
    const quint16 port = FreePort();
    servers.push_back(std::make_unique<Started>(
        QStringLiteral(BREVANT_DELAY_PROXY),
        QStringList{QString::number(port), QString::number(serverPort), QString::number(latency)},
        QProcessEnvironment::systemEnvironment(), At(QStringLiteral("log"))));
    WaitFor([port] { return Listens(port); });
    return port;
}

bool NetworkShare::MountShare(int workstation)
{
    const QString mountPoint = At(QStringLiteral("m%1").arg(workstation));
    QDir().mkpath(mountPoint);
    if (InKernel(kind))
        return MountInKernel(workstation);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QString program;
    QStringList arguments;
    if (kind == Kind::Smb) {
        // The client's settings in a home of its own: no browsing, the guest account, this
        // server, SMB 2 or newer; its connections go to the server's port.
        const QString home = At(QStringLiteral("client%1").arg(workstation));
        const QString config = home + QStringLiteral("/.smb/smbnetfs.conf");
        WriteText(home + QStringLiteral("/.smb/smb.conf"),
                  "[global]\n  client min protocol = SMB2\n");
        WriteText(config,
                  "smb_query_browsers false\nauth \"guest\" \"\"\nhost 127.0.0.1 visible=true\n",
                  QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        environment.insert(QStringLiteral("HOME"), home);
        environment.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(BREVANT_SMB_PORT_PRELOAD));
        environment.insert(QStringLiteral("BREVANT_SMB_PORT"), QString::number(clientPort));
        program = QStringLiteral("smbnetfs");
        arguments = {mountPoint, QStringLiteral("-f"), QStringLiteral("-o"),
                     QStringLiteral("config=") + config};
    } else {
        program = QStringLiteral("sshfs");
        arguments = {QStringLiteral("127.0.0.1:") + Served(), mountPoint, QStringLiteral("-f"),
                     QStringLiteral("-o"), QStringLiteral("directport=%1").arg(clientPort)};
    }
    mounts[workstation - 1] =
        std::make_unique<Started>(program, arguments, environment, At(QStringLiteral("log")));
    const QString shared = Mount(workstation);
    return WaitFor([&] { return IsMounted(mountPoint) && QDir(shared).exists(); });
}

void NetworkShare::Unmount(int workstation)
{
    const QString mountPoint = At(QStringLiteral("m%1").arg(workstation));
    if (IsMounted(mountPoint)) {
        QProcess unmount;
        if (InKernel(kind))
            unmount.start(QStringLiteral("umount"), {QStringLiteral("-l"), mountPoint});
        else
            unmount.start(QStringLiteral("fusermount"),
                          {QStringLiteral("-u"), QStringLiteral("-z"), mountPoint});
        unmount.waitForFinished(10000);
    }
    mounts[workstation - 1].reset();
}

qint64 NetworkShare::Requests() const
{
    if (!counted)
        return -1;
    if (InKernel(kind))
        return KernelClientCalls();
    QFile log(At(QStringLiteral("requests")));
    if (!log.open(QIODevice::ReadOnly))
        return -1;
    // "debug3: request 7: open flags 1" or "debug1: request 4: fstat ...", once a request;
    // the answers to it say "sent".
    qint64 requests = 0;
    while (!log.atEnd()) {
        const QByteArray line = log.readLine();
        const qsizetype at = line.indexOf(": request ");
        if (at >= 0 && !line.contains(": sent "))
            ++requests;
    }
    return requests;
}

qint64 NetworkShare::KernelClientCalls() const
{
    // The guest's clients count every call they made, on all mounts together: the NFS
    // client in "rpc <calls> <retransmissions> ...", the SMB client in a "SMBs: <count>" line
    // of each share it has connected.
    const bool nfs = kind != Kind::Cifs;
    QFile stats(nfs ? QStringLiteral("/proc/net/rpc/nfs") : QStringLiteral("/proc/fs/cifs/Stats"));
    if (!stats.open(QIODevice::ReadOnly))
        return -1;
    qint64 calls = 0;
    for (const QByteArray &line : stats.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (nfs && fields.size() > 1 && fields[0] == "rpc")
            calls += fields[1].toLongLong();
        const qsizetype at = fields.indexOf("SMBs:");
        if (!nfs && at >= 0 && at + 1 < fields.size())
            calls += fields[at + 1].toLongLong();
    }
    return calls;
}

void NetworkShare::CutConnections()
{
    // Each connection has a process of the server's group of its own (socat forks one for
    // each, and it runs the server); the group's leader is the listener.
    const qint64 group = servers.front()->process.processId();
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool numbered = false;
        const pid_t pid = pid_t(entry.toInt(&numbered));
        if (numbered && pid != group && ::getpgid(pid) == pid_t(group))
            ::kill(pid, SIGKILL);
    }
    for (int workstation = 1; workstation <= 2; ++workstation)
        WaitFor([&] { return !IsMounted(At(QStringLiteral("m%1").arg(workstation))); });
}

void NetworkShare::KillClient(int workstation)
{
    const qint64 client = mounts[workstation - 1]->process.processId();
    ::kill(-pid_t(client), SIGKILL);
    mounts[workstation - 1]->process.waitForFinished(StartMs);
}

bool NetworkShare::Remount(int workstation)
{
    Unmount(workstation);
    return MountShare(workstation);
}
