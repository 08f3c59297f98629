#pragma once

#include "model/clsFile.h"
#include "search/SearchFolder.h"
#include "server/DocumentServer.h"

#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// One document as a walk of the tool read it: its record (the window's texts), its
// reservation and, for where-used, the documents it uses.
struct ListedDocument
{
    QString path;
    ReservationState state;
    bool damaged = false; // the reservation record is damaged
    clsFilePtr record;
    QStringList uses = {}; // full names; empty outside where-used
};

// One line a document, fields separated by a tab: the path, "available" or the holder, the
// time (ISO 8601 with offset), the version and the display name. The comment follows where
// there is one; with uses, the comment field is always there (maybe empty) and each document
// used is one more field.
void PrintListedLines(const QList<ListedDocument> &listed);
// One JSON array of objects: path, holder, time, version, displayName; comment where there
// is one, uses (an array of full names) where there are some.
void PrintListedJson(const QList<ListedDocument> &listed);
// The window's report of the documents at file: the spreadsheet for .xlsx or .xls, else the
// text report; the exit status.
int WriteListedReport(const QString &file, const QList<ListedDocument> &listed);

// --no-cache: every document is opened and read, none taken from the metadata cache.
inline const QString NoCacheOption = QStringLiteral("no-cache");

// Walks the tree below start for a command of the tool: with the user's metadata cache where
// it helps (unless noCache), saved afterwards.
void WalkForTool(SearchContext &context, const QString &start, bool noCache,
                 const std::function<void()> &walk);

// Whether the folder can be listed; where not, says why on standard error.
bool CanBeListed(const QString &folder);
// Writes the documents out as asked (the report at report unless it is null, else JSON or
// lines), then tells of the documents and folders the walk could not read; the exit status,
// a failure where status is one.
int FinishListing(const QList<ListedDocument> &listed, const QString &report, bool json,
                  const SearchContext &walk, int status);

// "Listing: n folders, m documents" on a terminal's standard error, once the walk has
// taken a second, at most five times a second, and cleared at the end.
class WalkProgress
{
public:
    WalkProgress();
    ~WalkProgress();
    void Folder();
    void Document();

private:
    void Tick();

    bool shown;
    bool printed = false;
    int folders = 0;
    int documents = 0;
    QElapsedTimer clock;
    QElapsedTimer last;
};
