#include "server/FileProcessing.h"
#include "system/Translation.h"

#include "model/DateText.h"
#include "projects/FileFunctions.h"
#include "server/ServerError.h"

ReservationTexts TextsOf(const ReservationState &state)
{
    if (!state.Reserved)
        return {Available, Available, Available};
    if (state.HolderUnknown)
        return {BeingReserved, QString(), QString()};
    return {state.By, GeneralDateText(state.Time), QString::number(state.Version), state.Time,
            state.Comment};
}

bool ShowTexts(clsFile &record, const ReservationTexts &texts)
{
    if (record.CheckedOutBy() == texts.By && record.CheckedOutTime() == texts.Time &&
        record.CheckedOutVersion() == texts.Version && record.CheckedOutSince() == texts.Since &&
        record.CheckedOutComment() == texts.Comment)
        return false;
    record.SetCheckedOutBy(texts.By);
    record.SetCheckedOutTime(texts.Time);
    record.SetCheckedOutVersion(texts.Version);
    record.SetCheckedOutSince(texts.Since);
    record.SetCheckedOutComment(texts.Comment);
    return true;
}

namespace {

// The reading of a reservation; a damaged record is kept as the reading's Damage.
template <typename Look> DocumentReading ReadingOfReservation(Look look)
{
    DocumentReading reading;
    try {
        reading.State = look();
    } catch (const ServerError &error) {
        if (error.number != ServerErrors::ReservationRecordDamaged)
            throw;
        reading.Damage = error.description;
    }
    return reading;
}

} // namespace

DocumentReading ReadDocument(ServerDocument &doc)
{
    DocumentReading reading = ReadingOfReservation([&doc] { return doc.Reservation(); });
    reading.DisplayName = doc.DisplayName();
    reading.FullFileName = doc.FullFileName();
    return reading;
}

DocumentReading ReadReservationAt(DocumentServer &server, const QString &path)
{
    return ReadingOfReservation([&] { return server.ReservationOf(path); });
}

ReservationState AppendRecord(clsFiles &Files, const DocumentReading &reading)
{
    auto record = std::make_shared<clsFile>();
    ShowTexts(*record, reading.Damage.isEmpty() ? TextsOf(reading.State) : DamagedRecordTexts);
    record->SetBrowserName(reading.DisplayName);
    record->SetFileName(FileNameOf(reading.FullFileName));
    record->SetFilePath(ParentFolderOf(reading.FullFileName));
    Files.Add(std::move(record));
    return reading.State;
}

namespace {

// Reads the document and appends its record. A failing read, and a damaged reservation
// record, pass their error on and leave Files as it was.
void ReadReservation(clsFiles &Files, ServerDocument &doc)
{
    const DocumentReading reading = ReadDocument(doc);
    if (!reading.Damage.isEmpty())
        throw ServerError(ServerErrors::ReservationRecordDamaged, reading.Damage);
    AppendRecord(Files, reading);
}

// Runs one step of reading a document; a failure is passed on with the name of the document,
// asked for only then.
template <typename Step, typename NameOf> auto Naming(Step step, NameOf nameOf)
{
    try {
        return step();
    } catch (const ServerError &error) {
        throw DocumentReadError(error, nameOf());
    }
}

} // namespace

void ReadDocumentWithReferences(clsFiles &Files, DocumentServer &server, const QString &path)
{
    const auto pathName = [&] { return path; };
    const ServerDocumentPtr doc = Naming([&] { return server.OpenDocument(path); }, pathName);
    if (!doc)
        throw DocumentReadError(
            ServerError(ServerErrors::NotADocument,
                        Brevant::tr("The document could not be opened: ") + path),
            path);
    Naming([&] { ReadReservation(Files, *doc); }, pathName);
    const QList<ServerDocumentPtr> refs =
        Naming([&] { return doc->ReferencedDocuments(); }, pathName);
    for (const ServerDocumentPtr &ref : refs) {
        if (!ref)
            continue;
        // The name is asked for only after a failure, so a good read keeps its call order.
        Naming([&] { ReadReservation(Files, *ref); },
               [&] {
                   try {
                       return ref->FullFileName();
                   } catch (const ServerError &) {
                       return path;
                   }
               });
    }
}
