#pragma once

#include <QByteArray>
#include <QString>
#include <stdexcept>

// A file that could not be read or written: which file, and the operating system's reason
// ("No space left on device") or a plain one ("it is a folder"). Every read and write of the
// programs' own files reports failure this way.
class FileError : public std::runtime_error
{
public:
    FileError(QString file, QString reason)
        : std::runtime_error(QString(file + QStringLiteral(": ") + reason).toStdString()),
          File(std::move(file)), Reason(std::move(reason))
    {
    }

    QString File;
    QString Reason;
};

// The operating system's text for an errno value; where it means that a network file
// system's server cannot be reached, "the share is not reachable (<text>)".
QString SystemReason(int error);
// Why path is not there (error: ENOENT or ENOTDIR): the system's text, or that the share it
// was on is no longer mounted (an sshfs client that lost its connection unmounts itself, and
// the folder it was mounted on is then empty).
QString MissingReason(const QByteArray &path, int error);
