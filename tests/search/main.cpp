#include <QCoreApplication>

int runDirectoryListingTests(int argc, char **argv);
int runSearchFolderTests(int argc, char **argv);

// Runs every test class of the folder search; the exit code counts all failures.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int failures = 0;
    failures += runDirectoryListingTests(argc, argv);
    failures += runSearchFolderTests(argc, argv);
    return failures;
}
