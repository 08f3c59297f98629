#include <QApplication>

int runShellTests(int argc, char **argv);
int runPlatformTests(int argc, char **argv);

// Runs every test class of the main window and its platform adapters.
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    int failures = 0;
    failures += runShellTests(argc, argv);
    failures += runPlatformTests(argc, argv);
    return failures;
}
