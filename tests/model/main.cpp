#include <QCoreApplication>

int runClsFilesTests(int argc, char **argv);
int runFileProcessingTests(int argc, char **argv);

// Runs every test class of the document model; the exit code counts all failures.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int failures = 0;
    failures += runClsFilesTests(argc, argv);
    failures += runFileProcessingTests(argc, argv);
    return failures;
}
