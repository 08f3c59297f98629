#include "system/FileSystems.h"

#include <QFile>
#include <QHash>
#include <QMutex>
#include <QThread>
#include <algorithm>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

// The device numbers of the mounts and their types. Read again whenever a device turns up
// that it does not know (a mount made since); a device that is in no mount (a btrfs
// subvolume has a number of its own) is remembered as "" so the table is not read for each
// of its files.
struct Mounts
{
    QHash<quint64, QByteArray> types;
    // The mount points of network file systems, by device.
    QHash<quint64, QByteArray> networkPoints;
};

struct MountTable
{
    QMutex lock;
    Mounts mounts;
};

MountTable &TheMountTable()
{
    static MountTable table;
    return table;
}

quint64 Key(unsigned int major, unsigned int minor)
{
    return (quint64(major) << 32) | minor;
}

bool IsNetworkType(const QByteArray &type)
{
    static const QByteArrayList Kernel{"nfs",  "nfs4",      "cifs", "smb3",   "smbfs", "9p",
                                       "ceph", "glusterfs", "afs",  "lustre", "ncpfs"};
    return type.startsWith("fuse.") || Kernel.contains(type);
}

// A mount point as mountinfo writes it: a blank, tab, line break or backslash as \ooo.
QByteArray UnescapedMountPoint(const QByteArray &field)
{
    QByteArray point;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int code = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                point.append(char(code));
                i += 3;
                continue;
            }
        }
        point.append(field[i]);
    }
    return point;
}

// Each line: "id parent major:minor root mount-point options [optional fields] - type source
// super-options".
Mounts ReadMountTable()
{
    Mounts mounts;
    QFile file(QStringLiteral("/proc/self/mountinfo"));
    if (!file.open(QIODevice::ReadOnly))
        return mounts;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray &line : lines) {
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype separator = fields.indexOf("-");
        if (fields.size() < 3 || separator < 0 || separator + 1 >= fields.size())
            continue;
        const QList<QByteArray> numbers = fields.at(2).split(':');
        bool majorOk = false;
        bool minorOk = false;
        const uint major = numbers.value(0).toUInt(&majorOk);
        const uint minor = numbers.value(1).toUInt(&minorOk);
        if (!majorOk || !minorOk || fields.size() < 5)
            continue;
        const QByteArray &type = fields.at(separator + 1);
        mounts.types.insert(Key(major, minor), type);
        if (IsNetworkType(type))
            mounts.networkPoints.insert(Key(major, minor), UnescapedMountPoint(fields.at(4)));
    }
    return mounts;
}

} // namespace

QByteArray FileSystemTypeOf(dev_t device)
{
    MountTable &table = TheMountTable();
    const QMutexLocker locked(&table.lock);
    QHash<quint64, QByteArray> &types = table.mounts.types;
    const quint64 key = Key(major(device), minor(device));
    if (const auto found = types.constFind(key); found != types.constEnd())
        return *found;
    Mounts fresh = ReadMountTable();
    // The devices known as in no mount stay known so, and so do the network mounts seen: a
    // share that went away is told as such (LostShareOf).
    for (auto it = types.cbegin(); it != types.cend(); ++it)
        if (it->isEmpty() && !fresh.types.contains(it.key()))
            fresh.types.insert(it.key(), QByteArray());
    fresh.networkPoints.insert(table.mounts.networkPoints);
    table.mounts = std::move(fresh);
    if (!types.contains(key))
        types.insert(key, QByteArray());
    return types.value(key);
}

namespace {

struct Kind
{
    bool fuseNetwork = false;
    bool network = false;
    bool kernelSmb = false;
};

// What the device is, asked for every document a walk reads: the last answer is kept for
// each thread (a walk reads one file system), the mount table consulted only for another.
Kind KindOf(dev_t device)
{
    thread_local dev_t lastDevice = 0;
    thread_local Kind last;
    thread_local bool known = false;
    if (known && device == lastDevice)
        return last;
    const QByteArray type = FileSystemTypeOf(device);
    last.fuseNetwork = type.startsWith("fuse.");
    last.network = IsNetworkType(type);
    last.kernelSmb = type == "cifs" || type == "smb3";
    lastDevice = device;
    known = true;
    return last;
}

} // namespace

bool IsFuseNetworkFileSystem(dev_t device)
{
    return KindOf(device).fuseNetwork;
}

bool IsNetworkFileSystem(dev_t device)
{
    return KindOf(device).network;
}

bool IsKernelSmbClient(dev_t device)
{
    return KindOf(device).kernelSmb;
}

bool WaitAfterTransientFailure(int attempt)
{
    // 20, 40, ... 1280 ms, then 1.5 s: about 6 s in all. The FUSE SMB client answers every
    // call to a server whose connection it dropped with EIO for 3 s.
    constexpr int Attempts = 8;
    if (attempt >= Attempts)
        return false;
    QThread::msleep(qMin(20UL << attempt, 1500UL));
    return true;
}

void PauseMilliseconds(unsigned long milliseconds)
{
    QThread::msleep(milliseconds);
}

QByteArray LostShareOf(const QByteArray &path)
{
    MountTable &table = TheMountTable();
    const QMutexLocker locked(&table.lock);
    QByteArray point;
    for (const QByteArray &seen : std::as_const(table.mounts.networkPoints))
        if (seen.size() > point.size() && path.startsWith(seen) &&
            (path.size() == seen.size() || path[seen.size()] == '/'))
            point = seen;
    if (point.isEmpty())
        return {};
    const QHash<quint64, QByteArray> now = ReadMountTable().networkPoints;
    return std::find(now.cbegin(), now.cend(), point) != now.cend() ? QByteArray() : point;
}

dev_t DeviceOfNearest(const QByteArray &path)
{
    QByteArray at = path;
    for (;;) {
        struct stat st;
        if (::stat(at.constData(), &st) == 0)
            return st.st_dev;
        const qsizetype slash = at.lastIndexOf('/');
        if (slash <= 0)
            return 0;
        at.truncate(slash);
    }
}
