// Every file the programs write, on a disk that is full: the old file stays byte for byte,
// no private file is left, and the failure names the file and the system's reason. Names
// that are not UTF-8 reach the same bytes again; a lock another holder keeps is refused.

#include "Hostile.h"
#include "TestFiles.h"

#include "projects/IniFile.h"
#include "projects/WorkingProject.h"
#include "reports/SpreadsheetReport.h"
#include "reports/TextReport.h"
#include "search/ErrorLog.h"
#include "server/scrivo/ScrivoServer.h"
#include "system/BesideEvents.h"
#include "system/FileError.h"
#include "system/FileLock.h"
#include "system/FileNames.h"
#include "system/FileWrite.h"

#include <QScopeGuard>
#include <sys/mount.h>

class TestSystem : public QObject
{
    Q_OBJECT

private slots:
    void fileNamesGiveBackTheirBytes_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<bool>("utf8");
        // UTF-8 of one to four bytes a character; then Latin-1, a lone continuation byte,
        // sequences of two, three and four bytes cut short or overlong, a surrogate, a character
        // above U+10FFFF, a bad continuation byte, and the UTF-8 of the character a stray byte
        // is escaped as.
        const QByteArrayList utf8{"Welle.kpt", "Gr\xc3\xbc\xc3\x9fx", "\xe2\x82\xac\xe0\xa0\x80",
                                  "\xf0\x9f\x94\xa9\xf4\x8f\xbf\xbf"};
        const QByteArrayList other{"Gr\xfc\xdf.kpt",   "a\x80z",           "a\xc3",
                                   "\xc0\xaf",         "\xe0\x80\xaf",     "\xe2\x82",
                                   "\xf0\x80\x80\xaf", "\xf0\x9f\x94",     "\xed\xa0\x80",
                                   "\xf4\x90\x80\x80", "\xf0\x9f\x41\xa9", "\xed\xb2\x80"};
        for (const QByteArray &raw : utf8 + other)
            QTest::addRow("%s", raw.toHex(' ').constData()) << raw << utf8.contains(raw);
    }

    void fileNamesGiveBackTheirBytes()
    {
        QFETCH(QByteArray, raw);
        QFETCH(bool, utf8);
        const QString name = DecodeFileName(raw);
        QCOMPARE(EncodeFileName(name), raw);
        if (utf8)
            QCOMPARE(name, QString::fromUtf8(raw));
        // The text written into the name, escapes included, is the name again.
        QCOMPARE(EncodeFileName(u"/p/"_s + name + u".kpt"_s), "/p/" + raw + ".kpt");
    }

    void writesRefuseWhatIsNoRegularFile()
    {
        // Rows of writer, what is at the path, and the reason told; nothing else changes.
        TestEnvironment env;
        const QList<std::tuple<void (*)(const QString &, const QByteArray &), QString, QString>>
            cases{{ReplaceFile, u"fifo"_s, u"it is not a regular file"_s},
                  {ReplaceFile, u"folder"_s, u"it is a folder"_s},
                  {AppendToFile, u"device"_s, u"it is not a regular file"_s},
                  {AppendToFile, u"fifo"_s, u"No such device or address"_s},
                  {CreateNewFile, u"dangling link"_s, u"something else is already there"_s},
                  {[](const QString &path, const QByteArray &) { RemoveFile(path); }, u"folder"_s,
                   u"Is a directory"_s}};
        for (const auto &[write, kind, reason] : cases) {
            const QString path = env.path(u"node"_s);
            MakeNode(kind, path);
            const QStringList before = FolderEntries(env.root());
            QCOMPARE(FailureOf([&] { write(path, "text"); }), path + u": "_s + reason);
            QCOMPARE(FolderEntries(env.root()), before);
            QVERIFY(QFile::remove(path) || QDir(path).removeRecursively());
        }
        RemoveFile(env.path(u"missing"_s)); // a missing file is no failure
    }

    void aLockHeldElsewhereIsRefusedAfterItsWait()
    {
        TestEnvironment env;
        const QString lockPath = env.path(u"server.ini.lock"_s);
        {
            const FileLock held(lockPath, 100);
            const QString failure = FailureOf([&] { FileLock second(lockPath, 50); });
            QVERIFY2(failure.contains(u"it is locked by another process"_s), qPrintable(failure));
        }
        QVERIFY(!QFile::exists(lockPath));
        const FileLock again(lockPath, 50);
        QVERIFY(QFile::exists(lockPath));
    }

    void workBesideEventsBringsBackWhatItThrew()
    {
        // (That events go on meanwhile is the reservation tests': their Cancel button is
        // clicked while a run waits.) What the work threw comes back as the reason: a file's
        // failure as it tells itself, anything else as unexpected.
        QCOMPARE(RunBesideEvents([] { throw FileError(u"/p/a.kpt"_s, u"No space left"_s); }),
                 u"/p/a.kpt: No space left"_s);
        QCOMPARE(RunBesideEvents([] { throw 42; }), u"an unexpected failure"_s);
    }

    void fullDiskLeavesEveryFileAsItWas()
    {
        // A tmpfs of a few hundred KiB (tests run as root).
        const QTemporaryDir dir;
        const QByteArray mountPoint = QFile::encodeName(dir.path());
        QVERIFY2(::mount("tmpfs", mountPoint, "tmpfs", 0, "size=512k,nr_inodes=4096") == 0,
                 "a tmpfs could not be mounted (tests run as root)");
        const auto unmount = qScopeGuard([&] { ::umount2(mountPoint, MNT_DETACH); });
        const auto at = [&](const QString &relative) { return dir.filePath(relative); };
        const QString home = at(u"home"_s);
        const QString project = at(u"p/Main.kpj"_s), other = at(u"p/Other.kpj"_s);
        const QStringList folders{u"home"_s, u"p"_s, u"r"_s, u"state"_s, u"new"_s};
        for (const QString &folder : folders)
            QDir().mkpath(at(folder));
        WriteINI(u"Project Defaults"_s, u"MultiUser"_s, u"Shared"_s, project);
        QFile::copy(project, other);
        const QString doc = WriteScrivoDocument(at(u"p/doc.kpt"_s), u"D"_s);
        ScrivoServer(home).ProjectHandler().SetActiveProject(project);
        const QList<ReportRow> rows(200, {u"anna"_s, u"t"_s, u"a.kpt"_s, u"/p"_s, u"A"_s, u"3"_s});
        WriteTextReportFile(at(u"r/list.txt"_s), rows);
        WriteSpreadsheetReportFile(at(u"r/list.xls"_s), rows);
        ErrorLog log(at(u"state/Error.log"_s));
        log.Append(u"/p/old.kpt"_s);
        log.Flush();
        // Every entry of the folders with the bytes it holds.
        const auto entries = [&] {
            QByteArrayList all;
            for (const QString &folder : folders)
                for (const QString &name : FolderEntries(at(folder)))
                    all << name.toUtf8() + '\t' + ReadBytes(at(folder + u'/' + name));
            return all;
        };
        const QByteArrayList before = entries();
        QFile filler(at(u".filler"_s));
        filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        for (const int size : {4096, 1}) // then the last bytes that fit
            while (filler.write(QByteArray(size, 'f')) > 0) {
            }

        // Each writer fails naming its file and the system's reason.
        const auto told = [&](const QString &file, const QString &failure) {
            QVERIFY2(failure.contains(at(file)) && failure.contains(u"No space left on device"_s),
                     qPrintable(file + u": "_s + failure));
        };
        told(u"home/server.ini"_s,
             FailureOf([&] { ScrivoServer(home).ProjectHandler().SetActiveProject(other); }));
        told(u"new/Default.kpj"_s, FailureOf([&] { ScrivoServer{at(u"new"_s)}; }));
        told(u"p/Main.kpj"_s,
             FailureOf([&] { WriteINI(u"W"_s, u"k"_s, QString(8192, u'w'), project); }));
        told(u"p/doc.kpt"_s, FailureOf([&] { ScrivoServer(home).OpenDocument(doc)->Reserve(); }));
        told(u"p/"_s + WorkingProjectName(),
             FailureOf([&] { BuildWorkingProject(project, true, project); }));
        told(u"r/list.txt"_s,
             FailureOf([&] { WriteTextReportFile(at(u"r/list.txt"_s), rows + rows); }));
        told(u"r/list.xls"_s,
             FailureOf([&] { WriteSpreadsheetReportFile(at(u"r/list.xls"_s), rows + rows); }));
        for (int i = 0; i < 500; ++i)
            log.Append(u"/p/"_s + QString(100, u'n') + u".kpt"_s);
        log.Flush();
        told(u"state/Error.log"_s, log.WriteError());
        QCOMPARE(entries(), before);
    }
};

QTEST_GUILESS_MAIN(TestSystem)
#include "tst_system.moc"
