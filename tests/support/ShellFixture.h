#pragma once

#include "ObservedServer.h"
#include "ScriptedPrompts.h"
#include "TestFiles.h"
#include "server/scrivo/ScrivoServer.h"
#include "shell/frmMain.h"

#include <QAction>
#include <QComboBox>
#include <memory>

class FileListModel;

// A private Scrivo home with projects, the scripted prompts, and a main window that starts
// against the real server behind an observer. The window's parts are found by their design
// names, as a user finds them by their captions.
struct ShellFixture
{
    // projects/<name>.kpj with the "MultiUser" value and the extra lines, registered unless
    // told otherwise. Its full path.
    QString Project(const QString &name, const QString &mode, const QByteArray &extra = {},
                    bool registered = true);
    // A document below projects/docs with its metadata (display name = base name).
    QString Document(const QString &relative, int version = 1, const QStringList &refs = {});
    void Activate(const QString &project) { server->ProjectHandler().SetActiveProject(project); }
    QString ActiveProject() const { return server->ProjectHandler().ActiveProject(); }

    // Starts a window with the project active ("" leaves the server as it is): the backup
    // warning and then `oks` messages are answered with OK. The start-up's result.
    bool Start(const QString &project, int oks = 0);
    bool StartShared() { return Start(Project(QStringLiteral("A"), QStringLiteral("Shared"))); }

    QAction *Action(const char *name) const { return window->findChild<QAction *>(name); }
    void Trigger(const char *name) const { Action(name)->trigger(); }
    FileListModel &List() const;
    // The texts of a column top to bottom; a row's six texts before the comment and its box
    // ("[x]", "[ ]").
    QStringList Column(int column) const;
    QStringList Row(int row) const;
    // Selects exactly these rows (0-based).
    void Select(const QList<int> &rows) const;
    QString Panel(int panel) const;
    // Searches the folder through the menu, the scope message and folder browser answered;
    // SearchDocs searches projects/docs.
    void Search(const QString &folder);
    void SearchDocs() { Search(env.path(QStringLiteral("projects/docs"))); }
    QComboBox *Combo() const { return window->findChild<QComboBox *>(QStringLiteral("Combo1")); }

    TestEnvironment env;
    ScriptedPrompts prompts;
    std::shared_ptr<ScrivoServer> server = std::make_shared<ScrivoServer>(env.scrivoHome());
    std::shared_ptr<ObservedServer> observed = std::make_shared<ObservedServer>(server);
    std::unique_ptr<frmMain> window;
};
