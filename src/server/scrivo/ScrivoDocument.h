#pragma once

#include "server/DocumentServer.h"
#include "server/scrivo/ReservationRecord.h"

#include <QStringList>
#include <memory>
#include <sys/types.h>

struct ScrivoSession;

// One opened document. Opening reads the first 64 KiB once and keeps only the metadata;
// no file stays open. The reservation is read from its record on demand.
class ScrivoDocument : public ServerDocument
{
public:
    // Throws ServerError when the path is missing, a folder or cannot be read.
    static std::shared_ptr<ScrivoDocument> Open(const QString &fullPath,
                                                std::shared_ptr<ScrivoSession> session);

    bool IsReserved() override { return record.IsReserved(); }
    void Reserve() override;
    void ReleaseReservation() override;
    QString ReservedBy() override { return record.ReservedBy(); }
    QDateTime ReservedTime() override { return record.ReservedTime(); }
    int ReservedVersion() override { return record.ReservedVersion(); }
    QString ReservedComment() override { return record.ReservedComment(); }
    ReservationState Reservation() override { return record.State(); }
    QString DisplayName() override;
    QString FullFileName() override { return path; }
    QList<ServerDocumentPtr> ReferencedDocuments() override;
    // The references resolved against the document's folder, as read when it was opened.
    QStringList DirectReferences() override;

    // The reservation of the document at fullPath from its record alone, the document not
    // read; throws as Open does when no document is there.
    static ReservationState ReservationAt(const QString &fullPath,
                                          std::shared_ptr<ScrivoSession> session);
    // Releases it for the session's user under the server's rules, the document not read.
    static void ReleaseAt(const QString &fullPath, std::shared_ptr<ScrivoSession> session);

    // The version the metadata gives (1 without metadata).
    int Version() const { return version; }
    // The referenced paths as written in the metadata, in file order.
    QStringList ReferencePaths() const { return references; }

private:
    ScrivoDocument(QString documentPath, const QByteArray &nativeResolvedPath, dev_t fileSystem,
                   std::shared_ptr<ScrivoSession> owner);

    QString path;
    std::shared_ptr<ScrivoSession> session;
    dev_t device = 0;
    ino_t inode = 0;
    QString displayName; // "" until asked for when the metadata names none
    int version = 1;
    QStringList references;
    ReservationRecord record;

    // One try; nullptr with error set when the file could not be opened or read.
    static std::shared_ptr<ScrivoDocument> OpenOnce(const QString &path, const QByteArray &native,
                                                    std::shared_ptr<ScrivoSession> session,
                                                    int &error);
    void ReadMetadata(const QByteArray &head);
    // Refuses a change of the reservation of the document at path by the session's user (an
    // invalid name, "available" for a reservation, an active project that is not Shared).
    static void CheckMayChangeReservation(const QString &path, const ScrivoSession &session,
                                          bool reserving);
};

// What a server object shares with the documents it opened: they may outlive it.
struct ScrivoSession
{
    QString home;
    QString userName;
    QString comment;
};
