#include "system/HardLinks.h"

#include <QMutex>
#include <QSet>
#include <cerrno>

namespace {

struct RefusingFileSystems
{
    QMutex lock;
    QSet<quint64> devices;
};

RefusingFileSystems &Refusing()
{
    static RefusingFileSystems known;
    return known;
}

} // namespace

bool RefusesHardLinks(int error)
{
    return error == EPERM || error == ENOTSUP || error == EOPNOTSUPP || error == ENOSYS;
}

bool KnownToRefuseHardLinks(dev_t device)
{
    RefusingFileSystems &known = Refusing();
    const QMutexLocker locked(&known.lock);
    return known.devices.contains(quint64(device));
}

bool RememberRefusedHardLinks(dev_t device)
{
    RefusingFileSystems &known = Refusing();
    const QMutexLocker locked(&known.lock);
    if (known.devices.contains(quint64(device)))
        return false;
    known.devices.insert(quint64(device));
    return true;
}
