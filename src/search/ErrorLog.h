#pragma once

#include <QByteArray>
#include <QString>

// The log of documents a search could not read: "Error.log" in
// $XDG_STATE_HOME/korvex-brevant/ (default ~/.local/state/korvex-brevant/). Each line is
// "File has created Error: " and the full name, ended by CR LF; the name is written as the
// bytes it has on disk, its control characters and backslashes escaped ("\r", "\n", "\t",
// "\\", "\xHH"). The folder and the file are created when missing; a log over 1 MiB is moved
// to "Error.log.1" first.
class ErrorLog
{
public:
    explicit ErrorLog(QString path = DefaultPath());

    static QString DefaultPath();

    // Takes one line; it is written by the next Flush.
    void Append(const QString &fullName);
    // Appends the lines taken since the last Flush in one checked write. A log that cannot be
    // written is no reason to stop a search: those lines are lost and the reason is kept.
    void Flush();

    // Why lines were lost ("<file>: <reason>"), "" while every line got in.
    QString WriteError() const { return writeError; }

    // What a search says of the documents it could not read and the folders it could not
    // list: where the log names them, or why the log could not take them.
    QString FailuresText(int failedDocuments, int failedFolders = 0) const;

private:
    QString path;
    QByteArray pending;
    QString writeError;
};
