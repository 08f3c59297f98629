// Every file the programs write, on a disk that is full: the old file stays byte for byte,
// no private file is left, and the failure names the file and the system's reason.

#include "Hostile.h"
#include "TestFiles.h"

#include "projects/IniFile.h"
#include "projects/WorkingProject.h"
#include "reports/SpreadsheetReport.h"
#include "reports/TextReport.h"
#include "search/ErrorLog.h"
#include "server/scrivo/ScrivoServer.h"
#include "system/FileError.h"

#include "ScriptedPrompts.h"

#include <QDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

enum class Writer {
    ScrivoUser,
    ProjectPick,
    ProjectFile,
    WorkingProject,
    TextReport,
    Spreadsheet,
    ErrorLogLines
};

const QByteArray SharedProject = "[Project Defaults]\nMultiUser=Shared\n";

QList<ReportRow> SomeRows()
{
    ReportRow row{u"anna"_s, u"1.1.2026 10:00:00"_s, u"a.kpt"_s, u"/p"_s, u"A"_s, u"3"_s};
    return QList<ReportRow>(200, row);
}

} // namespace

Q_DECLARE_METATYPE(Writer)

class TestSystem : public QObject
{
    Q_OBJECT

private slots:
    void fullDiskLeavesEveryFileAsItWas_data()
    {
        QTest::addColumn<Writer>("writer");
        QTest::addColumn<QString>("file"); // on the disk; the one the writer replaces or adds to
        QTest::newRow("server.ini through scrivo user")
            << Writer::ScrivoUser << u"home/server.ini"_s;
        QTest::newRow("server.ini through a project pick")
            << Writer::ProjectPick << u"home/server.ini"_s;
        QTest::newRow("project file") << Writer::ProjectFile << u"p/Main.kpj"_s;
        QTest::newRow("working project (a new file)") << Writer::WorkingProject << u"p/Main.kpj"_s;
        QTest::newRow("text report") << Writer::TextReport << u"r/list.txt"_s;
        QTest::newRow("spreadsheet report") << Writer::Spreadsheet << u"r/list.xls"_s;
        QTest::newRow("Error.log") << Writer::ErrorLogLines << u"state/Error.log"_s;
    }

    void fullDiskLeavesEveryFileAsItWas()
    {
        QFETCH(Writer, writer);
        QFETCH(QString, file);
        SmallDisk disk;
        QVERIFY2(disk.mounted(), "a tmpfs could not be mounted (tests run as root)");
        const QString home = disk.path(u"home"_s);
        QDir().mkpath(home);
        QDir().mkpath(disk.path(u"r"_s));
        QDir().mkpath(disk.path(u"state"_s));
        const QString project = disk.path(u"p/Main.kpj"_s);
        QDir().mkpath(disk.path(u"p"_s));
        QFile(project).open(QIODevice::WriteOnly);
        WriteINI(u"Project Defaults"_s, u"MultiUser"_s, u"Single User"_s, project);
        const QString other = disk.path(u"p/Other.kpj"_s);
        QFile::copy(project, other);
        {
            ScrivoServer server(home);
            server.RegisterProject(project);
            server.RegisterProject(other);
            server.SetDefaultUserName(u"anna"_s);
            server.ProjectHandler().SetActiveProject(project);
        }
        const QString path = disk.path(file);
        if (writer == Writer::TextReport)
            WriteTextReportFile(path, SomeRows());
        if (writer == Writer::Spreadsheet)
            WriteSpreadsheetReportFile(path, SomeRows());
        if (writer == Writer::ErrorLogLines) {
            ErrorLog log(path);
            log.Append(u"/p/old.kpt"_s);
            log.Flush();
        }
        const QByteArray before = ReadBytes(path);
        QVERIFY(!before.isEmpty());
        const QStringList folderBefore = FolderEntries(QFileInfo(path).path());
        disk.Fill();

        QString failure;
        const auto failureOf = [&failure](const std::function<void()> &write) {
            try {
                write();
            } catch (const FileError &error) {
                failure = error.File + u": "_s + error.Reason;
            } catch (const ServerError &error) {
                failure = error.description;
            }
        };
        switch (writer) {
        case Writer::ScrivoUser: {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(u"KORVEX_SCRIVO_HOME"_s, home);
            const ToolResult result = RunScrivo({u"user"_s, u"bob"_s}, 30000, environment);
            QCOMPARE(result.exitCode, 1);
            failure = result.err;
            break;
        }
        case Writer::ProjectPick:
            failureOf([&] { ScrivoServer(home).ProjectHandler().SetActiveProject(other); });
            break;
        case Writer::ProjectFile:
            failureOf([&] { WriteINI(u"Workspace"_s, u"Workspace"_s, QString(4096, u'w'), path); });
            break;
        case Writer::WorkingProject:
            failureOf([&] { BuildWorkingProject(project, true, project); });
            // The file that could not be made is named, not its source.
            QVERIFY2(failure.contains(WorkingProjectName()), qPrintable(failure));
            break;
        case Writer::TextReport:
            failureOf([&] { WriteTextReportFile(path, SomeRows() + SomeRows()); });
            break;
        case Writer::Spreadsheet:
            failureOf([&] { WriteSpreadsheetReportFile(path, SomeRows() + SomeRows()); });
            break;
        case Writer::ErrorLogLines: {
            ErrorLog log(path);
            for (int i = 0; i < 500; ++i)
                log.Append(u"/p/"_s + QString(100, u'n') + u".kpt"_s);
            log.Flush();
            failure = log.WriteError();
            break;
        }
        }
        QVERIFY2(failure.contains(u"No space left on device"_s), qPrintable(failure));
        if (writer != Writer::WorkingProject)
            QVERIFY2(failure.contains(path), qPrintable(failure));
        QCOMPARE(ReadBytes(path), before);
        QCOMPARE(FolderEntries(QFileInfo(path).path()), folderBefore);
    }
};

QTEST_GUILESS_MAIN(TestSystem)
#include "tst_system.moc"
