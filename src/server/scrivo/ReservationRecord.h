#pragma once

#include "server/DocumentServer.h"
#include "server/ServerError.h"
#include "server/scrivo/DocumentTurn.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QString>
#include <functional>
#include <optional>
#include <sys/types.h>

// The reservation of one document, kept in the hidden file ".<file name>.reservation" beside
// it (INI: "Reservation" / "By", "Time", "Version", "Comment" where the holder gave one, and
// "Complete" as the last key; records of earlier versions end without it).
//
// Writing. The whole record is written under a private name first and then put in place, so
// it appears whole or not at all. Where the folder's file system makes hard links, link(2)
// puts it there, which never replaces a record: of two writers exactly one wins. Where link(2)
// is refused (SMB shares through FUSE clients), the record is renamed into place in the
// document's turn, after a look in that turn found no record. Records that earlier versions
// created at their own name may be seen for a moment without their last key.
//
// Reading always looks at the record as it is now, past any cache of a network client (see
// system/FileRead.h); only the kernel's SMB client may give an open for a second a handle it
// kept, which a release meets by reading again what it took. A record that is not a regular file,
// cannot be read for lack of permission or cannot be parsed is damaged: reads fail naming it, and
// any user may release it. A record that stops short of its last key is being written: for a minute
// its document counts as reserved by a holder not known yet (never released for anyone), then as
// damaged. A refusal names a holder only when a fresh look found that holder; a name that a client
// still remembers after the record went is asked about again.
//
// Changing. Releases of one document take turns (see DocumentTurn.h), and so do reservations
// on network file systems: each decides on a look at the record taken in its turn and then
// moves the record out of its place, or a new one into it, through the turn's token. A change
// whose turn was taken over while it stalled finds its token gone, moves nothing and starts
// again with a look of its own. So no release removes a reservation it did not look at in a
// turn that was still its own, no reservation replaces one, and a document is never without a
// record that is still its own. On a local disk the link of a reservation alone decides.
//
// Failures throw ServerError naming the document or the record. docs/RESERVATIONS.md
// describes the record, its states and the protocol for implementers of other programs.

// What a look at a record finds, and how a record goes from one state to another:
//
//   from          to            by
//   Absent        Held          a reservation: the new record is put in place (Placing)
//   Held          Absent        a release by the holder, decided on a look in its turn
//   Damaged       Absent        a release by anyone (a folder in its place stays)
//   BeingWritten  Held          its writer (an earlier version) writing the last line
//   BeingWritten  Damaged       a minute after it was last written
//
// No other change is made: a reservation over a record, and a release of a record being
// written, are refused.
enum class RecordState {
    Absent,       // no record: the document is free
    Held,         // a whole record naming its holder, time and version
    BeingWritten, // the start of a record, written less than a minute ago
    Damaged,      // anything else at the record's name
};

// How a new record is put in place on a file system, chosen once for it.
enum class Placing {
    Link,         // a local disk that makes hard links: link(2) alone decides, no turn
    LinkInTurn,   // a network share that makes them: linked in the document's turn, since a
                  // workstation that makes none may share the folder
    RenameInTurn, // one that refuses hard links: renamed in the turn after a look found none
};
Placing PlacingOn(dev_t device);

class ReservationRecord
{
public:
    // document: the document's full path as shown; resolved: the file it is (links followed),
    // beside which the record lies; device: the file system it is on (0: looked up when
    // needed).
    ReservationRecord(const QString &document, const QString &resolved, dev_t device = 0);
    // The same with the resolved path as the bytes on disk.
    ReservationRecord(const QString &document, const QByteArray &nativeResolved, dev_t device = 0);

    QString Path() const;

    // The reservation as it is now. Throws when the record is damaged or cannot be looked at.
    ReservationState State();
    bool IsReserved() { return State().Reserved; }
    // The holder, time (local time) and version of the last look (State or IsReserved) or
    // of the record just created; a look is taken when there was none.
    QString ReservedBy() { return LastState().By; }
    QDateTime ReservedTime() { return LastState().Time; }
    int ReservedVersion() { return LastState().Version; }
    QString ReservedComment() { return LastState().Comment; }

    // Who reserves the document at which of its versions, and what they say of it.
    struct Reservation
    {
        QString user;
        int version = 0;
        QString comment;
    };
    // Creates the record for the reservation; throws AlreadyReserved naming
    // the holder when a record is there. The record can be read by everyone who can read the
    // document (documentMode), whatever the umask, and written by the group where the
    // folder is the group's to write.
    void Create(const Reservation &reservation, mode_t documentMode);
    // Removes the record when user holds it or it is damaged (a link itself, never what it
    // points to); no record: nothing happens. A record being written is left alone.
    void Remove(const QString &user);

    // The last key of every record written; records without it are those of earlier versions
    // or being written.
    static QByteArray CompletionLine() { return QByteArrayLiteral("Complete=yes\n"); }

private:
    struct Look
    {
        RecordState kind = RecordState::Absent;
        ReservationState state;
        QString damage;      // why a damaged record cannot be used
        bool folder = false; // a damaged record that is a folder
        ino_t inode = 0;     // the record's file, where one was read
    };

    QString documentPath;
    QByteArray nativeRecordPath;
    mutable dev_t device = 0; // looked up when first needed
    mutable std::optional<mode_t> folderMode;
    // The last look at the record, or what this object wrote or removed last.
    std::optional<Look> last;

    Look LookAtRecord() const;
    // A look at the record at the path at.
    Look LookAt(const QByteArray &at) const;
    // One look; nullopt with error set when the record could not be read.
    std::optional<Look> LookOnce(const QByteArray &at, int &error) const;
    // What a refusal to open the record tells of it; nullopt when it tells nothing.
    static std::optional<Look> LookAtRefusedOpen(int error);
    // Reads the record open at fd; nullopt with error set when it could not be read.
    std::optional<Look> ReadOpenRecord(int fd, int &error) const;
    // modifiedSeconds: when the record was last written, asked only where it matters.
    Look Parse(const QByteArray &bytes, const std::function<qint64()> &modifiedSeconds) const;
    ReservationState Answer(const Look &look) const;
    ReservationState LastState();
    dev_t Device() const;
    QByteArray Folder() const;
    mode_t FolderMode() const;
    mode_t RecordMode(mode_t documentMode) const;

    // Links a private copy of the record into place, which decides alone; false when the
    // file system refuses hard links. Throws AlreadyReserved when a record is there.
    bool LinkIntoPlace(const QByteArray &text, mode_t mode);
    // Places the record in the document's turn; false when the turn was taken over before.
    bool PlaceInTurn(const QByteArray &text, mode_t mode);
    // Writes the record whole at the turn's token, at.
    void StageRecord(const QByteArray &at, const QByteArray &text, mode_t mode) const;
    // Puts the turn's staged record in its place as the file system allows; false when the
    // turn was taken over.
    bool PutStagedInPlace(DocumentTurn &turn);
    // After the record's name was refused as taken: true when the record there is copy, the
    // file just linked; throws when another is there; false when there is none (try again).
    bool SettleTakenName(const QByteArray &copy, const QElapsedTimer &since);
    // Writes text into the new file fd and closes it; throws (removing path) on failure.
    void WriteRecordFile(int fd, const QByteArray &text, mode_t mode, const QByteArray &path) const;
    // Takes the record looked at last away from its place.
    DocumentTurn::Move TakeAway(DocumentTurn &turn) const;
    static bool MayRelease(const Look &look, const QString &user);
    // Throws the refusal to release the record looked at for user, where there is one.
    void RefuseUnlessReleasable(const Look &look, const QString &user) const;
    // Where a look may have been given a kept handle (the kernel's SMB client), reads the
    // record taken into the turn again and puts it back, refused, unless user may release it.
    void ConfirmTaken(DocumentTurn &turn, const QString &user);
    void TellNoHardLinks() const;
    [[noreturn]] void ThrowTaken(const ReservationState &held) const;
    ServerError WriteFailure(int error) const;
    QByteArray PrivateName() const;
    static QByteArray RecordText(const Reservation &reservation, const QDateTime &time);
};
