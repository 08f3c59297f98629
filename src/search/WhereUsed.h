#pragma once

#include "search/SearchFolder.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// A document whose references reach some of the documents asked about: its record (a row as
// a search gives it, with the documents used in its Uses), what was read of it, its full name, and
// the documents it reaches, full names in the order they were asked for.
struct UsingDocument
{
    clsFilePtr Record;
    DocumentReading Reading;
    QString FullName;
    QStringList Uses;
};

// Where the targets (full names) are used below startFolder. Walks the tree once as the
// search does (on a file server many reads in flight together), taking each document's own
// references from the same reading as its row, then gives every document found whose
// references reach a target at any level, each once, in the walk's order; cycles are cut. A
// target is listed only for the other targets it reaches, never for itself. A reference to a
// document the walk did not read (outside the tree, or a presentation or hidden one inside)
// is followed through the server, each such document opened once, so that a chain through a
// library folder counts; those documents are not listed. A missing reference
// is passed over (Open passes over it too); one that exists but cannot be read goes to the
// error log and counts as a failed document, as in a search. Every document read also gets
// its record into context.Files; a stop ends the walk and gives what was found so far. A
// target or reference spelled through the folder the tree's link leads to (or through a link
// of its own) still meets the document the walk found under its walked name.
QList<UsingDocument> FindWhereUsed(SearchContext &context, const QString &startFolder,
                                   const QStringList &targets,
                                   const std::function<void(const QString &folder)> &progress = {});

// What a list row shows of the documents used: their file names, separated by ", "; their
// full names where two have one file name.
QString UsesText(const QStringList &uses);
