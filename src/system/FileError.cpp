#include "system/FileError.h"
#include "system/Translation.h"

#include "system/FileNames.h"
#include "system/FileSystems.h"

#include <cerrno>

namespace {

// Errors by which a network file system says that its server cannot be reached now.
bool MeansShareUnreachable(int error)
{
    switch (error) {
    case ENOTCONN:
    case ECONNABORTED:
    case ECONNREFUSED:
    case ECONNRESET:
    case EHOSTDOWN:
    case EHOSTUNREACH:
    case ENETDOWN:
    case ENETRESET:
    case ENETUNREACH:
    case ETIMEDOUT:
        return true;
    default:
        return false;
    }
}

QString ShareNotReachable(const QString &detail)
{
    return Brevant::tr("the share is not reachable (%1)").arg(detail);
}

} // namespace

QString SystemReason(int error)
{
    const QString text = qt_error_string(error);
    return MeansShareUnreachable(error) ? ShareNotReachable(text) : text;
}

QString MissingReason(const QByteArray &path, int error)
{
    const QByteArray mountPoint = LostShareOf(path);
    if (mountPoint.isEmpty())
        return SystemReason(error);
    return ShareNotReachable(
        Brevant::tr("it is no longer mounted at %1").arg(DecodeFileName(mountPoint)));
}
