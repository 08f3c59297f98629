#include "projects/WorkingProject.h"

#include "projects/FileFunctions.h"
#include "projects/IniFile.h"
#include "projects/ProjectFiles.h"
#include "server/ServerError.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

const QString ProjectDefaults = QStringLiteral("Project Defaults");
const QString MultiUser = QStringLiteral("MultiUser");

[[noreturn]] void ThrowCopyFailure(int number, const QString &source, const QString &target,
                                   const QString &reason)
{
    throw ServerError(number, QStringLiteral("The project file \"%1\" could not be copied to "
                                             "\"%2\": %3")
                                  .arg(source, target, reason));
}

[[noreturn]] void ThrowWriteFailure(const QString &file, const QString &reason)
{
    throw ServerError(
        ServerErrors::WriteFailed,
        QStringLiteral("The project file \"%1\" could not be written: %2").arg(file, reason));
}

// The temporary project's path in the folder of the given file.
QString TemporaryProjectBeside(const QString &file)
{
    return JoinPath(ParentFolderOf(file), TemporaryProjectName);
}

// A byte copy that replaces the target in one step: the target is either the whole copy or
// left as it was.
void CopyProjectFile(const QString &source, const QString &target)
{
    const QFileInfo info(source);
    if (!info.exists())
        ThrowCopyFailure(ServerErrors::FileNotFound, source, target,
                         QStringLiteral("the file does not exist"));
    if (!info.isFile())
        ThrowCopyFailure(ServerErrors::FileNotFound, source, target,
                         QStringLiteral("it is not a file"));
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        ThrowCopyFailure(ServerErrors::FileNotFound, source, target, in.errorString());

    if (QFileInfo(target).isDir())
        ThrowCopyFailure(ServerErrors::WriteFailed, source, target,
                         QStringLiteral("the target is a folder"));
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        ThrowCopyFailure(ServerErrors::WriteFailed, source, target, out.errorString());
    char buffer[64 * 1024];
    for (;;) {
        const qint64 count = in.read(buffer, sizeof buffer);
        if (count < 0) {
            out.cancelWriting();
            ThrowCopyFailure(ServerErrors::WriteFailed, source, target, in.errorString());
        }
        if (count == 0)
            break;
        if (out.write(buffer, count) != count) {
            const QString reason = out.errorString();
            out.cancelWriting();
            ThrowCopyFailure(ServerErrors::WriteFailed, source, target, reason);
        }
    }
    if (!out.commit())
        ThrowCopyFailure(ServerErrors::WriteFailed, source, target, out.errorString());
}

// Builds the temporary project from source: a copy in the source's folder whose mode is
// Shared. A failure removes whatever was made of the copy and throws.
QString BuildTemporaryProject(DocumentServer &server, const QString &source, bool moveWorkspace)
{
    const QString temp = TemporaryProjectBeside(source);
    // Deleting the stale temporary project would delete the source itself.
    if (FileNameOf(source) == TemporaryProjectName)
        throw ServerError(ServerErrors::InvalidArgument,
                          QStringLiteral("The project file \"%1\" cannot be copied onto itself "
                                         "as the temporary project")
                              .arg(source));

    server.ProjectHandler().SetActiveProject(QString());
    DeleteTemporaryProject(temp);
    CopyProjectFile(source, temp);
    try {
        if (moveWorkspace)
            MoveWorkspaceToWorkgroup(temp);
        QString reason;
        if (!WriteINI(ProjectDefaults, MultiUser, QStringLiteral("Shared"), temp, &reason))
            ThrowWriteFailure(temp, reason);
    } catch (...) {
        DeleteTemporaryProject(temp);
        throw;
    }
    return temp;
}

} // namespace

void MoveWorkspaceToWorkgroup(const QString &file)
{
    const QString workspace =
        ReadINI(QStringLiteral("Workspace"), QStringLiteral("Workspace"), file);
    if (workspace.isEmpty())
        return;
    // Both changes in one write, so the file never holds the one without the other.
    const QList<IniChange> changes{
        {QStringLiteral("Workspace"), QString(), QString()},
        {QStringLiteral("Workgroup Search Paths"), QStringLiteral("Workgroup"), workspace},
    };
    QString reason;
    if (!WriteINIChanges(changes, file, &reason))
        ThrowWriteFailure(file, reason);
}

QString PrepareWorkingProject(DocumentServer &server, Prompts &prompts, const QString &project)
{
    QString result = project;
    server.ProjectHandler().SetActiveProject(QString());
    server.ProjectHandler().SetActiveProject(project);
    const int mode = server.MultiUserMode();

    switch (mode) {
    case MultiUserModes::SingleUser:
        result = BuildTemporaryProject(server, project, true);
        break;
    case MultiUserModes::SemiIsolated: {
        // The include value follows the project file's path rules (backslashes, relative to
        // the project's folder), so it names the same file wherever the project lies.
        const QString include = ProjectFilePath(IncludedPathFileOf(project), project);
        if (include.isEmpty())
            prompts.MessageBox(QStringLiteral("Include file missing for semi-isolated mode."),
                               PromptButtons::OK, PromptIcon::Information, BrevantTitle);
        else
            result = BuildTemporaryProject(server, include, false);
        break;
    }
    default:
        break;
    }
    return result;
}
