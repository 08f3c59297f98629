#include "reserve/RunJournal.h"

#include "projects/FileFunctions.h"
#include "reports/TabSeparated.h"
#include "system/FileNames.h"
#include "system/FileRead.h"
#include "system/UserFolders.h"

#include <QDir>
#include <fcntl.h>
#include <unistd.h>

namespace {

// A journal larger than this is not a journal this program wrote.
constexpr qint64 JournalSizeLimit = 64 * 1024 * 1024;

} // namespace

QString RunJournalPath(const QString &workingProject)
{
    return StateFolder() + u'/' + FileNameOf(workingProject) + QStringLiteral(".reserved");
}

RunJournal::RunJournal(const QString &workingProject)
{
    const QString path = RunJournalPath(workingProject);
    QDir().mkpath(StateFolder());
    fd = ::open(EncodeFileName(path).constData(),
                O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0600);
}

RunJournal::~RunJournal()
{
    if (fd >= 0)
        ::close(fd);
}

void RunJournal::Reserved(const QString &holder, const QString &documentPath)
{
    if (fd < 0)
        return;
    const QByteArray line = (Escaped(holder) + u'\t' + Escaped(documentPath) + u'\n').toUtf8();
    const QMutexLocker locked(&lock);
    // One write per line: a kill leaves whole lines, and the kernel keeps what was written
    // when the process dies.
    if (::write(fd, line.constData(), size_t(line.size())) != line.size()) {
        ::close(fd);
        fd = -1;
    }
}

JournalContents ReadRunJournal(const QString &workingProject)
{
    JournalContents contents;
    std::optional<QByteArray> bytes;
    try {
        bytes = ReadRegularFile(RunJournalPath(workingProject), JournalSizeLimit);
    } catch (const std::exception &) {
        // Unreadable or not a file: nothing can be told.
    }
    if (!bytes)
        return contents;
    for (const QByteArray &line : bytes->split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() != 2)
            continue;
        const QString holder = Unescaped(QString::fromUtf8(fields.at(0)));
        if (!contents.Holders.contains(holder))
            contents.Holders.append(holder);
        contents.Documents.append(Unescaped(QString::fromUtf8(fields.at(1))));
        ++contents.Count;
    }
    return contents;
}

void RemoveRunJournal(const QString &workingProject)
{
    ::unlink(EncodeFileName(RunJournalPath(workingProject)).constData());
}
