#include "projects/FileFunctions.h"

#include <QDir>

namespace {

// A trailing separator names the same folder ("/p/dir/" is "/p/dir"); the root stays "/".
QString WithoutTrailingSeparators(const QString &path)
{
    qsizetype end = path.size();
    while (end > 1 && path.at(end - 1) == u'/')
        --end;
    return path.left(end);
}

} // namespace

QString ParentFolderOf(const QString &path)
{
    const QString trimmed = WithoutTrailingSeparators(path);
    const qsizetype separator = trimmed.lastIndexOf(u'/');
    if (separator < 0 || trimmed == QStringLiteral("/"))
        return QString();
    const QString parent = WithoutTrailingSeparators(trimmed.left(separator));
    return parent.isEmpty() ? QStringLiteral("/") : parent;
}

QString JoinPath(const QString &folder, const QString &name)
{
    if (folder.isEmpty())
        return name;
    if (folder.endsWith(u'/'))
        return folder + name;
    return folder + u'/' + name;
}

QString FileNameOf(const QString &path)
{
    const QString trimmed = WithoutTrailingSeparators(path);
    if (trimmed == QStringLiteral("/"))
        return QString();
    return trimmed.mid(trimmed.lastIndexOf(u'/') + 1);
}

QString ProjectFilePath(const QString &value, const QString &projectFile)
{
    if (value.isEmpty())
        return QString();
    QString path = value;
    path.replace(u'\\', u'/');
    if (QDir::isAbsolutePath(path))
        return QDir::cleanPath(path);
    const QString folder = ParentFolderOf(projectFile);
    if (folder.isEmpty())
        return QDir::cleanPath(path);
    return QDir::cleanPath(folder + u'/' + path);
}
