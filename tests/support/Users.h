#pragma once

#include <QProcess>
#include <sys/types.h>

// Two ordinary accounts and a group for a test run, as teams share folders on a server: each
// account has a group of its own and belongs to the team's group. Made with groupadd and
// useradd when the object is made, under names no real account has ("brv<process>a"),
// removed with it. Programs run as them through setpriv with the umask asked for. Needs root.
class TestUsers
{
public:
    TestUsers();
    ~TestUsers();
    TestUsers(const TestUsers &) = delete;
    TestUsers &operator=(const TestUsers &) = delete;

    bool Ready() const { return problem.isEmpty(); }
    QString Problem() const { return problem; }

    // user 0 or 1.
    QString Name(int user) const { return names[user]; }
    uid_t Uid(int user) const;
    gid_t TeamGroup() const;

    // Makes path (and the folders above it that are missing) a team folder: the team's group,
    // setgid so what is made in it is the group's too, writable by the group; with the sticky
    // bit, only their owners may remove or replace its files. The folders above become
    // enterable by everyone.
    void MakeTeamFolder(const QString &path, bool sticky = false) const;

    // program as user, with the umask and environment given, started in process and left
    // running (FinishTool waits for it).
    void Start(QProcess &process, int user, int umask, const QString &program,
               const QStringList &arguments, const QProcessEnvironment &environment) const;

private:
    QString group;
    QString names[2];
    QString problem;
};
