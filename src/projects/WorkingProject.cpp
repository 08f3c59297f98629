#include "projects/WorkingProject.h"
#include "system/Translation.h"

#include "projects/FileFunctions.h"
#include "projects/IniFile.h"
#include "system/DirectoryListing.h"
#include "system/Failure.h"
#include "system/FileError.h"
#include "system/FileNames.h"
#include "system/FileRead.h"
#include "system/FileWrite.h"
#include "system/ProcessIdentity.h"

#include <sys/stat.h>

namespace {

const QString ProjectDefaults = QStringLiteral("Project Defaults");
const QString MultiUser = QStringLiteral("MultiUser");
const QString RunSection = QStringLiteral("Working Project");

// Letters, digits, "." and "_" as they are; anything else (a separator, a blank) as "_".
QString NamePart(const QString &text, int limit)
{
    QString part = text.left(limit);
    for (QChar &c : part)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != u'.' && c != u'_')
            c = u'_';
    return part;
}

// The changes that move the "Workspace"/"Workspace" value of the project into "Workgroup
// Search Paths"/"Workgroup" and remove the "Workspace" section, made in one write so the file
// never holds the one without the other; none when it has no workspace.
QList<IniChange> MoveWorkspaceToWorkgroup(const IniDocument &project)
{
    const QString workspace =
        project.ValueOf(QStringLiteral("Workspace"), QStringLiteral("Workspace"));
    if (workspace.isEmpty())
        return {};
    return {{QStringLiteral("Workspace"), QString(), QString()},
            {QStringLiteral("Workgroup Search Paths"), QStringLiteral("Workgroup"), workspace}};
}

ProcessIdentity RecordedProcess(const IniDocument &project)
{
    return {project.ValueOf(RunSection, QStringLiteral("Host")),
            project.ValueOf(RunSection, QStringLiteral("Process")).toLongLong(),
            project.ValueOf(RunSection, QStringLiteral("Started"))};
}

} // namespace

QString WorkingProjectName()
{
    const ProcessIdentity self = ThisProcess();
    return QStringLiteral("Temp$$$00-") + NamePart(AccountName(), 32) + u'-' +
           NamePart(self.Host, 64) + u'-' + QString::number(self.Process) + QStringLiteral(".kpj");
}

bool IsWorkingProjectName(const QString &fileName)
{
    return fileName == TemporaryProjectName || (fileName.startsWith(QStringLiteral("Temp$$$00-")) &&
                                                fileName.endsWith(QStringLiteral(".kpj")));
}

QString BuildWorkingProject(const QString &source, bool moveWorkspace, const QString &project)
{
    const QString folder = ParentFolderOf(source);
    const QString target = JoinPath(folder, WorkingProjectName());
    if (source == target)
        throw FileError(source, Brevant::tr("it cannot be copied onto itself as the working "
                                            "project"));
    RemoveAbandonedWorkingProjects(folder);
    // One of this process's own, left by a run that could not remove it.
    DeleteTemporaryProject(target);

    const std::optional<QByteArray> bytes = ReadRegularFile(source, IniFileSizeLimit);
    if (!bytes)
        throw FileError(source, Brevant::tr("the project file does not exist"));

    QList<IniChange> changes;
    if (moveWorkspace)
        changes = MoveWorkspaceToWorkgroup(IniDocument::FromBytes(*bytes));
    const ProcessIdentity self = ThisProcess();
    changes += {{ProjectDefaults, MultiUser, QStringLiteral("Shared")},
                {RunSection, QStringLiteral("Source"), project},
                {RunSection, QStringLiteral("Host"), self.Host},
                {RunSection, QStringLiteral("Process"), QString::number(self.Process)},
                {RunSection, QStringLiteral("Started"), self.Started}};
    CreateNewFile(target, IniWithChanges(*bytes, changes, target));
    return target;
}

std::optional<QString> AbandonedWorkingProjectSource(const QString &path)
{
    if (!IsWorkingProjectName(FileNameOf(path)))
        return std::nullopt;
    try {
        const IniDocument project = IniDocument::FromFile(path);
        const QString source = project.ValueOf(RunSection, QStringLiteral("Source"));
        if (source.isEmpty() || !ProcessIsGone(RecordedProcess(project)))
            return std::nullopt;
        return source;
    } catch (const FileError &) {
        return std::nullopt;
    }
}

void RemoveAbandonedWorkingProjects(const QString &folder)
{
    const DirectoryListing listing = DirectoryListing::Read(folder);
    for (const DirectoryEntry &entry : listing.Entries()) {
        const QString name = entry.Name();
        if (entry.IsFolder || name == TemporaryProjectName || !IsWorkingProjectName(name))
            continue;
        const QString path = JoinPath(folder, name);
        if (AbandonedWorkingProjectSource(path))
            IgnoringErrors([&] { RemoveFile(path); });
    }
}

void DeleteTemporaryProject(const QString &path)
{
    // Only a working project's name is ever deleted, since the path may hold the selected
    // project itself, which must survive: the name of older versions, or this process's own
    // (never another run's). Only a plain file: a link or folder planted under the name stays.
    const QString name = FileNameOf(path);
    if (name != TemporaryProjectName && name != WorkingProjectName())
        return;
    struct stat st;
    if (::lstat(EncodeFileName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return;
    IgnoringErrors([&] { RemoveFile(path); });
}
