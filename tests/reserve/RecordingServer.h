#pragma once

#include "server/DocumentServer.h"

#include <QStringList>
#include <functional>
#include <memory>

// The real server with a log of the calls a run makes: the run frame's calls in `log`
// ("CloseAllDocuments", "SetActiveProject <path>", "SetUserName <name>",
// "OpenDocument <file name>"), every document member read or called in `documentCalls`
// ("<file name> <member>"), and the active project at each OpenDocument. beforeReserve runs
// just before a document's Reserve reaches the server, to act as another process would.
class RecordingServer : public DocumentServer, public ProjectHandler
{
public:
    explicit RecordingServer(std::shared_ptr<DocumentServer> inner) : real(std::move(inner)) {}

    QStringList log;
    QStringList documentCalls;
    QStringList activeAtOpen;
    std::function<void(const QString &fileName)> beforeReserve;
    std::function<void(const QString &fileName)> onOpen;

    ServerDocumentPtr OpenDocument(const QString &fullPath) override;
    void CloseAllDocuments() override;
    ::ProjectHandler &ProjectHandler() override { return *this; }
    ::ReleaseInfo &ReleaseInfo() override { return real->ReleaseInfo(); }
    QString UserName() override { return real->UserName(); }
    void SetUserName(const QString &name) override;
    int MultiUserMode() override { return real->MultiUserMode(); }

    QString ActiveProject() override { return real->ProjectHandler().ActiveProject(); }
    void SetActiveProject(const QString &path) override;
    QStringList GetProjects() override { return real->ProjectHandler().GetProjects(); }
    QString WorkspacePath() override { return real->ProjectHandler().WorkspacePath(); }
    void GetWorkgroupPaths(QStringList &names, QStringList &paths) override
    {
        real->ProjectHandler().GetWorkgroupPaths(names, paths);
    }

    // Wraps a document of the real server so that its calls are logged here.
    ServerDocumentPtr Wrap(ServerDocumentPtr document);

private:
    std::shared_ptr<DocumentServer> real;
};
