#include "projects/WorkingProject.h"

#include "projects/FileFunctions.h"
#include "projects/IniFile.h"
#include "projects/ProjectFiles.h"
#include "server/ServerError.h"
#include "system/DirectoryListing.h"
#include "system/FileError.h"
#include "system/FileRead.h"
#include "system/FileWrite.h"
#include "system/ProcessIdentity.h"

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

// The changes that move the workspace of the project text to its workgroup paths; none when
// it has no workspace.
QList<IniChange> WorkspaceToWorkgroup(const IniDocument &project)
{
    const QString workspace =
        project.value(QStringLiteral("Workspace"), QStringLiteral("Workspace"));
    if (workspace.isEmpty())
        return {};
    return {{QStringLiteral("Workspace"), QString(), QString()},
            {QStringLiteral("Workgroup Search Paths"), QStringLiteral("Workgroup"), workspace}};
}

ProcessIdentity RecordedProcess(const IniDocument &project)
{
    return {project.value(RunSection, QStringLiteral("Host")),
            project.value(RunSection, QStringLiteral("Process")).toLongLong(),
            project.value(RunSection, QStringLiteral("Started"))};
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

void MoveWorkspaceToWorkgroup(const QString &file)
{
    // Both changes in one write, so the file never holds the one without the other.
    const QList<IniChange> changes = WorkspaceToWorkgroup(IniDocument::load(file));
    if (!changes.isEmpty())
        WriteINIChanges(changes, file);
}

QString BuildWorkingProject(const QString &source, bool moveWorkspace, const QString &project)
{
    const QString folder = ParentFolderOf(source);
    const QString target = JoinPath(folder, WorkingProjectName());
    if (source == target)
        throw ServerError(ServerErrors::InvalidArgument,
                          QStringLiteral("The project file \"%1\" cannot be copied onto itself "
                                         "as the working project")
                              .arg(source));
    RemoveAbandonedWorkingProjects(folder);
    // One of this process's own, left by a run that could not remove it.
    DeleteTemporaryProject(target);

    std::optional<QByteArray> bytes;
    try {
        bytes = ReadRegularFile(source, IniFileSizeLimit);
    } catch (const FileError &error) {
        throw ServerError(
            ServerErrors::FileNotFound,
            QStringLiteral("The project file \"%1\" could not be copied to \"%2\": %3")
                .arg(source, target, error.Reason));
    }
    if (!bytes)
        throw ServerError(ServerErrors::FileNotFound,
                          QStringLiteral("The project file \"%1\" could not be copied to \"%2\": "
                                         "the file does not exist")
                              .arg(source, target));

    QList<IniChange> changes;
    if (moveWorkspace)
        changes = WorkspaceToWorkgroup(IniDocument::parse(*bytes));
    const ProcessIdentity self = ThisProcess();
    changes += {{ProjectDefaults, MultiUser, QStringLiteral("Shared")},
                {RunSection, QStringLiteral("Source"), project},
                {RunSection, QStringLiteral("Host"), self.Host},
                {RunSection, QStringLiteral("Process"), QString::number(self.Process)},
                {RunSection, QStringLiteral("Started"), self.Started}};
    try {
        CreateNewFile(target, IniWithChanges(*bytes, changes, target));
    } catch (const FileError &error) {
        throw ServerError(ServerErrors::WriteFailed,
                          QStringLiteral("The working project \"%1\" could not be written: %2")
                              .arg(target, error.Reason));
    }
    return target;
}

std::optional<QString> AbandonedWorkingProjectSource(const QString &path)
{
    if (!IsWorkingProjectName(FileNameOf(path)))
        return std::nullopt;
    try {
        const IniDocument project = IniDocument::load(path);
        const QString source = project.value(RunSection, QStringLiteral("Source"));
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

QString PrepareWorkingProject(DocumentServer &server, Prompts &prompts, const QString &project)
{
    QString result = project;
    server.ProjectHandler().SetActiveProject(QString());
    server.ProjectHandler().SetActiveProject(project);
    const int mode = server.MultiUserMode();

    switch (mode) {
    case MultiUserModes::SingleUser:
        server.ProjectHandler().SetActiveProject(QString());
        result = BuildWorkingProject(project, true, project);
        break;
    case MultiUserModes::SemiIsolated: {
        // The include value follows the project file's path rules (backslashes, relative to
        // the project's folder), so it names the same file wherever the project lies.
        const QString include = ProjectFilePath(IncludedPathFileOf(project), project);
        if (include.isEmpty()) {
            prompts.MessageBox(QStringLiteral("Include file missing for semi-isolated mode."),
                               PromptButtons::OK, PromptIcon::Information, BrevantTitle);
        } else {
            server.ProjectHandler().SetActiveProject(QString());
            result = BuildWorkingProject(include, false, project);
        }
        break;
    }
    default:
        break;
    }
    return result;
}
