#pragma once

#include "projects/IniFile.h"

#include <QString>
#include <QStringList>
#include <functional>

// The Scrivo home folder: server.ini with the default user name, the active project, the
// major version and the registered projects, and Default.kpj, the fallback project.
// Every read goes to the file, so several processes see each other's changes at once.
// Writes are serialised between processes with a lock file and replace server.ini in one
// step. Failures throw ServerError.
class ScrivoHome
{
public:
    explicit ScrivoHome(QString homeFolder);

    // Creates the folder and Default.kpj when missing.
    void SetUp() const;

    QString Folder() const { return folder; }
    QString ServerIni() const;
    QString DefaultProject() const;

    // "" when server.ini has no such value.
    QString Value(const QString &key) const;
    // Writes one value of section "Server"; a write that changes nothing is skipped.
    void SetValue(const QString &key, const QString &value) const;

    QStringList Projects() const;
    void RegisterProject(const QString &projectFile) const;
    void UnregisterProject(const QString &projectFile) const;

    // The active project file; Default.kpj when none is set.
    QString ActiveProject() const;
    // "" activates Default.kpj; any other path must name an existing file.
    void SetActiveProject(const QString &projectFile) const;

    int MajorVersion() const;
    // The mode the active project file names in "Project Defaults" / "MultiUser".
    int MultiUserMode() const;

private:
    QString folder;

    void EnsureDefaultProject() const;
    // Holding the lock, asks for the changes to make to server.ini (read it as it is now)
    // and makes them all in one step; no changes, no write.
    void Edit(const std::function<QList<IniChange>()> &changesToMake) const;
};

// A path given on a command line or by a caller: absolute paths stay exactly as they are,
// relative ones are taken relative to the current folder.
QString AbsolutePathOf(const QString &path);
