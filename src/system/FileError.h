#pragma once

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

// The operating system's text for an errno value.
QString SystemReason(int error);
