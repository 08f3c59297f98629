#pragma once

#include <QMutex>
#include <QString>
#include <QStringList>

// The documents a check-out run has reserved, written down as the run goes, so that the
// start-up after a killed run can tell the user what that run holds. The journal lives in
// the user's state folder, named after the run's working project, one line per document:
// the holder and the path, tab-separated and escaped. It is a help, not a record the run
// depends on: a journal that cannot be written leaves the run as it is.
class RunJournal
{
public:
    // Starts an empty journal for the run of this working project.
    explicit RunJournal(const QString &workingProject);
    ~RunJournal();
    RunJournal(const RunJournal &) = delete;
    RunJournal &operator=(const RunJournal &) = delete;

    // Safe to call from the run's threads.
    void Reserved(const QString &holder, const QString &documentPath);

private:
    QMutex lock;
    int fd = -1;
};

// What a killed run had reserved: how many documents, for whom, and their paths.
struct JournalContents
{
    int Count = 0;
    QStringList Holders; // in the order they first appear
    QStringList Documents;
};

QString RunJournalPath(const QString &workingProject);
// The journal of the run of this working project; empty when there is none.
JournalContents ReadRunJournal(const QString &workingProject);
void RemoveRunJournal(const QString &workingProject);
