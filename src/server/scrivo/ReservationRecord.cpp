#include "server/scrivo/ReservationRecord.h"

#include "model/UserNames.h"
#include "projects/IniFile.h"
#include "server/ServerError.h"
#include "system/FileError.h"
#include "system/FileIO.h"
#include "system/FileNames.h"

#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

// A record is a few lines; anything much larger is not one.
constexpr qsizetype MaxRecordSize = 64 * 1024;
constexpr int CreateAttempts = 3;

const QString ReservationSection = QStringLiteral("Reservation");
const QString ByKey = QStringLiteral("By");
const QString TimeKey = QStringLiteral("Time");
const QString VersionKey = QStringLiteral("Version");

bool MeansNoRecord(int error)
{
    // The record's folder is gone, or the record's name cannot exist there: either way no
    // record is there.
    return error == ENOENT || error == ENOTDIR || error == ENAMETOOLONG;
}

// The time with its UTC offset, "2026-03-04T09:15:30+01:00" (ISO 8601, whole seconds; "Z"
// for UTC), as Qt::ISODate writes it; formatted directly, as every reservation written
// needs it.
QByteArray TimeText(const QDateTime &time)
{
    const int offset = time.offsetFromUtc();
    const QDateTime local = time.toOffsetFromUtc(offset);
    const QDate date = local.date();
    const QTime clock = local.time();
    char text[48];
    int length =
        std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", date.year(), date.month(),
                      date.day(), clock.hour(), clock.minute(), clock.second());
    if (offset == 0)
        return QByteArray(text, length) + 'Z';
    const int minutes = qAbs(offset) / 60;
    length += std::snprintf(text + length, sizeof text - size_t(length), "%c%02d:%02d",
                            offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
    return QByteArray(text, length);
}

ServerError ReadFailure(const QString &record, int error)
{
    return ServerError(ServerErrors::ReservationRecordDamaged,
                       QStringLiteral("The reservation record %1 could not be read: %2")
                           .arg(record, SystemReason(error)));
}

} // namespace

ReservationRecord::ReservationRecord(const QString &document, const QString &resolved)
    : ReservationRecord(document, EncodeFileName(resolved))
{
}

ReservationRecord::ReservationRecord(const QString &document, const QByteArray &nativeResolved)
    : documentPath(document)
{
    // Built from the bytes, so the record of a document whose name is not valid UTF-8 lies
    // beside that very document.
    const qsizetype slash = nativeResolved.lastIndexOf('/');
    const QByteArrayView folder = QByteArrayView(nativeResolved).first(slash + 1);
    const QByteArrayView name = QByteArrayView(nativeResolved).sliced(slash + 1);
    static constexpr char Suffix[] = ".reservation";
    nativeRecordPath.reserve(nativeResolved.size() + qsizetype(sizeof Suffix));
    nativeRecordPath.append(folder).append('.').append(name).append(Suffix);
}

QString ReservationRecord::Path() const
{
    return DecodeFileName(nativeRecordPath);
}

void ReservationRecord::Forget(bool isPresent)
{
    written.reset();
    known = true;
    present = isPresent;
    holder.clear();
    time = QDateTime();
    version = 0;
    damage.clear();
}

void ReservationRecord::Refresh()
{
    // The record itself, never what a link in its place points to.
    struct stat st;
    if (::lstat(nativeRecordPath.constData(), &st) != 0) {
        const int error = errno;
        known = false;
        if (!MeansNoRecord(error))
            throw ReadFailure(Path(), error);
        Forget(false);
        return;
    }
    if (known && present && FileStamp::Of(st) == identity)
        return;
    if (known && present && written && st.st_dev == written->first &&
        st.st_ino == written->second && S_ISREG(st.st_mode)) {
        identity = FileStamp::Of(st);
        written.reset();
        return;
    }
    ReadRecord(st);
}

void ReservationRecord::ReadRecord(const struct stat &linkStatus)
{
    Forget(true);
    identity = FileStamp::Of(linkStatus);
    if (!S_ISREG(linkStatus.st_mode)) {
        damage = S_ISLNK(linkStatus.st_mode) ? QStringLiteral("it is a link, not a file")
                                             : QStringLiteral("it is not a regular file");
        return;
    }
    const int fd =
        ::open(nativeRecordPath.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (!MeansNoRecord(error))
            throw ReadFailure(Path(), error);
        Forget(false); // released between the lstat and the open
        return;
    }
    struct stat st;
    QByteArray bytes;
    bool readable = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    int error = errno;
    const bool tooLarge = readable && st.st_size > MaxRecordSize;
    if (readable && !tooLarge) {
        // A record is never changed in place (a new one is linked in instead), so the size
        // the open file has is all there is to read.
        readable = ReadAtMost(fd, qsizetype(st.st_size), bytes);
        error = errno;
        identity = FileStamp::Of(st);
    }
    ::close(fd);

    if (!readable) {
        damage = SystemReason(error);
        return;
    }
    if (tooLarge) {
        damage = QStringLiteral("it is too large");
        return;
    }
    // The first Reservation section, the first line of each key.
    bool inReservation = false;
    bool seenSection = false;
    QString by;
    QString timeText;
    QString versionText;
    bool haveBy = false, haveTime = false, haveVersion = false;
    ScanIni(bytes, [&](const IniLine &line) {
        if (line.IsSection) {
            if (seenSection && inReservation)
                return false;
            inReservation = IniNameIs(line.Name, ReservationSection);
            seenSection = seenSection || inReservation;
        } else if (inReservation) {
            const auto take = [&](const QString &key, bool &have, QString &value) {
                if (!have && IniNameIs(line.Name, key)) {
                    value = IniText(line.Value);
                    have = true;
                }
            };
            take(ByKey, haveBy, by);
            take(TimeKey, haveTime, timeText);
            take(VersionKey, haveVersion, versionText);
        }
        return true;
    });
    if (!seenSection) {
        damage = QStringLiteral("it holds no reservation");
        return;
    }
    if (!IsValidUserName(by) || IsAvailableMarker(by)) {
        damage = QStringLiteral("it names no valid holder");
        return;
    }
    const QDateTime parsed = QDateTime::fromString(timeText, Qt::ISODate);
    // A time without its UTC offset would be read differently in another time zone.
    if (!parsed.isValid() || parsed.timeSpec() == Qt::LocalTime) {
        damage =
            QStringLiteral("its time \"%1\" is not a date and time with UTC offset").arg(timeText);
        return;
    }
    bool ok = false;
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
            QStringLiteral("The reservation record %1 is damaged: %2.").arg(Path(), damage));
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

ReservationState ReservationRecord::State()
{
    if (!IsReserved())
        return {};
    return {true, holder, time, version};
}

QByteArray ReservationRecord::PrivateName() const
{
    // Short, so that every record whose own name fits can be written: a hidden name in the
    // record's folder that no record has.
    const qsizetype slash = nativeRecordPath.lastIndexOf('/');
    return nativeRecordPath.left(slash + 1) + ".rsv-" + QByteArray::number(::getpid()) + '-' +
           QByteArray::number(QRandomGenerator::global()->generate(), 36);
}

QByteArray ReservationRecord::RecordText(const QString &user, int documentVersion,
                                         const QDateTime &time)
{
    // The holder is quoted so that blanks at its ends survive the INI rules.
    QByteArray text("[Reservation]\n");
    text += "By=\"" + user.toUtf8() + "\"\n";
    text += "Time=" + TimeText(time) + '\n';
    text += "Version=" + QByteArray::number(documentVersion) + '\n';
    return text;
}

void ReservationRecord::Create(const QString &user, int documentVersion)
{
    // The record holds whole seconds.
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const QDateTime stamped = QDateTime::fromMSecsSinceEpoch(now - now % 1000);
    const QByteArray text = RecordText(user, documentVersion, stamped);
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
        temporary = PrivateName();
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0 && (errno != EEXIST || attempt >= CreateAttempts))
            throw writeFailed(errno);
    }
    // No fsync: the record is linked into place only once it is whole, so no process ever
    // sees a partial record. After a power loss the newest records may come back empty,
    // which readers report as a damaged record naming the file, and anyone may release it.
    // Flushing every record to disk made a check-out of a thousand documents take seconds.
    struct stat writtenFile;
    const bool whole = WriteAll(fd, text) && ::fstat(fd, &writtenFile) == 0;
    const int writeError = errno;
    if (::close(fd) != 0 || !whole) {
        const int error = whole ? errno : writeError;
        ::unlink(temporary.constData());
        throw writeFailed(error);
    }

    for (int attempt = 0;; ++attempt) {
        if (::link(temporary.constData(), nativeRecordPath.constData()) == 0)
            break;
        const int error = errno;
        // Somebody else's record is there: name the holder. A network file system may report
        // the taken name in other words, so any failure with a record in place counts so.
        // Should the record have gone again in the meantime, try once more.
        try {
            Refresh();
            ThrowWhenDamaged();
        } catch (...) {
            ::unlink(temporary.constData());
            throw;
        }
        if (error != EEXIST && !present) {
            ::unlink(temporary.constData());
            throw writeFailed(error);
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
    // What was just linked into place is known. The next look at the record takes its
    // identity (the link changed its status time) when it is still the file written here,
    // so the reads that follow need not read it again.
    Forget(true);
    holder = user;
    time = stamped;
    version = documentVersion;
    written = std::pair{writtenFile.st_dev, writtenFile.st_ino};
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
    const FileStamp checked = identity;
    const QString checkedHolder = holder;

    // Moving the record away is the one step that takes it: whatever record is there at that
    // moment. Only when it is the record checked above is it removed.
    const QByteArray claimed = PrivateName();
    if (::rename(nativeRecordPath.constData(), claimed.constData()) != 0) {
        const int error = errno;
        if (MeansNoRecord(error)) {
            Forget(false); // released by someone else meanwhile
            return;
        }
        throw ServerError(ServerErrors::WriteFailed,
                          QStringLiteral("The reservation record %1 could not be removed: %2")
                              .arg(Path(), SystemReason(error)));
    }
    // The same file (a freed inode number may come back for a new record, so its size and
    // time count too) holding the same holder.
    struct stat st;
    bool same = ::lstat(claimed.constData(), &st) == 0 && st.st_dev == checked.device &&
                st.st_ino == checked.inode && st.st_size == checked.size &&
                FileStamp::SameTime(st.st_mtim, checked.modified);
    if (same && damage.isEmpty()) {
        ReservationRecord moved(documentPath, QString());
        moved.nativeRecordPath = claimed;
        try {
            same = moved.ReservedBy() == checkedHolder;
        } catch (const ServerError &) {
            same = false;
        }
    }
    if (same) {
        ::unlink(claimed.constData());
        Forget(false);
        return;
    }
    // Another record took the place of the one checked: it goes back as it was.
    const bool restored = ::link(claimed.constData(), nativeRecordPath.constData()) == 0;
    ::unlink(claimed.constData());
    known = false;
    throw ServerError(
        ServerErrors::NotTheHolder,
        restored ? QStringLiteral("%1 was reserved again by another user while %2's reservation "
                                  "was being released; the new reservation was left as it is.")
                       .arg(documentPath, checkedHolder)
                 : QStringLiteral("%1 was reserved by two users at once while %2's reservation "
                                  "was being released; the newest reservation stands.")
                       .arg(documentPath, checkedHolder));
}
