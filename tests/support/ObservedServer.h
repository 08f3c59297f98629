#pragma once

#include "server/DocumentServer.h"

#include <QMutex>

// The real server, telling a test of the calls it looks at: "MultiUserMode", "OpenDocument
// <path>", "ReservationOf <path>" and "ReleaseReservationOf <path>". Each goes to onCall first,
// which may throw a ServerError to fail on cue, count, or act as another process would at that
// moment. Every call reaches the real server's own implementation.
class ObservedServer : public DocumentServer
{
public:
    explicit ObservedServer(std::shared_ptr<DocumentServer> server) : real(std::move(server)) {}

    std::function<void(const QString &call)> onCall = [](const QString &) {};

    bool ConcurrentDocuments() const override { return real->ConcurrentDocuments(); }
    ServerDocumentPtr OpenDocument(const QString &path) override
    {
        return Call(QStringLiteral("OpenDocument ") + path).OpenDocument(path);
    }
    ReservationState ReservationOf(const QString &path) override
    {
        return Call(QStringLiteral("ReservationOf ") + path).ReservationOf(path);
    }
    void ReleaseReservationOf(const QString &path) override
    {
        Call(QStringLiteral("ReleaseReservationOf ") + path).ReleaseReservationOf(path);
    }
    void CloseAllDocuments() override { real->CloseAllDocuments(); }
    ::ProjectHandler &ProjectHandler() override { return real->ProjectHandler(); }
    ::ReleaseInfo &ReleaseInfo() override { return real->ReleaseInfo(); }
    QString UserName() override { return real->UserName(); }
    void SetUserName(const QString &name) override { real->SetUserName(name); }
    void SetReservationComment(const QString &text) override { real->SetReservationComment(text); }
    RunTurnPtr TakeRunTurn(const std::function<bool()> &w) override { return real->TakeRunTurn(w); }
    int MultiUserMode() override { return Call(QStringLiteral("MultiUserMode")).MultiUserMode(); }

private:
    // Calls may come from several threads (see ConcurrentDocuments); each is told in turn.
    // The real server, to make the call on.
    DocumentServer &Call(const QString &call)
    {
        const QMutexLocker locked(&lock);
        onCall(call);
        return *real;
    }

    std::shared_ptr<DocumentServer> real;
    QMutex lock;
};
