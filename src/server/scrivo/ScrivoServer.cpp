#include "server/scrivo/ScrivoServer.h"
#include "system/Translation.h"

#include "model/UserNames.h"
#include "projects/FileFunctions.h"
#include "projects/IniFile.h"
#include "server/ServerError.h"
#include "server/scrivo/ScrivoDocument.h"
#include "server/scrivo/ScrivoHome.h"
#include "system/ProcessIdentity.h"
#include "system/UserFolders.h"

namespace {

void CheckUserName(const QString &name)
{
    const QString problem = UserNameProblem(name);
    if (!problem.isEmpty())
        throw ServerError(ServerErrors::InvalidUserName,
                          Brevant::tr("The user name \"%1\" cannot be used: %2.")
                              .arg(ShownUserName(name), problem));
}

class ScrivoProjectHandler : public ProjectHandler
{
public:
    explicit ScrivoProjectHandler(const ScrivoHome &serverHome) : home(serverHome) {}

    QString ActiveProject() override { return home.ActiveProject(); }
    void SetActiveProject(const QString &path) override { home.SetActiveProject(path); }
    QStringList GetProjects() override { return home.Projects(); }

    QString MissingActiveProject() override { return home.MissingActiveProject(); }

    QString WorkspacePath() override
    {
        const QString project = home.ActiveProject();
        const QString workspace = ScrivoHome::ProjectDocument(project).ValueOf(
            QStringLiteral("Workspace"), QStringLiteral("Workspace"));
        return ProjectFilePath(workspace, project);
    }

    void GetWorkgroupPaths(QStringList &names, QStringList &paths) override
    {
        const QString project = home.ActiveProject();
        names.clear();
        paths.clear();
        const IniDocument ini = ScrivoHome::ProjectDocument(project);
        for (const auto &[key, value] : ini.EntriesOf(QStringLiteral("Workgroup Search Paths"))) {
            names.append(key);
            paths.append(ProjectFilePath(value, project));
        }
    }

private:
    const ScrivoHome &home;
};

class ScrivoReleaseInfo : public ReleaseInfo
{
public:
    explicit ScrivoReleaseInfo(const ScrivoHome &serverHome) : home(serverHome) {}
    int MajorVersion() override { return home.MajorVersion(); }

private:
    const ScrivoHome &home;
};

} // namespace

struct ScrivoServer::Impl
{
    explicit Impl(const QString &folder)
        : home(folder), session(std::make_shared<ScrivoSession>()), projects(home), release(home)
    {
    }

    ScrivoHome home;
    std::shared_ptr<ScrivoSession> session;
    ScrivoProjectHandler projects;
    ScrivoReleaseInfo release;
};

QString ScrivoServer::DefaultHome()
{
    const QString home = qEnvironmentVariable("KORVEX_SCRIVO_HOME");
    if (!home.isEmpty())
        return home;
    return UserFolder("XDG_CONFIG_HOME", QStringLiteral(".config")) +
           QStringLiteral("/korvex-scrivo");
}

ScrivoServer::ScrivoServer() : ScrivoServer(DefaultHome()) {}

ScrivoServer::ScrivoServer(const QString &home) : impl(std::make_unique<Impl>(AbsolutePathOf(home)))
{
    impl->home.SetUp();
    impl->session->home = impl->home.Folder();
    impl->session->userName = DefaultUserName();
}

ScrivoServer::~ScrivoServer() = default;

ServerDocumentPtr ScrivoServer::OpenDocument(const QString &fullPath)
{
    return ScrivoDocument::Open(fullPath, impl->session);
}

ReservationState ScrivoServer::ReservationOf(const QString &fullPath)
{
    return ScrivoDocument::ReservationAt(fullPath, impl->session);
}

void ScrivoServer::ReleaseReservationOf(const QString &fullPath)
{
    ScrivoDocument::ReleaseAt(fullPath, impl->session);
}

void ScrivoServer::CloseAllDocuments()
{
    // Documents hold no open file and no lock: their content is read when they are opened
    // and reservations live in their records. The objects handed out stay usable by whoever
    // still holds them, so there is nothing to drop here.
}

ProjectHandler &ScrivoServer::ProjectHandler()
{
    return impl->projects;
}

ReleaseInfo &ScrivoServer::ReleaseInfo()
{
    return impl->release;
}

QString ScrivoServer::UserName()
{
    return impl->session->userName;
}

void ScrivoServer::SetUserName(const QString &name)
{
    CheckUserName(name);
    impl->session->userName = name;
}

void ScrivoServer::SetReservationComment(const QString &text)
{
    const QString problem = CommentProblem(text);
    if (!problem.isEmpty())
        throw ServerError(ServerErrors::InvalidArgument,
                          Brevant::tr("The comment \"%1\" cannot be used: %2.")
                              .arg(ShownUserName(text), problem));
    impl->session->comment = text;
}

int ScrivoServer::MultiUserMode()
{
    return impl->home.MultiUserMode();
}

RunTurnPtr ScrivoServer::TakeRunTurn(const std::function<bool()> &waiting)
{
    return impl->home.TakeRunTurn(waiting);
}

void ScrivoServer::RegisterProject(const QString &projectFile)
{
    impl->home.RegisterProject(projectFile);
}

void ScrivoServer::UnregisterProject(const QString &projectFile)
{
    impl->home.UnregisterProject(projectFile);
}

QString ScrivoServer::DefaultUserName()
{
    const QString stored = impl->home.Value(QStringLiteral("UserName"));
    return stored.isEmpty() ? AccountName() : stored;
}

void ScrivoServer::SetDefaultUserName(const QString &name)
{
    CheckUserName(name);
    if (IsAvailableMarker(name))
        throw ServerError(
            ServerErrors::InvalidUserName,
            QStringLiteral("\"%1\" marks free documents and cannot be a user name.").arg(name));
    impl->home.SetValue(QStringLiteral("UserName"), name);
}
