#pragma once

#include <QString>
#include <QTemporaryDir>

// A private Scrivo home and XDG state folder inside a temporary folder, set in the
// environment for as long as the object lives, so no test touches the real home folder.
class TestEnvironment
{
public:
    TestEnvironment();
    ~TestEnvironment();
    TestEnvironment(const TestEnvironment &) = delete;
    TestEnvironment &operator=(const TestEnvironment &) = delete;

    QString root() const { return dir.path(); }
    QString scrivoHome() const { return dir.path() + QStringLiteral("/scrivo-home"); }
    QString stateHome() const { return dir.path() + QStringLiteral("/state"); }
    // A path below the temporary folder.
    QString path(const QString &relative) const { return dir.filePath(relative); }

    // Writes a file (creating its folders) and returns its full path.
    QString writeFile(const QString &relative, const QByteArray &content) const;

private:
    QTemporaryDir dir;
    QByteArray oldScrivoHome;
    QByteArray oldStateHome;
};
