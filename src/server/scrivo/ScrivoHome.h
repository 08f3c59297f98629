#pragma once

#include "projects/IniFile.h"
#include "server/DocumentServer.h"

#include <QString>
#include <QStringList>
#include <functional>

// The Scrivo home folder: server.ini with the default user name, the active project, the
// major version and the registered projects, and Default.kpj, the fallback project.
// Every read goes to the file, so several processes see each other's changes at once.
// Writes are serialised between processes with a lock file and replace server.ini in one
// step. A server.ini that is there but cannot be read is an error, never an empty file.
// Failures throw ServerError.
class ScrivoHome
{
public:
    explicit ScrivoHome(QString homeFolder);

    // Creates the folder and Default.kpj when missing, and checks that server.ini can be
    // read.
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

    // The active project file; Default.kpj when none is set or the one set no longer exists.
    QString ActiveProject() const;
    // The active project file that is set but no longer exists, "" when there is none.
    QString MissingActiveProject() const;
    // "" activates Default.kpj; any other path must name an existing project file. A change
    // is refused while a run of another program has the run turn (see TakeRunTurn).
    void SetActiveProject(const QString &projectFile) const;

    // The run turn of the home: a lock on "run.lock" that every user sharing the home can
    // take. While a process holds it, the active project changes only by that process.
    RunTurnPtr TakeRunTurn(const std::function<bool()> &waiting) const;

    int MajorVersion() const;
    // The mode the active project file names in "Project Defaults" / "MultiUser".
    int MultiUserMode() const;

    // A project file's INI text; a file that cannot be read throws ServerError naming it.
    static IniDocument ProjectDocument(const QString &projectFile);

private:
    QString folder;

    IniDocument ServerSettings() const;
    QString RunLock() const;
    void EnsureDefaultProject() const;
    // Holding the lock, asks for the changes to make to server.ini (read it as it is now)
    // and makes them all in one step; no changes, no write.
    void Edit(const std::function<QList<IniChange>(const IniDocument &settings)> &changes) const;
};

// A path given on a command line or by a caller: relative paths are taken relative to the
// current folder, and the result is cleaned ("/p/../p//A.kpj" is "/p/A.kpj"). Links are not
// resolved.
QString AbsolutePathOf(const QString &path);
