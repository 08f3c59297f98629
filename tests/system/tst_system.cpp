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

#include <QDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestSystem : public QObject
{
    Q_OBJECT

private slots:
    void fullDiskLeavesEveryFileAsItWas()
    {
        SmallDisk disk;
        QVERIFY2(disk.mounted(), "a tmpfs could not be mounted (tests run as root)");
        const QString home = disk.path(u"home"_s);
        const QString project = disk.path(u"p/Main.kpj"_s);
        const QString other = disk.path(u"p/Other.kpj"_s);
        for (const QString &folder : {u"home"_s, u"p"_s, u"r"_s, u"state"_s})
            QDir().mkpath(disk.path(folder));
        WriteINI(u"Project Defaults"_s, u"MultiUser"_s, u"Single User"_s, project);
        QFile::copy(project, other);
        {
            ScrivoServer server(home);
            server.RegisterProject(project);
            server.ProjectHandler().SetActiveProject(project);
        }
        const QList<ReportRow> rows(200, {u"anna"_s, u"t"_s, u"a.kpt"_s, u"/p"_s, u"A"_s, u"3"_s});
        WriteTextReportFile(disk.path(u"r/list.txt"_s), rows);
        WriteSpreadsheetReportFile(disk.path(u"r/list.xls"_s), rows);
        ErrorLog log(disk.path(u"state/Error.log"_s));
        log.Append(u"/p/old.kpt"_s);
        log.Flush();
        QMap<QString, QByteArray> before;
        for (const QString &file : {u"home/server.ini"_s, u"p/Main.kpj"_s, u"r/list.txt"_s,
                                    u"r/list.xls"_s, u"state/Error.log"_s})
            before.insert(disk.path(file), ReadBytes(disk.path(file)));
        const QStringList folders{FolderEntries(home) + FolderEntries(disk.path(u"p"_s)) +
                                  FolderEntries(disk.path(u"r"_s)) +
                                  FolderEntries(disk.path(u"state"_s))};
        disk.Fill();

        // Each writer, and the file whose name its failure must give.
        QProcessEnvironment inHome = QProcessEnvironment::systemEnvironment();
        inHome.insert(u"KORVEX_SCRIVO_HOME"_s, home);
        const QList<std::pair<QString, std::function<QString()>>> writers{
            {u"home/server.ini"_s,
             [&] {
                 return RunScrivo({u"user"_s, u"bob"_s}, 30000, inHome).err;
             }},
            {u"home/server.ini"_s,
             [&] {
                 return FailureOf(
                     [&] { ScrivoServer(home).ProjectHandler().SetActiveProject(other); });
             }},
            {u"p/Main.kpj"_s,
             [&] {
                 return FailureOf([&] { WriteINI(u"W"_s, u"k"_s, QString(8192, u'w'), project); });
             }},
            {u"p/"_s + WorkingProjectName(),
             [&] { return FailureOf([&] { BuildWorkingProject(project, true, project); }); }},
            {u"r/list.txt"_s,
             [&] {
                 return FailureOf(
                     [&] { WriteTextReportFile(disk.path(u"r/list.txt"_s), rows + rows); });
             }},
            {u"r/list.xls"_s,
             [&] {
                 return FailureOf(
                     [&] { WriteSpreadsheetReportFile(disk.path(u"r/list.xls"_s), rows + rows); });
             }},
            {u"state/Error.log"_s,
             [&] {
                 for (int i = 0; i < 500; ++i)
                     log.Append(u"/p/"_s + QString(100, u'n') + u".kpt"_s);
                 log.Flush();
                 return log.WriteError();
             }},
        };
        for (const auto &[file, write] : writers) {
            const QString failure = write();
            QVERIFY2(failure.contains(disk.path(file)) &&
                         failure.contains(u"No space left on device"_s),
                     qPrintable(file + u": "_s + failure));
        }
        for (auto file = before.cbegin(); file != before.cend(); ++file)
            QCOMPARE(ReadBytes(file.key()), file.value());
        QCOMPARE(FolderEntries(home) + FolderEntries(disk.path(u"p"_s)) +
                     FolderEntries(disk.path(u"r"_s)) + FolderEntries(disk.path(u"state"_s)),
                 folders);
    }
};

QTEST_GUILESS_MAIN(TestSystem)
#include "tst_system.moc"
