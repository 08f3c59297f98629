#include "Users.h"

#include <QDir>
#include <QFile>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool Succeeds(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

} // namespace

TestUsers::TestUsers()
{
    const QString stem = QStringLiteral("brv%1").arg(::getpid());
    group = stem + u'g';
    names[0] = stem + u'a';
    names[1] = stem + u'b';
    if (::geteuid() != 0) {
        problem = QStringLiteral("making test accounts needs root");
        return;
    }
    if (!Succeeds(QStringLiteral("groupadd"), {group})) {
        problem = QStringLiteral("groupadd %1 failed").arg(group);
        return;
    }
    for (const QString &name : names)
        if (!Succeeds(QStringLiteral("useradd"),
                      {QStringLiteral("-M"), QStringLiteral("-U"), QStringLiteral("-G"), group,
                       QStringLiteral("-s"), QStringLiteral("/usr/sbin/nologin"), name}))
            problem = QStringLiteral("useradd %1 failed").arg(name);
}

TestUsers::~TestUsers()
{
    for (const QString &name : names)
        Succeeds(QStringLiteral("userdel"), {name});
    Succeeds(QStringLiteral("groupdel"), {group});
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
    process.setProcessEnvironment(environment);
    process.start(
        QStringLiteral("setpriv"),
        QStringList{
            QStringLiteral("--reuid=") + names[user], QStringLiteral("--regid=") + names[user],
            QStringLiteral("--init-groups"), QStringLiteral("--"), QStringLiteral("/bin/sh"),
            QStringLiteral("-c"),
            QStringLiteral("umask %1 && exec \"$0\" \"$@\"").arg(umask, 3, 8, QLatin1Char('0')),
            program} +
            arguments);
}

ToolResult TestUsers::Run(int user, int umask, const QString &program, const QStringList &arguments,
                          const QProcessEnvironment &environment, int timeoutMs) const
{
    QProcess process;
    Start(process, user, umask, program, arguments, environment);
    return FinishTool(process, timeoutMs);
}

QString RunEngineToolPath()
{
    return qEnvironmentVariable("BREVANT_BIN_DIR") + QStringLiteral("/brevant_run_engine");
}
