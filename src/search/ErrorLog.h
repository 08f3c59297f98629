#pragma once

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

    // Appends one line. A log that cannot be written is no reason to stop a search: the
    // failure is counted and false returned.
    bool Append(const QString &fullName);

    int LinesWritten() const { return linesWritten; }
    int WriteFailures() const { return writeFailures; }

private:
    QString path;
    int linesWritten = 0;
    int writeFailures = 0;
};
