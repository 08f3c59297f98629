#pragma once

#include <QByteArray>
#include <QString>

// The log of documents a search could not read: "Error.log" in
// $XDG_STATE_HOME/korvex-brevant/ (default ~/.local/state/korvex-brevant/). Each line is
// "File has created Error: " and the full name, ended by CR LF; the name is written as the
// bytes it has on disk. The folder and the file are created when missing.
class ErrorLog
{
public:
    ErrorLog();
    explicit ErrorLog(QString path);

    static QString DefaultPath();
    QString Path() const { return path; }

    // Takes one line; it is written by the next Flush.
    void Append(const QString &fullName);
    // Appends the lines taken since the last Flush in one checked write. A log that cannot be
    // written is no reason to stop a search: those lines are lost and the reason is kept.
    void Flush();

    // Why lines were lost ("<file>: <reason>"), "" while every line got in.
    QString WriteError() const { return writeError; }

    // What a search says of `failed` documents it could not read: where the log names them,
    // or why the log could not take them.
    QString FailuresText(int failed) const;

private:
    QString path;
    QByteArray pending;
    QString writeError;
};
