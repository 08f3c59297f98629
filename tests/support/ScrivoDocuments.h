#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// Documents and reservation records on disk in the form the Scrivo server reads, for tests
// that need documents in a given state. Each fails the program loudly when it cannot write.

// Writes a document with its metadata (display name, version, referenced documents as
// given: relative to the document's folder or absolute), creating its folders. Returns path.
QString WriteScrivoDocument(const QString &path, const QString &displayName, int version = 1,
                            const QStringList &references = {});

// The hidden reservation record that Scrivo keeps beside the document.
QString ScrivoReservationPath(const QString &documentPath);

// Writes a reservation record as Scrivo writes it: holder, time with its UTC offset, version.
void WriteScrivoReservation(const QString &documentPath, const QString &by, const QDateTime &time,
                            int version);

// Writes a record that Scrivo cannot parse, so every reservation read of the document fails.
void WriteDamagedScrivoReservation(const QString &documentPath);
