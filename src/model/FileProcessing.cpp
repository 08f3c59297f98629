#include "model/FileProcessing.h"

#include "model/DateText.h"
#include "projects/FileFunctions.h"
#include "server/ServerError.h"

void ReadReservation(clsFiles &Files, ServerDocument &doc)
{
    auto record = std::make_shared<clsFile>();
    if (doc.IsReserved()) {
        record->SetCheckedOutBy(doc.ReservedBy());
        record->SetCheckedOutTime(GeneralDateText(doc.ReservedTime()));
        record->SetCheckedOutVersion(QString::number(doc.ReservedVersion()));
    } else {
        record->SetCheckedOutBy(Available);
        record->SetCheckedOutTime(Available);
        record->SetCheckedOutVersion(Available);
    }
    record->SetBrowserName(doc.DisplayName());
    record->SetFileName(FileNameOf(doc.FullFileName()));
    record->SetFilePath(ParentFolderOf(doc.FullFileName()));
    Files.Add(std::move(record));
}

void ReadDocumentWithReferences(clsFiles &Files, DocumentServer &server, const QString &path)
{
    const ServerDocumentPtr doc = server.OpenDocument(path);
    if (!doc)
        throw ServerError(ServerErrors::NotADocument,
                          QStringLiteral("The document could not be opened: ") + path);
    ReadReservation(Files, *doc);
    const QList<ServerDocumentPtr> refs = doc->ReferencedDocuments();
    for (const ServerDocumentPtr &ref : refs) {
        if (ref)
            ReadReservation(Files, *ref);
    }
}
