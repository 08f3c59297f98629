#pragma once

#include "server/MultiUserModes.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

// The contract the program relies on from the CAD product's document server.
// Every member may throw ServerError; "" means none for strings.

class ServerDocument;
using ServerDocumentPtr = std::shared_ptr<ServerDocument>;

// A document's reservation as read at one moment. A reservation whose record is still being
// written is Reserved with HolderUnknown: no holder, time or version yet. Comment is what the
// holder said of it, "" for none.
struct ReservationState
{
    bool Reserved = false;
    QString By;
    QDateTime Time;
    int Version = 0;
    bool HolderUnknown = false;
    QString Comment;
};

class ServerDocument
{
public:
    virtual ~ServerDocument() = default;

    virtual bool IsReserved() = 0;
    // Reserves the document for the server's current UserName and stores it at once.
    virtual void Reserve() = 0;
    virtual void ReleaseReservation() = 0;
    virtual QString ReservedBy() = 0;
    // An invalid QDateTime when nobody holds the document.
    virtual QDateTime ReservedTime() = 0;
    virtual int ReservedVersion() = 0;
    // What the holder said of the reservation; "" for none, and from a server that keeps no
    // comments.
    virtual QString ReservedComment() { return QString(); }
    virtual QString DisplayName() = 0;
    virtual QString FullFileName() = 0;
    // Every referenced document; an entry is null where the referenced file is missing.
    virtual QList<ServerDocumentPtr> ReferencedDocuments() = 0;
    // The full names of the documents this one references itself, in file order, a missing
    // one too. By default the documents ReferencedDocuments finds (a missing one has no name
    // there), which reach the same documents through every level at the cost of opening them;
    // a server that has the references from the opening gives them without another read.
    virtual QStringList DirectReferences();
    // The whole reservation at once. By default IsReserved and, when the document is
    // reserved, ReservedBy, ReservedTime and ReservedVersion, in that order; a server that
    // can answer from one reading of its record does.
    virtual ReservationState Reservation()
    {
        ReservationState state;
        state.Reserved = IsReserved();
        if (state.Reserved) {
            state.By = ReservedBy();
            state.Time = ReservedTime();
            state.Version = ReservedVersion();
            state.Comment = ReservedComment();
        }
        return state;
    }
};

class ProjectHandler
{
public:
    virtual ~ProjectHandler() = default;

    virtual QString ActiveProject() = 0;
    virtual void SetActiveProject(const QString &path) = 0;
    // The active project file that was set but no longer exists (the server then works in
    // its fallback project), "" when there is none.
    virtual QString MissingActiveProject() { return QString(); }
    // The registered project files, index 0 first; the count is the list's size.
    virtual QStringList GetProjects() = 0;
    virtual QString WorkspacePath() = 0;
    virtual void GetWorkgroupPaths(QStringList &names, QStringList &paths) = 0;
};

class ReleaseInfo
{
public:
    virtual ~ReleaseInfo() = default;
    virtual int MajorVersion() = 0;
};

// The turn of a check-out or check-in run (see DocumentServer::TakeRunTurn), held for as long
// as the object lives.
class RunTurn
{
public:
    virtual ~RunTurn() = default;
};
using RunTurnPtr = std::unique_ptr<RunTurn>;

class DocumentServer
{
public:
    virtual ~DocumentServer() = default;

    // Whether documents may be opened, read, reserved and released from several threads at
    // once (different documents; the user name set before, not meanwhile), so that many
    // requests to a file server can be in flight together.
    virtual bool ConcurrentDocuments() const { return false; }

    // A check-out or check-in run makes its project the server's active project, which every
    // program of the server shares, so runs take turns: waits for the turn, asking waiting()
    // every 50 ms while another run has it; nullptr when waiting() says to stop waiting. A
    // server that keeps the active project for each program needs no turns (the default).
    virtual RunTurnPtr TakeRunTurn(const std::function<bool()> &waiting)
    {
        Q_UNUSED(waiting);
        return std::make_unique<RunTurn>();
    }

    virtual ServerDocumentPtr OpenDocument(const QString &fullPath) = 0;
    // The reservation of the document at fullPath, as the opened document's Reservation()
    // gives it; a server that can read it without opening the document does (a refresh asks
    // for nothing else).
    virtual ReservationState ReservationOf(const QString &fullPath)
    {
        return Opened(fullPath)->Reservation();
    }
    // Releases the document at fullPath for UserName, as the opened document's
    // ReleaseReservation() does; a server that can do it without opening the document does.
    virtual void ReleaseReservationOf(const QString &fullPath)
    {
        Opened(fullPath)->ReleaseReservation();
    }
    virtual void CloseAllDocuments() = 0;
    virtual ::ProjectHandler &ProjectHandler() = 0;
    virtual ::ReleaseInfo &ReleaseInfo() = 0;
    virtual QString UserName() = 0;
    virtual void SetUserName(const QString &name) = 0;
    // The comment stored with the reservations made from now on ("" for none: the default).
    // Valid text as a user name is, at most 256 characters; a server that keeps no comments
    // refuses any but "".
    virtual void SetReservationComment(const QString &text);
    virtual int MultiUserMode() = 0;

protected:
    // The document at fullPath opened; a server that gives none fails here.
    ServerDocumentPtr Opened(const QString &fullPath);
};
