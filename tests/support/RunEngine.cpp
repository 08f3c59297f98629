// Working projects and the CAD application check as a program of their own, so tests can run
// them as another user (see Users.h), without a window:
//
//   brevant_run_engine hold PROJECT
//       builds this process's working project beside PROJECT, prints its path and waits
//       until standard input closes (a run that is still going)
//   brevant_run_engine clean FOLDER
//       removes the working projects in FOLDER whose runs are gone, as a start-up does
//   brevant_run_engine korvex
//       prints whether the CAD application of this account runs
#include "projects/WorkingProject.h"
#include "system/KorvexProcess.h"

#include <QCoreApplication>
#include <cstdio>
#include <iostream>
#include <limits>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    const QString command = arguments.value(0);
    try {
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
