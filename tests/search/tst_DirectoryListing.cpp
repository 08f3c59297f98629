#include "platform/DirectoryListing.h"

#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

void makeFolder(const QByteArray &path)
{
    QVERIFY2(::mkdir(path.constData(), 0755) == 0, path.constData());
}

void makeFile(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    QVERIFY2(fd >= 0, path.constData());
    ::close(fd);
}

void makeLink(const QByteArray &target, const QByteArray &path)
{
    QVERIFY2(::symlink(target.constData(), path.constData()) == 0, path.constData());
}

} // namespace

class TestDirectoryListing : public QObject
{
    Q_OBJECT

private slots:
    void entriesComeInByteOrderWithTheirType()
    {
        QTemporaryDir dir;
        const QByteArray root = QFile::encodeName(dir.path()) + '/';
        for (const char *name : {"z", "b", "B", "a.kpt", "\xc3\xa4", ".hidden"})
            makeFile(root + name);
        makeFolder(root + "sub");
        makeLink("sub", root + "tosub");
        makeLink("a.kpt", root + "tofile");
        makeLink("gone", root + "dangling");

        const DirectoryListing listing = DirectoryListing::Read(dir.path());
        QVERIFY(listing.IsOpen());
        QList<QByteArray> names;
        QList<QByteArray> folders;
        for (const DirectoryEntry &entry : listing.Entries()) {
            names.append(entry.RawName);
            if (entry.IsFolder)
                folders.append(entry.RawName);
        }
        QCOMPARE(names, (QList<QByteArray>{".hidden", "B", "a.kpt", "b", "dangling", "sub",
                                           "tofile", "tosub", "z", "\xc3\xa4"}));
        QCOMPARE(folders, (QList<QByteArray>{"sub", "tosub"}));
        QCOMPARE(listing.Entries().back().Name(), u"ä"_s);
    }

    void folderIdentityIsTheSameThroughALink()
    {
        QTemporaryDir dir;
        const QByteArray root = QFile::encodeName(dir.path()) + '/';
        makeFolder(root + "real");
        makeFolder(root + "other");
        makeLink(root + "real", root + "alias");

        const FolderIdentity real = DirectoryListing::Read(dir.filePath(u"real"_s)).Identity();
        struct stat info;
        QCOMPARE(::stat(QByteArray(root + "real").constData(), &info), 0);
        QCOMPARE(real.Device, static_cast<quint64>(info.st_dev));
        QCOMPARE(real.Inode, static_cast<quint64>(info.st_ino));
        QCOMPARE(DirectoryListing::Read(dir.filePath(u"alias"_s)).Identity(), real);
        QVERIFY(DirectoryListing::Read(dir.filePath(u"other"_s)).Identity() != real);
    }

    void folderThatCannotBeListedGivesAnError()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(u"plain.kpt"_s);
        makeFile(QFile::encodeName(file));
        for (const QString &path : {file, dir.filePath(u"missing"_s), QString()}) {
            const DirectoryListing listing = DirectoryListing::Read(path);
            QVERIFY2(!listing.IsOpen(), qPrintable(path));
            QVERIFY(!listing.ErrorText().isEmpty());
            QVERIFY(listing.Entries().empty());
        }
    }

    void namesDecodeAndEncodeBackToTheSameBytes()
    {
        const QList<QByteArray> names{"plain.kpt",
                                      "Gr\xc3\xbc\xc3\x9f"
                                      "e.kpt",
                                      "caf\xe9",               // Latin-1
                                      "\x80lead",              // lone continuation byte
                                      "over\xc0\xaflong",      // overlong "/"
                                      "sur\xed\xa0\x80rogate", // encoded surrogate
                                      "big\xf4\x90\x80\x80",   // above U+10FFFF
                                      "cut\xe2\x82",           // sequence cut off at the end
                                      "emoji\xf0\x9f\x98\x80", // four-byte character
                                      "repl\xef\xbf\xbd",      // U+FFFD itself is valid
                                      "\xff\xfe\xfd"};
        for (const QByteArray &raw : names) {
            const QString decoded = DecodeFileName(raw);
            QCOMPARE(EncodeFileName(decoded), raw);
            if (QString::fromUtf8(raw).toUtf8() == raw)
                QCOMPARE(decoded, QFile::decodeName(raw));
            else
                QVERIFY(decoded != QFile::decodeName(raw));
        }
        // An escaped byte right after a real four-byte character stays a byte.
        QCOMPARE(EncodeFileName(QString::fromUtf8("\xf0\x9f\x98\x80") + QChar(0xDCE9)),
                 QByteArray("\xf0\x9f\x98\x80\xe9"));
    }

    void folderWithNameThatIsNotUtf8CanBeListed()
    {
        QTemporaryDir dir;
        const QByteArray folder = QFile::encodeName(dir.path()) + "/caf\xe9";
        const QByteArray file = folder + "/d\xe9.kpt";
        makeFolder(folder);
        makeFile(file);
        // QTemporaryDir cannot remove names that are not UTF-8.
        const auto cleanup = qScopeGuard([&] {
            ::unlink(file.constData());
            ::rmdir(folder.constData());
        });
        const DirectoryListing listing = DirectoryListing::Read(DecodeFileName(folder));
        QVERIFY(listing.IsOpen());
        QCOMPARE(listing.Entries().size(), size_t(1));
        QCOMPARE(listing.Entries().front().RawName, QByteArray("d\xe9.kpt"));
    }
};

int runDirectoryListingTests(int argc, char **argv)
{
    TestDirectoryListing test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_DirectoryListing.moc"
