#pragma once

#include "server/DocumentServer.h"

#include <QMutex>
#include <QStringList>
#include <functional>
#include <memory>

// The real server with a record of the calls a test looks at, in order: "MultiUserMode",
// "OpenDocument <path>", "ReservationOf <path>" and "ReleaseReservationOf <path>". Each goes
// to onCall first, which may throw a ServerError to fail on cue, or act as another process
// would at that moment. Every call reaches the real server's own implementation.
class ObservedServer : public DocumentServer
{
public:
    explicit ObservedServer(std::shared_ptr<DocumentServer> server) : real(std::move(server)) {}

    std::function<void(const QString &call)> onCall = [](const QString &) {};
    QStringList calls;
    // Calls may come from several threads (see ConcurrentDocuments); each is recorded and
    // told in turn.
    void Call(const QString &call)
    {
        const QMutexLocker locked(&lock);
        calls.append(call);
        onCall(call);
    }
    bool ConcurrentDocuments() const override { return real->ConcurrentDocuments(); }

    ServerDocumentPtr OpenDocument(const QString &path) override
    {
        Call(QStringLiteral("OpenDocument ") + path);
        return real->OpenDocument(path);
    }
    ReservationState ReservationOf(const QString &path) override
    {
        Call(QStringLiteral("ReservationOf ") + path);
        return real->ReservationOf(path);
    }
    void ReleaseReservationOf(const QString &path) override
    {
        Call(QStringLiteral("ReleaseReservationOf ") + path);
        real->ReleaseReservationOf(path);
    }
    void CloseAllDocuments() override { real->CloseAllDocuments(); }
    ::ProjectHandler &ProjectHandler() override { return real->ProjectHandler(); }
    ::ReleaseInfo &ReleaseInfo() override { return real->ReleaseInfo(); }
    QString UserName() override { return real->UserName(); }
    void SetUserName(const QString &name) override { real->SetUserName(name); }
    RunTurnPtr TakeRunTurn(const std::function<bool()> &waiting) override
    {
        return real->TakeRunTurn(waiting);
    }
    int MultiUserMode() override
    {
        Call(QStringLiteral("MultiUserMode"));
        return real->MultiUserMode();
    }

private:
    std::shared_ptr<DocumentServer> real;
    QMutex lock;
};
