#include "server/scrivo/ReservationRecord.h"

#include "platform/DirectoryListing.h"
#include "projects/IniFile.h"
#include "server/ServerError.h"
#include "server/scrivo/FileIO.h"

#include <QRandomGenerator>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

// A record is a few lines; anything much larger is not one.
constexpr qsizetype MaxRecordSize = 64 * 1024;
constexpr int CreateAttempts = 3;

const QString ReservationSection = QStringLiteral("Reservation");

QString SystemReason(int error)
{
    return qt_error_string(error);
}

bool MeansNoRecord(int error)
{
    // The record's folder is gone, or the record's name cannot exist there: either way no
    // record is there.
    return error == ENOENT || error == ENOTDIR || error == ENAMETOOLONG;
}

bool SameTime(const timespec &a, const timespec &b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

QString TimeText(const QDateTime &time)
{
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODate);
}

} // namespace

bool IsValidUserName(const QString &name)
{
    if (name.isEmpty())
        return false;
    for (const QChar ch : name)
        if (ch.category() == QChar::Other_Control)
            return false;
    return true;
}

ReservationRecord::Identity ReservationRecord::IdentityOf(const struct stat &st)
{
    Identity id;
    id.device = st.st_dev;
    id.inode = st.st_ino;
    id.size = st.st_size;
    id.modified = st.st_mtim;
    id.changed = st.st_ctim;
    return id;
}

bool ReservationRecord::Identity::operator==(const Identity &other) const
{
    return device == other.device && inode == other.inode && size == other.size &&
           SameTime(modified, other.modified) && SameTime(changed, other.changed);
}

ReservationRecord::ReservationRecord(const QString &document) : documentPath(document)
{
    const qsizetype slash = document.lastIndexOf(u'/');
    recordPath =
        document.left(slash + 1) + u'.' + document.mid(slash + 1) + QStringLiteral(".reservation");
    // Coded as the directory listing codes names, so the record of a document whose name
    // is not valid UTF-8 lies beside that very document.
    nativeRecordPath = EncodeFileName(recordPath);
}

void ReservationRecord::Refresh()
{
    struct stat st;
    if (::stat(nativeRecordPath.constData(), &st) != 0) {
        const int error = errno;
        known = false;
        if (!MeansNoRecord(error))
            throw ServerError(ServerErrors::ReservationRecordDamaged,
                              QStringLiteral("The reservation record %1 could not be read: %2")
                                  .arg(recordPath, SystemReason(error)));
        known = true;
        present = false;
        damage.clear();
        return;
    }
    if (known && present && IdentityOf(st) == identity)
        return;
    ReadRecord();
}

void ReservationRecord::ReadRecord()
{
    known = false;
    holder.clear();
    time = QDateTime();
    version = 0;
    damage.clear();

    const int fd = ::open(nativeRecordPath.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (!MeansNoRecord(error))
            throw ServerError(ServerErrors::ReservationRecordDamaged,
                              QStringLiteral("The reservation record %1 could not be read: %2")
                                  .arg(recordPath, SystemReason(error)));
        known = true;
        present = false; // released between the stat and the open
        return;
    }
    struct stat st;
    QByteArray bytes;
    bool readable = ::fstat(fd, &st) == 0;
    int error = errno;
    if (readable && S_ISREG(st.st_mode)) {
        // One byte more than a record may have, so that an over-long file shows.
        readable = ReadAtMost(fd, MaxRecordSize + 1, bytes);
        error = errno;
    }
    ::close(fd);

    present = true;
    known = true;
    identity = readable ? IdentityOf(st) : Identity();

    if (!readable) {
        damage = SystemReason(error);
        return;
    }
    if (!S_ISREG(st.st_mode)) {
        damage = QStringLiteral("it is not a file");
        return;
    }
    if (bytes.size() > MaxRecordSize) {
        damage = QStringLiteral("it is too large");
        return;
    }
    const IniDocument ini = IniDocument::parse(bytes);
    if (!ini.hasSection(ReservationSection)) {
        damage = QStringLiteral("it holds no reservation");
        return;
    }
    const QString by = ini.value(ReservationSection, QStringLiteral("By"));
    if (!IsValidUserName(by)) {
        damage = QStringLiteral("it names no valid holder");
        return;
    }
    const QString timeText = ini.value(ReservationSection, QStringLiteral("Time"));
    const QDateTime parsed = QDateTime::fromString(timeText, Qt::ISODate);
    // A time without its UTC offset would be read differently in another time zone.
    if (!parsed.isValid() || parsed.timeSpec() == Qt::LocalTime) {
        damage =
            QStringLiteral("its time \"%1\" is not a date and time with UTC offset").arg(timeText);
        return;
    }
    bool ok = false;
    const QString versionText = ini.value(ReservationSection, QStringLiteral("Version"));
    const int number = versionText.toInt(&ok);
    if (!ok) {
        damage = QStringLiteral("its version \"%1\" is not a whole number").arg(versionText);
        return;
    }
    holder = by;
    time = parsed.toLocalTime();
    version = number;
}

void ReservationRecord::ThrowWhenDamaged() const
{
    if (present && !damage.isEmpty())
        throw ServerError(
            ServerErrors::ReservationRecordDamaged,
            QStringLiteral("The reservation record %1 is damaged: %2.").arg(recordPath, damage));
}

bool ReservationRecord::IsReserved()
{
    Refresh();
    ThrowWhenDamaged();
    return present;
}

QString ReservationRecord::ReservedBy()
{
    return IsReserved() ? holder : QString();
}

QDateTime ReservationRecord::ReservedTime()
{
    return IsReserved() ? time : QDateTime();
}

int ReservationRecord::ReservedVersion()
{
    return IsReserved() ? version : 0;
}

QByteArray ReservationRecord::RecordText(const QString &user, int documentVersion) const
{
    // The holder is quoted so that blanks at its ends survive the INI rules.
    QByteArray text("[Reservation]\n");
    text += "By=\"" + user.toUtf8() + "\"\n";
    text += "Time=" + TimeText(QDateTime::currentDateTime()).toUtf8() + '\n';
    text += "Version=" + QByteArray::number(documentVersion) + '\n';
    return text;
}

void ReservationRecord::Create(const QString &user, int documentVersion)
{
    const QByteArray text = RecordText(user, documentVersion);
    auto writeFailed = [&](int error) {
        return ServerError(ServerErrors::WriteFailed,
                           QStringLiteral("The reservation of %1 could not be written: %2")
                               .arg(documentPath, SystemReason(error)));
    };

    // The whole record goes into a private file first; link(2) then puts it in place only
    // when no record is there, atomically, also between processes on other machines.
    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0; ++attempt) {
        temporary = nativeRecordPath + '.' + QByteArray::number(::getpid()) + '.' +
                    QByteArray::number(QRandomGenerator::global()->generate(), 16);
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0 && (errno != EEXIST || attempt >= CreateAttempts))
            throw writeFailed(errno);
    }
    // No fsync: the record is linked into place only once it is whole, so no process ever
    // sees a partial record. After a power loss the newest records may come back empty,
    // which readers report as a damaged record naming the file, and anyone may release it.
    // Flushing every record to disk made a check-out of a thousand documents take seconds.
    const bool written = WriteAll(fd, text);
    const int writeError = errno;
    if (::close(fd) != 0 || !written) {
        const int error = written ? errno : writeError;
        ::unlink(temporary.constData());
        throw writeFailed(error);
    }

    for (int attempt = 0;; ++attempt) {
        if (::link(temporary.constData(), nativeRecordPath.constData()) == 0)
            break;
        const int error = errno;
        if (error != EEXIST) {
            ::unlink(temporary.constData());
            throw writeFailed(error);
        }
        // Somebody else's record is there: name the holder. Should it have gone again
        // in the meantime, try once more.
        try {
            Refresh();
            ThrowWhenDamaged();
        } catch (...) {
            ::unlink(temporary.constData());
            throw;
        }
        if (present || attempt >= CreateAttempts) {
            ::unlink(temporary.constData());
            throw ServerError(
                ServerErrors::AlreadyReserved,
                QStringLiteral("%1 is already reserved by %2.")
                    .arg(documentPath, present ? holder : QStringLiteral("another user")));
        }
    }
    ::unlink(temporary.constData());
    known = false;
    Refresh();
}

void ReservationRecord::Remove(const QString &user)
{
    Refresh();
    if (!present)
        return;
    if (damage.isEmpty() && holder != user)
        throw ServerError(
            ServerErrors::NotTheHolder,
            QStringLiteral("%1 is reserved by %2, not by %3.").arg(documentPath, holder, user));
    if (::unlink(nativeRecordPath.constData()) != 0 && !MeansNoRecord(errno))
        throw ServerError(ServerErrors::WriteFailed,
                          QStringLiteral("The reservation record %1 could not be removed: %2")
                              .arg(recordPath, SystemReason(errno)));
    known = true;
    present = false;
    holder.clear();
    time = QDateTime();
    version = 0;
    damage.clear();
}
