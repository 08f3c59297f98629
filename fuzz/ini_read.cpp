// The INI reader on any bytes: it never fails, and its two views of a section agree.

#include "FuzzSupport.h"
#include "projects/IniFile.h"

#include <fuzzer/FuzzedDataProvider.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const QString section = QString::fromStdString(input.ConsumeRandomLengthString(64));
    const QString key = QString::fromStdString(input.ConsumeRandomLengthString(64));
    const std::string rest = input.ConsumeRemainingBytesAsString();
    const IniDocument ini = IniDocument::FromBytes(QByteArray(rest.data(), qsizetype(rest.size())));

    const auto entries = ini.EntriesOf(section);
    const QString value = ini.ValueOf(section, key);
    // The first key of the name wins; a missing section gives no keys and no value.
    for (const auto &entry : entries) {
        Check(!entry.first.isEmpty(), "a key without a name");
        if (QString::compare(entry.first, key.trimmed(), Qt::CaseInsensitive) == 0) {
            Check(entry.second == value, "value() is not the first key of the name");
            return 0;
        }
    }
    Check(value.isEmpty(), "value() found a key that entries() does not list");
    return 0;
}
