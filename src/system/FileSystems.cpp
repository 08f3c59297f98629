#include "system/FileSystems.h"

#include <QFile>
#include <QHash>
#include <QMutex>
#include <QThread>
#include <sys/sysmacros.h>

namespace {

// The device numbers of the mounts and their types. Read again whenever a device turns up
// that it does not know (a mount made since); a device that is in no mount (a btrfs
// subvolume has a number of its own) is remembered as "" so the table is not read for each
// of its files.
struct MountTable
{
    QMutex lock;
    QHash<quint64, QByteArray> types;
};

MountTable &Mounts()
{
    static MountTable table;
    return table;
}

quint64 Key(unsigned int major, unsigned int minor)
{
    return (quint64(major) << 32) | minor;
}

// Each line: "id parent major:minor root mount-point options [optional fields] - type source
// super-options".
QHash<quint64, QByteArray> ReadMountTable()
{
    QHash<quint64, QByteArray> types;
    QFile file(QStringLiteral("/proc/self/mountinfo"));
    if (!file.open(QIODevice::ReadOnly))
        return types;
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
        if (majorOk && minorOk)
            types.insert(Key(major, minor), fields.at(separator + 1));
    }
    return types;
}

} // namespace

QByteArray FileSystemTypeOf(dev_t device)
{
    MountTable &table = Mounts();
    const QMutexLocker locked(&table.lock);
    const quint64 key = Key(major(device), minor(device));
    if (const auto found = table.types.constFind(key); found != table.types.constEnd())
        return *found;
    QHash<quint64, QByteArray> fresh = ReadMountTable();
    // The devices known as in no mount stay known so.
    for (auto it = table.types.cbegin(); it != table.types.cend(); ++it)
        if (it->isEmpty() && !fresh.contains(it.key()))
            fresh.insert(it.key(), QByteArray());
    table.types = std::move(fresh);
    if (!table.types.contains(key))
        table.types.insert(key, QByteArray());
    return table.types.value(key);
}

namespace {

struct Kind
{
    bool fuseNetwork = false;
    bool network = false;
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
    static const QByteArrayList Kernel{"nfs",  "nfs4",      "cifs", "smb3",   "smbfs", "9p",
                                       "ceph", "glusterfs", "afs",  "lustre", "ncpfs"};
    const QByteArray type = FileSystemTypeOf(device);
    last.fuseNetwork = type.startsWith("fuse.");
    last.network = last.fuseNetwork || Kernel.contains(type);
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
