#include "ShellFixture.h"

#include "model/FileListModel.h"
#include "model/ListFilter.h"
#include "shell/FileListView.h"

#include <QItemSelectionModel>
#include <QLabel>

QString ShellFixture::Project(const QString &name, const QString &mode, const QByteArray &extra,
                              bool registered)
{
    const QString path = env.writeFile(u"projects/%1.kpj"_s.arg(name),
                                       "[Project Defaults]\r\nMultiUser=" + mode.toUtf8() +
                                           "\r\n[Workspace]\r\nWorkspace=.\\Workspace\r\n" + extra);
    if (registered)
        server->RegisterProject(path);
    return path;
}

QString ShellFixture::Document(const QString &relative, int version, const QStringList &refs)
{
    const QString path = env.path(u"projects/docs/"_s + relative);
    return WriteScrivoDocument(path, QFileInfo(path).completeBaseName(), version, refs);
}

bool ShellFixture::Start(const QString &project, int oks)
{
    if (!project.isEmpty())
        Activate(project);
    for (int i = 0; i <= oks; ++i)
        prompts.Message();
    window = std::make_unique<frmMain>(prompts, [held = observed] { return held; });
    return window->Load();
}

FileListModel &ShellFixture::List() const
{
    return *window->findChild<FileListView *>(u"ListViewFiles"_s)->Model();
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
    for (int column = 0; column < Column::Comment; ++column)
        texts.append(List().data(List().index(row, column)).toString());
    const bool ticked = List().data(List().index(row, 0), Qt::CheckStateRole) == Qt::Checked;
    return texts << (ticked ? u"[x]"_s : u"[ ]"_s);
}

void ShellFixture::Select(const QList<int> &rows) const
{
    const auto *view = window->findChild<FileListView *>(u"ListViewFiles"_s);
    view->selectionModel()->clearSelection();
    for (const int row : rows)
        view->selectionModel()->select(view->Filter()->mapFromSource(List().index(row, 0)),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

QString ShellFixture::Panel(int panel) const
{
    const auto *label = window->findChild<QLabel *>(u"StatusBar1Panel%1"_s.arg(panel));
    return label->isVisibleTo(window.get()) ? label->text() : QString();
}

void ShellFixture::Search(const QString &folder)
{
    prompts.Message().Folder(folder);
    Trigger("mnuDocumentsSearch");
}
