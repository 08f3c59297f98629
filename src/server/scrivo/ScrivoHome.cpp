#include "server/scrivo/ScrivoHome.h"

#include "projects/IniFile.h"
#include "projects/ProjectFiles.h"
#include "server/DocumentServer.h"
#include "server/ServerError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <algorithm>

namespace {

const QString ServerSection = QStringLiteral("Server");
const QString ProjectsSection = QStringLiteral("Projects");
constexpr int DefaultMajorVersion = 9;
constexpr int LockTimeoutMs = 10000;

const QByteArray DefaultProjectText =
    "; The fallback project of the Scrivo document server: active when no other is.\n"
    "[Project Defaults]\n"
    "MultiUser=Single User\n";

// The number of a "ProjectN" key, 0 for any other key.
int ProjectKeyNumber(const QString &key)
{
    if (!key.startsWith(QLatin1String("Project"), Qt::CaseInsensitive))
        return 0;
    bool ok = false;
    const int number = key.mid(7).toInt(&ok);
    return ok && number > 0 ? number : 0;
}

struct ProjectEntry
{
    int number;
    QString path;
};

QList<ProjectEntry> ProjectEntries(const QString &serverIni)
{
    QList<ProjectEntry> list;
    const IniDocument ini = IniDocument::load(serverIni);
    for (const auto &[key, value] : ini.entries(ProjectsSection)) {
        const int number = ProjectKeyNumber(key);
        if (number > 0 && !value.isEmpty())
            list.append({number, value});
    }
    std::stable_sort(list.begin(), list.end(), [](const ProjectEntry &a, const ProjectEntry &b) {
        return a.number < b.number;
    });
    return list;
}

[[noreturn]] void ThrowWriteFailed(const QString &file, const QString &reason)
{
    throw ServerError(ServerErrors::WriteFailed,
                      QStringLiteral("%1 could not be written: %2").arg(file, reason));
}

QString ProjectKey(int number)
{
    return QStringLiteral("Project%1").arg(number);
}

} // namespace

QString AbsolutePathOf(const QString &path)
{
    if (path.isEmpty() || QDir::isAbsolutePath(path))
        return path;
    return QDir::cleanPath(QDir::currentPath() + u'/' + path);
}

ScrivoHome::ScrivoHome(QString homeFolder) : folder(std::move(homeFolder)) {}

QString ScrivoHome::ServerIni() const
{
    return folder + QStringLiteral("/server.ini");
}

QString ScrivoHome::DefaultProject() const
{
    return folder + QStringLiteral("/Default.kpj");
}

void ScrivoHome::SetUp() const
{
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir())
        throw ServerError(
            ServerErrors::ServerHomeUnusable,
            QStringLiteral("The Scrivo home folder %1 could not be created.").arg(folder));
    EnsureDefaultProject();
}

void ScrivoHome::EnsureDefaultProject() const
{
    const QString path = DefaultProject();
    if (QFileInfo(path).isFile())
        return;
    QLockFile lock(folder + QStringLiteral("/server.ini.lock"));
    if (!lock.tryLock(LockTimeoutMs))
        ThrowWriteFailed(path, QStringLiteral("the home folder is locked by another process"));
    if (QFileInfo(path).isFile())
        return;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(DefaultProjectText) < 0 || !file.commit())
        ThrowWriteFailed(path, file.errorString());
}

void ScrivoHome::Edit(const std::function<QList<IniChange>()> &changesToMake) const
{
    const QString serverIni = ServerIni();
    QLockFile lock(folder + QStringLiteral("/server.ini.lock"));
    if (!lock.tryLock(LockTimeoutMs))
        ThrowWriteFailed(serverIni, QStringLiteral("it is locked by another process"));
    // All changes replace server.ini in one step, so a failure leaves it as it was and
    // readers never see a partly edited list.
    const QList<IniChange> changes = changesToMake();
    QString error;
    if (!changes.isEmpty() && !WriteINIChanges(changes, serverIni, &error))
        ThrowWriteFailed(serverIni, error);
}

QString ScrivoHome::Value(const QString &key) const
{
    return ReadINI(ServerSection, key, ServerIni());
}

void ScrivoHome::SetValue(const QString &key, const QString &value) const
{
    if (Value(key) == value)
        return;
    Edit([&]() -> QList<IniChange> {
        if (ReadINI(ServerSection, key, ServerIni()) == value)
            return {};
        return {{ServerSection, key, value}};
    });
}

QStringList ScrivoHome::Projects() const
{
    QStringList paths;
    for (const ProjectEntry &entry : ProjectEntries(ServerIni()))
        paths.append(entry.path);
    return paths;
}

void ScrivoHome::RegisterProject(const QString &projectFile) const
{
    const QString path = AbsolutePathOf(projectFile);
    if (path.isEmpty() || !QFileInfo(path).isFile())
        throw ServerError(ServerErrors::ProjectNotFound,
                          QStringLiteral("The project file %1 does not exist.").arg(path));
    Edit([&]() -> QList<IniChange> {
        int last = 0;
        for (const ProjectEntry &entry : ProjectEntries(ServerIni())) {
            if (entry.path == path)
                return {};
            last = std::max(last, entry.number);
        }
        return {{ProjectsSection, ProjectKey(last + 1), path}};
    });
}

void ScrivoHome::UnregisterProject(const QString &projectFile) const
{
    const QString path = AbsolutePathOf(projectFile);
    Edit([&] {
        QStringList remaining;
        bool found = false;
        for (const ProjectEntry &entry : ProjectEntries(ServerIni())) {
            if (entry.path == path)
                found = true;
            else
                remaining.append(entry.path);
        }
        if (!found)
            throw ServerError(ServerErrors::ProjectNotFound,
                              QStringLiteral("The project file %1 is not registered.").arg(path));
        // The list is written anew, numbered from 1 without gaps.
        QList<IniChange> changes{{ProjectsSection, QString(), QString()}};
        for (int i = 0; i < remaining.size(); ++i)
            changes.append({ProjectsSection, ProjectKey(i + 1), remaining[i]});
        return changes;
    });
}

QString ScrivoHome::ActiveProject() const
{
    const QString active = Value(QStringLiteral("ActiveProject"));
    return active.isEmpty() ? DefaultProject() : active;
}

void ScrivoHome::SetActiveProject(const QString &projectFile) const
{
    QString path = AbsolutePathOf(projectFile);
    if (path.isEmpty()) {
        EnsureDefaultProject();
        path = DefaultProject();
    } else {
        const QFileInfo info(path);
        if (!info.exists())
            throw ServerError(ServerErrors::ProjectNotFound,
                              QStringLiteral("The project file %1 does not exist.").arg(path));
        if (!info.isFile())
            throw ServerError(ServerErrors::ProjectNotFound,
                              QStringLiteral("%1 is not a project file.").arg(path));
    }
    SetValue(QStringLiteral("ActiveProject"), path);
}

int ScrivoHome::MajorVersion() const
{
    bool ok = false;
    const int version = Value(QStringLiteral("MajorVersion")).toInt(&ok);
    return ok ? version : DefaultMajorVersion;
}

int ScrivoHome::MultiUserMode() const
{
    return MultiUserModeFromName(
        ReadINI(QStringLiteral("Project Defaults"), QStringLiteral("MultiUser"), ActiveProject()));
}
