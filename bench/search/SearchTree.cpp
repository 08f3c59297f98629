#include "SearchTree.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool fail(const QByteArray &path)
{
    std::fprintf(stderr, "cannot write %s: %s\n", path.constData(), std::strerror(errno));
    return false;
}

bool writeFile(const QByteArray &path, const QByteArray &content)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return fail(path);
    const bool written =
        ::write(fd, content.constData(), size_t(content.size())) == ssize_t(content.size());
    return ::close(fd) == 0 && written ? true : fail(path);
}

bool makeFolder(const QByteArray &path)
{
    return ::mkdir(path.constData(), 0755) == 0 || errno == EEXIST ? true : fail(path);
}

const char *const documentExtensions[] = {".kpt", ".kpt", ".kpt", ".kam", ".kdw"};
const char *const otherExtensions[] = {".txt", ".kpn", ".bak", ".dwg", ".log", ".kpt.old"};

// Scrivo metadata with a little padding, so a document is a few hundred bytes. An assembly
// uses the three parts before it in its folder, a drawing the assembly before it.
QByteArray documentText(const QByteArray &name, int number)
{
    QByteArray text = "[Document]\nDisplayName=" + name +
                      "\nVersion=" + QByteArray::number(1 + number % 7) + '\n';
    if (name.endsWith(".kam")) {
        text += "[References]\n";
        for (int part = 0; part < 3; ++part)
            text += "Part" + QByteArray::number(part) + "=doc" +
                    QByteArray::number(number - 3 + part) + ".kpt\n";
    } else if (name.endsWith(".kdw")) {
        text += "[References]\nView=doc" + QByteArray::number(number - 1) + ".kam\n";
    }
    text += "[Notes]\nText=";
    text += QByteArray(300 + number % 400, 'x');
    text += '\n';
    return text;
}

QByteArray reservationText(int number)
{
    const QDateTime time = QDateTime(QDate(2026, 1, 1), QTime(8, 0)).addSecs(number * 61);
    return "[Reservation]\nBy=user" + QByteArray::number(number % 5) +
           "\nTime=" + time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODate).toUtf8() +
           "\nVersion=" + QByteArray::number(1 + number % 7) + "\n";
}

bool fillFolder(const QByteArray &folder, const SearchTreeShape &shape, SearchTreeCounts &counts)
{
    for (int i = 0; i < shape.documentsPerFolder; ++i) {
        const int number = counts.documents;
        const QByteArray name = "doc" + QByteArray::number(number) +
                                documentExtensions[number % int(std::size(documentExtensions))];
        if (!writeFile(folder + '/' + name, documentText(name, number)))
            return false;
        ++counts.documents;
        if (i < shape.reservedPerFolder) {
            if (!writeFile(folder + "/." + name + ".reservation", reservationText(number)))
                return false;
            ++counts.reserved;
            ++counts.otherFiles;
        }
    }
    const int others = shape.otherFilesPerFolder;
    for (int i = 0; i < others; ++i) {
        const QByteArray name = "file" + QByteArray::number(counts.otherFiles) +
                                otherExtensions[i % int(std::size(otherExtensions))];
        if (!writeFile(folder + '/' + name, QByteArray(64 + i, 'o')))
            return false;
        ++counts.otherFiles;
    }
    return true;
}

} // namespace

bool WriteSearchTree(const QString &root, const SearchTreeShape &shape, SearchTreeCounts &counts)
{
    counts = {};
    const QByteArray top = QFile::encodeName(root);
    if (!makeFolder(top))
        return false;
    for (int a = 0; a < shape.areas; ++a) {
        const QByteArray area = top + "/area" + QByteArray::number(a);
        if (!makeFolder(area) || !fillFolder(area, shape, counts))
            return false;
        ++counts.folders;
        for (int c = 0; c < shape.cellsPerArea; ++c) {
            const QByteArray cell = area + "/cell" + QByteArray::number(c);
            if (!makeFolder(cell) || !fillFolder(cell, shape, counts))
                return false;
            ++counts.folders;
        }
    }
    if (shape.wideFolderEntries > 0) {
        SearchTreeShape wide;
        wide.documentsPerFolder = shape.wideFolderEntries / 5;
        wide.reservedPerFolder = wide.documentsPerFolder / 10;
        wide.otherFilesPerFolder =
            shape.wideFolderEntries - wide.documentsPerFolder - wide.reservedPerFolder;
        if (!makeFolder(top + "/wide") || !fillFolder(top + "/wide", wide, counts))
            return false;
        ++counts.folders;
    }
    QByteArray deep = top;
    for (int level = 0; level < shape.depth; ++level, ++counts.folders)
        if (!makeFolder(deep += "/d"))
            return false;
    SearchTreeShape leaf;
    leaf.documentsPerFolder = 1;
    leaf.reservedPerFolder = leaf.otherFilesPerFolder = 0;
    return shape.depth == 0 || fillFolder(deep, leaf, counts);
}
