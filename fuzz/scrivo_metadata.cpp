// Scrivo's document metadata reader on any document content: opening never fails for a
// regular file, and the metadata keeps the server's rules.

#include "FuzzSupport.h"
#include "server/ServerError.h"
#include "server/scrivo/ScrivoDocument.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString path = ScratchFolder() + QStringLiteral("/Part 1.kpt");
    static const auto session = std::make_shared<ScrivoSession>(ScrivoSession{
        ScratchFolder() + QStringLiteral("/home"), QStringLiteral("fuzz"), QString()});
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    WriteScratchFile(path, bytes);

    std::shared_ptr<ScrivoDocument> document;
    try {
        document = ScrivoDocument::Open(path, session);
    } catch (const ServerError &error) {
        Check(false, error.what());
    }
    Check(document->FullFileName() == path, "the document has another path");
    Check(!document->DisplayName().isEmpty(), "the display name is empty");
    const QStringList references = document->ReferencePaths();
    for (const QString &reference : references)
        Check(!reference.isEmpty(), "an empty reference path");

    // Only the first 64 KiB count, and a NUL byte there or no section means no metadata.
    const QByteArray head = bytes.left(64 * 1024);
    if (head.contains('\0') || !head.contains('[')) {
        Check(document->DisplayName() == QStringLiteral("Part 1"),
              "a document without metadata did not get its file name");
        Check(document->Version() == 1, "a document without metadata is not version 1");
        Check(references.isEmpty(), "a document without metadata has references");
    }
    return 0;
}
