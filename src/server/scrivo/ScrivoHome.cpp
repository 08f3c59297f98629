#include "server/scrivo/ScrivoHome.h"
#include "system/Translation.h"

#include "projects/ProjectFiles.h"
#include "server/ServerError.h"
#include "system/FileError.h"
#include "system/FileLock.h"
#include "system/FileNames.h"
#include "system/FileStamp.h"
#include "system/FileSystems.h"
#include "system/FileWrite.h"
#include "system/PathAt.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <algorithm>
#include <cerrno>
#include <optional>
#include <sys/stat.h>

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
    QString key;
    int number;
    QString path;
};

QList<ProjectEntry> ProjectEntries(const IniDocument &settings)
{
    QList<ProjectEntry> list;
    for (const auto &[key, value] : settings.EntriesOf(ProjectsSection)) {
        const int number = ProjectKeyNumber(key);
        if (number > 0 && !value.isEmpty())
            list.append({key, number, value});
    }
    std::stable_sort(list.begin(), list.end(), [](const ProjectEntry &a, const ProjectEntry &b) {
        return a.number < b.number;
    });
    return list;
}

QString ProjectKey(int number)
{
    return QStringLiteral("Project%1").arg(number);
}

// Refuses a path that cannot be a project file: missing, a folder, a link loop, ...
void CheckProjectFile(const QString &path)
{
    struct stat st;
    QString problem;
    if (::stat(EncodeFileName(path).constData(), &st) != 0)
        problem = errno == ENOENT || errno == ENOTDIR
                      ? Brevant::tr("The project file %1 does not exist.").arg(path)
                      : Brevant::tr("The project file %1 cannot be used: %2")
                            .arg(path, SystemReason(errno));
    else if (S_ISDIR(st.st_mode))
        problem = Brevant::tr("%1 is a folder, not a project file.").arg(path);
    else if (!S_ISREG(st.st_mode))
        problem =
            Brevant::tr("%1 is not a regular file, so it cannot be a project file.").arg(path);
    if (!problem.isEmpty())
        throw ServerError(ServerErrors::ProjectNotFound, problem);
}

// Whether a file is at path. Only a path that is surely not there counts as missing: a look
// that a share fails for a moment (asked again while it lasts), or that is refused, is no
// reason to fall back to the default project in its place. Reading the file then tells what
// is wrong with it.
bool Exists(const QString &path)
{
    const QByteArray native = EncodeFileName(path);
    struct stat st;
    const int looked = RepeatWhileTransientAt(native, [&] { return StatPath(native, st, false); });
    return looked == 0 || (errno != ENOENT && errno != ENOTDIR);
}

// Whether path is absolute and has no empty, "." or ".." part and no trailing separator:
// what cleaning would give back unchanged. Paths from a folder listing all are.
bool IsCleanAbsolutePath(const QString &path)
{
    const qsizetype n = path.size();
    if (n == 0 || path[0] != u'/')
        return false;
    if (n == 1)
        return true;
    for (qsizetype i = 0; i < n; ++i) {
        if (path[i] != u'/')
            continue;
        const qsizetype rest = n - i - 1; // characters after this separator
        if (rest == 0 || path[i + 1] == u'/')
            return false;
        if (path[i + 1] == u'.' && (rest == 1 || path[i + 2] == u'/' ||
                                    (path[i + 2] == u'.' && (rest == 2 || path[i + 3] == u'/'))))
            return false;
    }
    return true;
}

} // namespace

QString AbsolutePathOf(const QString &path)
{
    if (path.isEmpty() || IsCleanAbsolutePath(path))
        return path;
    if (QDir::isAbsolutePath(path))
        return QDir::cleanPath(path);
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
            Brevant::tr("The Scrivo home folder %1 could not be created.").arg(folder));
    EnsureDefaultProject();
    ServerSettings();
}

IniDocument ScrivoHome::ServerSettings() const
{
    try {
        return IniDocument::FromFile(ServerIni());
    } catch (const FileError &error) {
        throw ServerError(ServerErrors::ServerHomeUnusable,
                          Brevant::tr("The Scrivo settings file %1 cannot be read: %2")
                              .arg(error.File, error.Reason));
    }
}

IniDocument ScrivoHome::ProjectDocument(const QString &projectFile)
{
    try {
        return IniDocument::FromFile(projectFile);
    } catch (const FileError &error) {
        throw ServerError(
            ServerErrors::ProjectUnreadable,
            Brevant::tr("The project file %1 cannot be read: %2").arg(error.File, error.Reason));
    }
}

void ScrivoHome::EnsureDefaultProject() const
{
    const QString path = DefaultProject();
    if (Exists(path))
        return;
    try {
        // Exclusively, so of two processes setting up the home at once one writes it.
        CreateNewFile(path, DefaultProjectText);
    } catch (const FileError &error) {
        if (!Exists(path))
            throw ServerError(ServerErrors::ServerHomeUnusable,
                              Brevant::tr("%1 could not be written: %2").arg(path, error.Reason));
    }
}

void ScrivoHome::Edit(
    const std::function<QList<IniChange>(const IniDocument &settings)> &changesToMake) const
{
    const QString serverIni = ServerIni();
    try {
        const FileLock lock(serverIni + QStringLiteral(".lock"), LockTimeoutMs);
        // All changes replace server.ini in one step, so a failure leaves it as it was and
        // readers never see a partly edited list.
        const QList<IniChange> changes = changesToMake(ServerSettings());
        if (!changes.isEmpty())
            WriteINIChanges(changes, serverIni);
    } catch (const FileError &error) {
        // Names the file that failed: server.ini, or its lock.
        throw ServerError(ServerErrors::WriteFailed,
                          Brevant::tr("%1 could not be written: %2").arg(error.File, error.Reason));
    }
}

QString ScrivoHome::Value(const QString &key) const
{
    return ServerSettings().ValueOf(ServerSection, key);
}

void ScrivoHome::SetValue(const QString &key, const QString &value) const
{
    if (Value(key) == value)
        return;
    Edit([&](const IniDocument &settings) -> QList<IniChange> {
        if (settings.ValueOf(ServerSection, key) == value)
            return {};
        return {{ServerSection, key, value}};
    });
}

QStringList ScrivoHome::Projects() const
{
    QStringList paths;
    for (const ProjectEntry &entry : ProjectEntries(ServerSettings()))
        paths.append(entry.path);
    return paths;
}

void ScrivoHome::RegisterProject(const QString &projectFile) const
{
    const QString path = AbsolutePathOf(projectFile);
    if (path.isEmpty())
        throw ServerError(ServerErrors::ProjectNotFound, Brevant::tr("No project file given."));
    CheckProjectFile(path);
    Edit([&](const IniDocument &settings) -> QList<IniChange> {
        int last = 0;
        for (const ProjectEntry &entry : ProjectEntries(settings)) {
            if (AbsolutePathOf(entry.path) == path)
                return {};
            last = std::max(last, entry.number);
        }
        return {{ProjectsSection, ProjectKey(last + 1), path}};
    });
}

void ScrivoHome::UnregisterProject(const QString &projectFile) const
{
    const QString path = AbsolutePathOf(projectFile);
    Edit([&](const IniDocument &settings) {
        // The list is written anew, numbered from 1 without gaps; other keys of the section
        // stay as they are.
        QList<IniChange> changes;
        QStringList remaining;
        bool found = false;
        for (const ProjectEntry &entry : ProjectEntries(settings)) {
            changes.append(IniChange::KeyRemoval(ProjectsSection, entry.key));
            if (AbsolutePathOf(entry.path) == path)
                found = true;
            else
                remaining.append(entry.path);
        }
        if (!found)
            throw ServerError(ServerErrors::ProjectNotFound,
                              Brevant::tr("The project file %1 is not registered.").arg(path));
        for (int i = 0; i < remaining.size(); ++i)
            changes.append({ProjectsSection, ProjectKey(i + 1), remaining[i]});
        return changes;
    });
}

QString ScrivoHome::ActiveProject() const
{
    const QString active = Value(QStringLiteral("ActiveProject"));
    if (active.isEmpty() || !Exists(active))
        return DefaultProject();
    return active;
}

QString ScrivoHome::MissingActiveProject() const
{
    const QString active = Value(QStringLiteral("ActiveProject"));
    return active.isEmpty() || Exists(active) ? QString() : active;
}

namespace {

// The run turns this process holds, by the run lock they hold: while it holds the turn of a
// home, its own changes of that home's active project need no check (the lock, taken once
// more, would refuse them). Another home's turn is no reason to skip the check.
class HeldRunTurns
{
public:
    static void Add(const QString &lock)
    {
        const QMutexLocker locked(&mutex);
        ++count[lock];
    }
    static void Drop(const QString &lock)
    {
        const QMutexLocker locked(&mutex);
        if (--count[lock] == 0)
            count.remove(lock);
    }
    static bool Holds(const QString &lock)
    {
        const QMutexLocker locked(&mutex);
        return count.contains(lock);
    }

private:
    static inline QMutex mutex;
    static inline QHash<QString, int> count;
};

// The same home reached by another path names the same lock.
QString LockIdentity(const QString &lockPath)
{
    return QFileInfo(lockPath).canonicalFilePath();
}

class ScrivoRunTurn : public RunTurn
{
public:
    ScrivoRunTurn(const QString &path, const std::function<bool()> &waiting)
        : lock(path, waiting), identity(lock.Held() ? LockIdentity(path) : QString())
    {
        if (lock.Held())
            HeldRunTurns::Add(identity);
    }
    ~ScrivoRunTurn() override
    {
        if (lock.Held())
            HeldRunTurns::Drop(identity);
    }
    bool Held() const { return lock.Held(); }

private:
    FileLock lock;
    QString identity;
};

} // namespace

RunTurnPtr ScrivoHome::TakeRunTurn(const std::function<bool()> &waiting) const
{
    try {
        auto turn = std::make_unique<ScrivoRunTurn>(RunLock(), waiting);
        return turn->Held() ? std::move(turn) : nullptr;
    } catch (const FileError &error) {
        throw ServerError(ServerErrors::ServerHomeUnusable,
                          Brevant::tr("%1 could not be used: %2").arg(error.File, error.Reason));
    }
}

QString ScrivoHome::RunLock() const
{
    return folder + QStringLiteral("/run.lock");
}

void ScrivoHome::SetActiveProject(const QString &projectFile) const
{
    QString path = AbsolutePathOf(projectFile);
    if (path.isEmpty()) {
        EnsureDefaultProject();
        path = DefaultProject();
    } else {
        CheckProjectFile(path);
    }
    if (Value(QStringLiteral("ActiveProject")) == path)
        return;
    // A run of another program works in the active project until it ends.
    std::optional<FileLock> runs;
    if (!HeldRunTurns::Holds(LockIdentity(RunLock()))) {
        try {
            runs.emplace(RunLock(), [] { return false; });
        } catch (const FileError &error) {
            throw ServerError(
                ServerErrors::WriteFailed,
                Brevant::tr("%1 could not be used: %2").arg(error.File, error.Reason));
        }
        if (!runs->Held())
            throw ServerError(ServerErrors::RunInProgress,
                              Brevant::tr("A check-out or check-in run of another program is "
                                          "working in the Scrivo home %1; the active project "
                                          "can be changed when it has ended.")
                                  .arg(folder));
    }
    SetValue(QStringLiteral("ActiveProject"), path);
}

int ScrivoHome::MajorVersion() const
{
    bool ok = false;
    const int version = Value(QStringLiteral("MajorVersion")).toInt(&ok);
    return ok ? version : DefaultMajorVersion;
}

namespace {

std::optional<FileStamp> StampOf(const QString &path)
{
    struct stat st;
    if (::stat(EncodeFileName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return FileStamp::Of(st);
}

// The mode last read, with the stamps of the two files it came from. Every check-out and
// check-in of a document asks for the mode; two stats replace reading and parsing both
// files as long as neither changed, and a project switched by another process is still
// seen at once. A FUSE network client may show the stamps of a file another machine has
// since changed, so there the mode counts for a moment only.
struct ModeCache
{
    bool valid = false;
    QString home;
    FileStamp settings;
    QString project;
    FileStamp projectFile;
    int mode = 0;
    QElapsedTimer age;
    bool onNetworkClient = false;
};

// How long a mode read from a FUSE network client counts.
constexpr qint64 NetworkModeMs = 2000;

} // namespace

int ScrivoHome::MultiUserMode() const
{
    // Runs ask for the mode from several threads at once.
    static QMutex lock;
    static ModeCache cache;
    const QMutexLocker locked(&lock);
    // Stamped before they are read, so a change while they are read is seen next time.
    const std::optional<FileStamp> settings = StampOf(ServerIni());
    if (cache.valid && settings && cache.home == folder && cache.settings == *settings &&
        (!cache.onNetworkClient || cache.age.elapsed() < NetworkModeMs)) {
        const std::optional<FileStamp> projectFile = StampOf(cache.project);
        if (projectFile && *projectFile == cache.projectFile)
            return cache.mode;
    }
    cache.valid = false;
    const QString named = Value(QStringLiteral("ActiveProject"));
    const QString project = named.isEmpty() || !Exists(named) ? DefaultProject() : named;
    const std::optional<FileStamp> projectFile = StampOf(project);
    const int mode = MultiUserModeFromName(ProjectDocument(project).ValueOf(
        QStringLiteral("Project Defaults"), QStringLiteral("MultiUser")));
    // Not while the fallback stands in for a missing project: that one may come back
    // without server.ini changing.
    if (settings && projectFile && project == named) {
        cache = {true, folder, *settings, project, *projectFile, mode, {}, false};
        cache.onNetworkClient = IsFuseNetworkFileSystem(settings->device) ||
                                IsFuseNetworkFileSystem(projectFile->device);
        cache.age.start();
    }
    return mode;
}
