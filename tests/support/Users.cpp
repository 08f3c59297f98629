#include "Users.h"

#include "Hostile.h"

#include <QDir>
#include <QFile>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

bool Succeeds(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    return FinishTool(process, 120000).exitCode == 0;
}

} // namespace

TestUsers::TestUsers()
{
    const QString stem = u"brv%1"_s.arg(::getpid());
    group = stem + u'g';
    names[0] = stem + u'a';
    names[1] = stem + u'b';
    if (::geteuid() != 0) {
        problem = u"making test accounts needs root"_s;
        return;
    }
    if (!Succeeds(u"groupadd"_s, {group})) {
        problem = u"groupadd %1 failed"_s.arg(group);
        return;
    }
    for (const QString &name : names)
        if (!Succeeds(u"useradd"_s,
                      {u"-M"_s, u"-U"_s, u"-G"_s, group, u"-s"_s, u"/usr/sbin/nologin"_s, name}))
            problem = u"useradd %1 failed"_s.arg(name);
}

TestUsers::~TestUsers()
{
    for (const QString &name : names)
        Succeeds(u"userdel"_s, {name});
    Succeeds(u"groupdel"_s, {group});
}

uid_t TestUsers::Uid(int user) const
{
    const passwd *entry = ::getpwnam(QFile::encodeName(names[user]).constData());
    return entry ? entry->pw_uid : uid_t(-1);
}

gid_t TestUsers::TeamGroup() const
{
    const struct group *entry = ::getgrnam(QFile::encodeName(group).constData());
    return entry ? entry->gr_gid : gid_t(-1);
}

void TestUsers::MakeTeamFolder(const QString &path, bool sticky) const
{
    QDir().mkpath(path);
    // Every folder above enterable, so the accounts reach it.
    for (QString above = QFileInfo(path).absolutePath(); above != u"/";
         above = QFileInfo(above).absolutePath()) {
        struct stat st;
        const QByteArray native = QFile::encodeName(above);
        if (::stat(native.constData(), &st) == 0)
            ::chmod(native.constData(), (st.st_mode & 07777) | 0111);
    }
    const QByteArray native = QFile::encodeName(path);
    if (::chown(native.constData(), 0, TeamGroup()) != 0 ||
        ::chmod(native.constData(), 02775 | (sticky ? 01000 : 0)) != 0)
        qWarning("the team folder %s could not be set up", native.constData());
}

void TestUsers::Start(QProcess &process, int user, int umask, const QString &program,
                      const QStringList &arguments, const QProcessEnvironment &environment) const
{
    // setpriv takes the account's own and its supplementary groups; the shell sets the umask
    // and becomes the program.
    const QString shell = u"umask %1 && exec \"$0\" \"$@\""_s.arg(umask, 3, 8, QLatin1Char('0'));
    process.setProcessEnvironment(environment);
    process.start(u"setpriv"_s,
                  QStringList{u"--reuid="_s + names[user], u"--regid="_s + names[user],
                              u"--init-groups"_s, u"--"_s, u"/bin/sh"_s, u"-c"_s, shell, program} +
                      arguments);
}
