#pragma once

#include <QString>

// The path without its last component and the separator before it ("/p/a.kpj" -> "/p");
// a file in the root folder gives "/". A bare name gives "".
QString ParentFolderOf(const QString &path);

// The last component of the path ("/p/a.kpj" -> "a.kpj").
QString FileNameOf(const QString &path);

// name in folder: "/p" + "a.kpt" -> "/p/a.kpt", "/" + "a.kpt" -> "/a.kpt", "" + "a.kpt" ->
// "a.kpt".
QString JoinPath(const QString &folder, const QString &name);

// A path read from a project file: a backslash is a separator, and a relative path is
// taken relative to the project file's folder. "" stays "".
QString ProjectFilePath(const QString &value, const QString &projectFile);
