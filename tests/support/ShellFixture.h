#pragma once

#include "ScriptedPrompts.h"
#include "TestEnvironment.h"
#include "server/scrivo/ScrivoServer.h"
#include "shell/frmMain.h"

#include <QProcess>
#include <QTemporaryDir>
#include <memory>

// A private Scrivo home with registered projects, the scripted prompts and a window that
// starts against the real server.
struct ShellFixture
{
    ShellFixture();

    // Writes projects/<name>.kpj with the given "MultiUser" value ("" writes none) and
    // registers it. Returns the full path.
    QString addProject(const QString &name, const QString &multiUser);
    // A project file that is not registered.
    QString writeProject(const QString &relative, const QString &multiUser);
    void activate(const QString &project);
    QString activeProject();
    QString defaultProject() const;
    void setMajorVersion(int version);

    // A window whose server is the one the test also holds in `server`.
    std::unique_ptr<frmMain> makeWindow();
    // makeWindow, then Load; fails the test when the start-up does not succeed.
    std::unique_ptr<frmMain> startWindow();

    // One Shared project "A", active; the window started with it.
    std::unique_ptr<frmMain> startWithSharedProject();

    // Answers the backup warning and checks its text.
    void expectBackupWarning();

    // Records with their own file names and folders, shown as rows.
    static clsFilePtr record(const QString &by, const QString &fileName, const QString &folder,
                             const QString &version = QStringLiteral("1"));
    static void showRecords(frmMain &window, const QList<clsFilePtr> &records);
    // The texts of one column of the list, top to bottom.
    static QStringList columnTexts(const frmMain &window, int column);

    TestEnvironment env;
    ScriptedPrompts prompts;
    std::shared_ptr<ScrivoServer> server;
};

// A process named korvex (a copy of sleep), for as long as the object lives.
class KorvexProcess
{
public:
    KorvexProcess();
    ~KorvexProcess();
    bool started() const { return process.state() == QProcess::Running; }

private:
    QTemporaryDir dir;
    QProcess process;
};

extern const QString BackupWarning;
