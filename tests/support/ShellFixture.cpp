#include "ShellFixture.h"

#include "projects/IniFile.h"

#include <QFile>
#include <QTest>

const QString BackupWarning =
    QStringLiteral("It is highly recommended to make a backup copy of your files before you "
                   "use this tool.\r") +
    QString(42, QLatin1Char(' '));

ShellFixture::ShellFixture() : server(std::make_shared<ScrivoServer>(env.scrivoHome())) {}

QString ShellFixture::writeProject(const QString &relative, const QString &multiUser)
{
    QByteArray content = "[Project Defaults]\r\n";
    if (!multiUser.isEmpty())
        content += "MultiUser=" + multiUser.toUtf8() + "\r\n";
    content += "[Workspace]\r\nWorkspace=.\\Workspace\r\n";
    return env.writeFile(relative, content);
}

QString ShellFixture::addProject(const QString &name, const QString &multiUser)
{
    const QString path =
        writeProject(QStringLiteral("projects/") + name + QStringLiteral(".kpj"), multiUser);
    server->RegisterProject(path);
    return path;
}

void ShellFixture::activate(const QString &project)
{
    server->ProjectHandler().SetActiveProject(project);
}

QString ShellFixture::activeProject()
{
    return server->ProjectHandler().ActiveProject();
}

QString ShellFixture::defaultProject() const
{
    return env.scrivoHome() + QStringLiteral("/Default.kpj");
}

void ShellFixture::setMajorVersion(int version)
{
    WriteINI(QStringLiteral("Server"), QStringLiteral("MajorVersion"), QString::number(version),
             env.scrivoHome() + QStringLiteral("/server.ini"));
}

std::unique_ptr<frmMain> ShellFixture::makeWindow()
{
    auto held = server;
    return std::make_unique<frmMain>(prompts, [held] { return held; });
}

std::unique_ptr<frmMain> ShellFixture::startWindow()
{
    auto window = makeWindow();
    if (!window->Load())
        QTest::qFail("the window did not start", __FILE__, __LINE__);
    return window;
}

std::unique_ptr<frmMain> ShellFixture::startWithSharedProject()
{
    activate(addProject(QStringLiteral("A"), QStringLiteral("Shared")));
    expectBackupWarning();
    return startWindow();
}

void ShellFixture::expectBackupWarning()
{
    prompts.answerMessage(PromptAnswer::OK);
}

clsFilePtr ShellFixture::record(const QString &by, const QString &fileName, const QString &folder,
                                const QString &version)
{
    auto file = std::make_shared<clsFile>();
    file->SetCheckedOutBy(by);
    file->SetCheckedOutTime(by == Available ? Available : QStringLiteral("01.02.2026 10:00:00"));
    file->SetCheckedOutVersion(by == Available ? Available : version);
    file->SetBrowserName(fileName.section(QLatin1Char('.'), 0, 0));
    file->SetFileName(fileName);
    file->SetFilePath(folder);
    return file;
}

void ShellFixture::showRecords(frmMain &window, const QList<clsFilePtr> &records)
{
    ClearFiles(window.State().Files);
    for (const clsFilePtr &file : records)
        window.State().Files->Add(file);
    window.ShowFilesInList();
}

QStringList ShellFixture::columnTexts(const frmMain &window, int column)
{
    QStringList texts;
    for (int row = 0; row < window.ListViewFiles->topLevelItemCount(); ++row)
        texts.append(window.ListViewFiles->topLevelItem(row)->text(column));
    return texts;
}

KorvexProcess::KorvexProcess()
{
    const QString copy = dir.filePath(QStringLiteral("korvex"));
    if (!QFile::copy(QStringLiteral("/bin/sleep"), copy)) {
        QTest::qFail("cannot copy /bin/sleep", __FILE__, __LINE__);
        return;
    }
    QFile::setPermissions(copy, QFile::permissions(copy) | QFile::ExeOwner);
    // Bounded: the process ends by itself even if the test dies before cleaning up.
    process.start(copy, {QStringLiteral("120")});
    process.waitForStarted(5000);
}

KorvexProcess::~KorvexProcess()
{
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(5000);
    }
}
