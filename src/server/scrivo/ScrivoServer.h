#pragma once

#include "server/DocumentServer.h"

#include <QString>
#include <QStringList>
#include <memory>

// Scrivo, the document server this platform ships. State lives in files: server.ini and
// Default.kpj in the home folder, reservation records beside the documents. Several
// processes and users can use it at once.
class ScrivoServer : public DocumentServer
{
public:
    // The home folder from $KORVEX_SCRIVO_HOME, else $XDG_CONFIG_HOME/korvex-scrivo, else
    // ~/.config/korvex-scrivo. Throws ServerError when the home folder cannot be set up.
    ScrivoServer();
    explicit ScrivoServer(const QString &home);
    ~ScrivoServer() override;

    static QString DefaultHome();

    // DocumentServer
    ServerDocumentPtr OpenDocument(const QString &fullPath) override;
    ReservationState ReservationOf(const QString &fullPath) override;
    void ReleaseReservationOf(const QString &fullPath) override;
    void CloseAllDocuments() override;
    ::ProjectHandler &ProjectHandler() override;
    ::ReleaseInfo &ReleaseInfo() override;
    QString UserName() override;
    void SetUserName(const QString &name) override;
    void SetReservationComment(const QString &text) override;
    int MultiUserMode() override;
    RunTurnPtr TakeRunTurn(const std::function<bool()> &waiting) override;
    bool ConcurrentDocuments() const override { return true; }

    // Administration, used by the scrivo tool and by tests.
    void RegisterProject(const QString &projectFile);
    void UnregisterProject(const QString &projectFile);
    QString DefaultUserName();
    void SetDefaultUserName(const QString &name);

    struct Impl;

private:
    std::unique_ptr<Impl> impl;
};
