// The engines as a program of their own, so tests can run them as another user (see
// Users.h), several at once, without a window:
//
//   brevant_run_engine check-out|check-in PROJECT USER DOCUMENT...
//       one run over the documents in PROJECT (it takes the run turn, prepares the working
//       project, reserves or releases, makes PROJECT active again); prints one line for each
//       document that failed; exit 1 when one did
//   brevant_run_engine hold PROJECT
//       builds this process's working project beside PROJECT, prints its path and waits
//       until standard input closes (a run that is still going)
//   brevant_run_engine clean FOLDER
//       removes the working projects in FOLDER whose runs are gone, as a start-up does
//   brevant_run_engine korvex
//       prints whether the CAD application of this account runs
//
// The Scrivo home is the environment's.

#include "model/FileListModel.h"
#include "projects/FileFunctions.h"
#include "projects/WorkingProject.h"
#include "reserve/ReservationRun.h"
#include "server/scrivo/ScrivoServer.h"
#include "system/KorvexProcess.h"

#include <QCoreApplication>
#include <cstdio>
#include <iostream>
#include <limits>

namespace {

class SilentPrompts : public Prompts
{
public:
    PromptAnswer MessageBox(const QString &text, PromptButtons, PromptIcon,
                            const QString &) override
    {
        std::printf("message: %s\n", qPrintable(text));
        return PromptAnswer::OK;
    }
    QString InputBox(const QString &, const QString &, const QString &, QPoint) override
    {
        return {};
    }
    QString OpenFileName(FileDialogRequest &) override { return {}; }
    QString SaveFileName(FileDialogRequest &) override { return {}; }
    QString BrowseForFolder(const QString &) override { return {}; }
    void SetMousePointer(MousePointer) override {}
};

int Run(bool reserve, const QString &project, const QString &user, const QStringList &documents)
{
    ProgramState state;
    state.DocumentServer = std::make_shared<ScrivoServer>();
    state.Files = std::make_shared<clsFiles>();
    state.SelectedProject = project;
    state.StartupUserName = state.DocumentServer->UserName();
    state.CheckOutUser = user;
    QList<clsFilePtr> records;
    for (const QString &document : documents) {
        const clsFilePtr &record = records.emplace_back(std::make_shared<clsFile>());
        record->SetFileName(FileNameOf(document));
        record->SetFilePath(ParentFolderOf(document));
        record->SetCheckedOutBy(reserve ? Available : user);
    }
    SilentPrompts prompts;
    const auto failures =
        *ChangeReservations(reserve, state, prompts, records, {}, [] { return true; });
    for (const ReservationFailure &failure : failures)
        std::printf("%s: %s\n", qPrintable(failure.FileName), qPrintable(failure.Reason));
    return failures.isEmpty() ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    const QString command = arguments.value(0);
    try {
        if ((command == u"check-out" || command == u"check-in") && arguments.size() >= 4)
            return Run(command == u"check-out", arguments[1], arguments[2], arguments.mid(3));
        if (command == u"hold" && arguments.size() == 2) {
            std::printf("%s\n", qPrintable(BuildWorkingProject(arguments[1], false, arguments[1])));
            std::fflush(stdout);
            std::cin.ignore(std::numeric_limits<std::streamsize>::max());
            return 0;
        }
        if (command == u"clean" && arguments.size() == 2) {
            RemoveAbandonedWorkingProjects(arguments[1]);
            return 0;
        }
        if (command == u"korvex" && arguments.size() == 1) {
            std::printf("%s\n", IsKorvexRunning() ? "running" : "not running");
            return 0;
        }
    } catch (const std::exception &error) {
        std::fprintf(stderr, "brevant_run_engine: %s\n", error.what());
        return 1;
    }
    std::fprintf(stderr, "brevant_run_engine: unknown command\n");
    return 2;
}
