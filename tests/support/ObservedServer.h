#pragma once

#include "server/DocumentServer.h"

#include <functional>
#include <memory>

// Passes every call on to a real server. The project handler's ActiveProject and
// SetActiveProject and the server's MultiUserMode are first reported to onCall as
// "ActiveProject", "SetActiveProject(<path>)" and "MultiUserMode", so a test can record
// their order or throw a ServerError to fail on cue.
class ObservedServer : public DocumentServer, public ProjectHandler
{
public:
    explicit ObservedServer(std::shared_ptr<DocumentServer> server) : real(std::move(server)) {}

    std::function<void(const QString &call)> onCall = [](const QString &) {};
    // Runs before each document is opened (e.g. to act in the middle of a search).
    std::function<void(const QString &path)> onOpenDocument = [](const QString &) {};

    ServerDocumentPtr OpenDocument(const QString &path) override
    {
        onOpenDocument(path);
        return real->OpenDocument(path);
    }
    void CloseAllDocuments() override { real->CloseAllDocuments(); }
    ::ProjectHandler &ProjectHandler() override { return *this; }
    ::ReleaseInfo &ReleaseInfo() override { return real->ReleaseInfo(); }
    QString UserName() override { return real->UserName(); }
    void SetUserName(const QString &name) override { real->SetUserName(name); }
    int MultiUserMode() override
    {
        onCall(QStringLiteral("MultiUserMode"));
        return real->MultiUserMode();
    }

    QString ActiveProject() override
    {
        onCall(QStringLiteral("ActiveProject"));
        return handler().ActiveProject();
    }
    void SetActiveProject(const QString &path) override
    {
        onCall(QStringLiteral("SetActiveProject(%1)").arg(path));
        handler().SetActiveProject(path);
    }
    QStringList GetProjects() override { return handler().GetProjects(); }
    QString MissingActiveProject() override { return handler().MissingActiveProject(); }
    QString WorkspacePath() override { return handler().WorkspacePath(); }
    void GetWorkgroupPaths(QStringList &names, QStringList &paths) override
    {
        handler().GetWorkgroupPaths(names, paths);
    }

private:
    ::ProjectHandler &handler() { return real->ProjectHandler(); }

    std::shared_ptr<DocumentServer> real;
};
