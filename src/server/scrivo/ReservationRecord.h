#pragma once

#include "server/DocumentServer.h"
#include "system/FileStamp.h"

#include <QDateTime>
#include <QString>
#include <optional>
#include <sys/stat.h>
#include <utility>

// The reservation of one document, kept in the hidden file ".<file name>.reservation" beside
// it (INI: "Reservation" / "By", "Time", "Version"). The record is written under a private
// name and linked into place, so it appears whole or not at all and of two writers exactly
// one wins. A record that is not a regular file (a link, even a dangling one, a FIFO, a
// socket) or cannot be parsed is damaged: reads fail, and any user may release it. Failures
// throw ServerError naming the document or the record.
class ReservationRecord
{
public:
    // document: the document's full path as shown; resolved: the file it is (links followed),
    // beside which the record lies.
    ReservationRecord(const QString &document, const QString &resolved);
    // The same with the resolved path as the bytes on disk.
    ReservationRecord(const QString &document, const QByteArray &nativeResolved);

    QString Path() const;

    // The current state, read again only when the record file changed since the last read
    // (one lstat when nothing changed). Throws when the record is damaged.
    bool IsReserved();
    QString ReservedBy();
    // In local time; invalid when nobody holds the document.
    QDateTime ReservedTime();
    int ReservedVersion();
    // All of the above from one look at the record.
    ReservationState State();

    // Creates the record for user; throws AlreadyReserved naming the holder when another
    // record is there.
    void Create(const QString &user, int version);
    // Removes the record when user holds it; a damaged record is removed for any user (a link
    // itself, never what it points to); no record: nothing happens. The check and the
    // removal are one step: the record is first moved to a private name, and a record that
    // turns out to be another one than the one checked is put back.
    void Remove(const QString &user);

private:
    QString documentPath;
    QByteArray nativeRecordPath;

    // The state of the last read.
    bool known = false;
    bool present = false;
    FileStamp identity;
    QString holder;
    QDateTime time;
    int version = 0;
    QString damage; // why the record could not be used; "" when it could
    // The file this object linked into place, while its identity is not yet known.
    std::optional<std::pair<dev_t, ino_t>> written;

    void Refresh();
    void ReadRecord(const struct stat &linkStatus);
    void Forget(bool isPresent);
    void ThrowWhenDamaged() const;
    QByteArray PrivateName() const;
    static QByteArray RecordText(const QString &user, int version, const QDateTime &time);
};
