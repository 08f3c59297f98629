// Scrivo's reservation record reader on any record content: a record is whole (a valid
// holder, a time, a version), being written (reserved by a holder not known yet: the start of
// a record, just written), or reported as damaged, never anything in between.

#include "FuzzSupport.h"
#include "model/UserNames.h"
#include "server/ServerError.h"
#include "server/scrivo/ReservationRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString document = ScratchFolder() + QStringLiteral("/Assembly.kam");
    static const QString recordPath =
        ScratchFolder() + QStringLiteral("/.Assembly.kam.reservation");
    WriteScratchFile(recordPath, QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));

    ReservationRecord record(document, document);
    Check(record.Path() == recordPath, "the record is looked for elsewhere");
    ReservationState state;
    try {
        state = record.State();
    } catch (const ServerError &error) {
        Check(error.number == ServerErrors::ReservationRecordDamaged,
              "a damaged record gave another error");
        Check(error.description.contains(recordPath), "the error does not name the record");
        // Every read of a damaged record fails the same way.
        try {
            record.ReservedBy();
            Check(false, "a second read of a damaged record succeeded");
        } catch (const ServerError &again) {
            Check(again.description == error.description, "a damaged record read differently");
        }
        return 0;
    }
    Check(state.Reserved, "a record that is there reads as no reservation");
    if (state.HolderUnknown) {
        Check(state.By.isEmpty() && !state.Time.isValid() && state.Version == 0,
              "a record being written was read with a holder");
        Check(size == 0 || data[0] == '[', "a record being written does not start as one");
        return 0;
    }
    Check(IsValidUserName(record.ReservedBy()), "a record was read with an invalid holder");
    Check(record.ReservedTime().isValid(), "a record was read without a valid time");
    Check(record.ReservedTime().timeSpec() == Qt::LocalTime, "the time is not in local time");
    record.ReservedVersion();
    return 0;
}
