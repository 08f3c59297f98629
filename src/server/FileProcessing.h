#pragma once

#include "model/clsFiles.h"
#include "server/DocumentServer.h"
#include "server/ServerError.h"

#include <QString>

// The texts a row shows for a reservation: the holder, the time (the general date form) and
// the version; "available" three times for a free document; "(being reserved)" and two
// empty texts while the holder is not known; "damaged record" and two empty texts for a
// record that cannot be read as one. Since is the reservation's instant, for sorting; Comment
// what its holder said of it.
struct ReservationTexts
{
    QString By;
    QString Time;
    QString Version;
    QDateTime Since = {};
    QString Comment = {};

    friend bool operator==(const ReservationTexts &, const ReservationTexts &) = default;
};
ReservationTexts TextsOf(const ReservationState &state);
inline const ReservationTexts DamagedRecordTexts{DamagedRecord, QString(), QString()};

// Writes the texts into the record; false when it showed them already.
bool ShowTexts(clsFile &record, const ReservationTexts &texts);

// What a list row needs of a document, read at one moment: its reservation, display name and
// full name, read from the server in that order. Where the server allows it
// (ConcurrentDocuments), several threads read documents so at once. A damaged reservation
// record does not end the reading: Damage holds the server's description of it, and the
// document counts as free.
struct DocumentReading
{
    ReservationState State;
    QString DisplayName;
    QString FullFileName;
    QString Damage;
    // The full names the document references itself, when the walk was asked for them.
    QStringList References = {};
};
DocumentReading ReadDocument(ServerDocument &doc);
// The reservation of the document at path as ReadDocument reads it, looked up without opening
// the document (ReservationOf); the names are left empty.
DocumentReading ReadReservationAt(DocumentServer &server, const QString &path);

// Appends the record of a document as read (a free document gets "available" three times, a
// damaged record "damaged record") to Files; returns its reservation.
ReservationState AppendRecord(clsFiles &Files, const DocumentReading &reading);

// The server's error while a document was read, with the full name of the document that
// failed (for a failure while its references were listed: the document whose references
// they are; the server's description names the reference).
class DocumentReadError : public ServerError
{
public:
    DocumentReadError(const ServerError &cause, QString documentName)
        : ServerError(cause.number, cause.description), document(std::move(documentName))
    {
    }
    QString document;
};

// Opens the document at path and appends its record, then one record for each referenced
// document in the server's order, skipping missing (null) entries. Errors pass to the
// caller as DocumentReadError; the records appended before the error stay.
void ReadDocumentWithReferences(clsFiles &Files, DocumentServer &server, const QString &path);
