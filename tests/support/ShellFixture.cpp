#include "ShellFixture.h"

#include "ScrivoDocuments.h"
#include "model/FileListModel.h"
#include "shell/FileListView.h"

#include <QAction>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLabel>
#include <QTest>

ShellFixture::ShellFixture()
    : server(std::make_shared<ScrivoServer>(env.scrivoHome())),
      observed(std::make_shared<ObservedServer>(server))
{
}

ShellFixture::~ShellFixture() = default;

QString ShellFixture::Project(const QString &name, const QString &mode, const QByteArray &extra,
                              bool registered)
{
    QByteArray content = "[Project Defaults]\r\n";
    if (!mode.isEmpty())
        content += "MultiUser=" + mode.toUtf8() + "\r\n";
    content += "[Workspace]\r\nWorkspace=.\\Workspace\r\n" + extra;
    const QString path = env.writeFile(QStringLiteral("projects/%1.kpj").arg(name), content);
    if (registered)
        server->RegisterProject(path);
    return path;
}

QString ShellFixture::Document(const QString &relative, int version, const QStringList &refs)
{
    const QString path = env.path(QStringLiteral("projects/docs/") + relative);
    return WriteScrivoDocument(path, QFileInfo(path).completeBaseName(), version, refs);
}

void ShellFixture::Activate(const QString &project)
{
    server->ProjectHandler().SetActiveProject(project);
}

QString ShellFixture::ActiveProject() const
{
    return server->ProjectHandler().ActiveProject();
}

bool ShellFixture::Start(const QString &project, int oks)
{
    if (!project.isEmpty())
        Activate(project);
    prompts.Message();
    for (int i = 0; i < oks; ++i)
        prompts.Message();
    window = std::make_unique<frmMain>(prompts, [held = observed] { return held; });
    const bool loaded = window->Load();
    observed->calls.clear();
    return loaded;
}

bool ShellFixture::StartShared()
{
    return Start(Project(QStringLiteral("A"), QStringLiteral("Shared")));
}

QAction *ShellFixture::Action(const char *name) const
{
    return window->findChild<QAction *>(QLatin1String(name));
}

void ShellFixture::Trigger(const char *name) const
{
    QAction *action = Action(name);
    if (!action)
        QFAIL(name);
    action->trigger();
}

FileListModel &ShellFixture::List() const
{
    return *window->findChild<FileListView *>(QStringLiteral("ListViewFiles"))->Model();
}

QStringList ShellFixture::Column(int column) const
{
    QStringList texts;
    for (int row = 0; row < List().Count(); ++row)
        texts.append(List().data(List().index(row, column)).toString());
    return texts;
}

QStringList ShellFixture::Row(int row) const
{
    QStringList texts;
    for (int column = 0; column < FileListModel::Columns; ++column)
        texts.append(List().data(List().index(row, column)).toString());
    const bool ticked = List().data(List().index(row, 0), Qt::CheckStateRole) == Qt::Checked;
    texts.append(ticked ? QStringLiteral("[x]") : QStringLiteral("[ ]"));
    return texts;
}

void ShellFixture::Select(const QList<int> &rows) const
{
    QItemSelectionModel *selection =
        window->findChild<FileListView *>(QStringLiteral("ListViewFiles"))->selectionModel();
    selection->clearSelection();
    for (const int row : rows)
        selection->select(List().index(row, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

QString ShellFixture::Panel(int panel) const
{
    const auto *label = window->findChild<QLabel *>(QStringLiteral("StatusBar1Panel%1").arg(panel));
    return label && label->isVisibleTo(window.get()) ? label->text() : QString();
}

void ShellFixture::Search(const QString &folder)
{
    prompts.Message().Folder(folder);
    Trigger("mnuDocumentsSearch");
}

QString BackupShown()
{
    return MessageShown(QStringLiteral("It is highly recommended to make a backup copy of your "
                                       "files before you use this tool.\r") +
                            QString(42, u' '),
                        PromptIcon::Exclamation);
}

KorvexProcess::KorvexProcess()
{
    const QString korvex = dir.filePath(QStringLiteral("korvex"));
    QFile::copy(QStringLiteral("/bin/sleep"), korvex);
    QFile::setPermissions(korvex, QFile::ReadOwner | QFile::ExeOwner);
    process.start(korvex, {QStringLiteral("60")});
    process.waitForStarted(5000);
}

KorvexProcess::~KorvexProcess()
{
    process.kill();
    process.waitForFinished(5000);
}
