#include "server/DocumentServer.h"
#include "system/Translation.h"

#include "server/ServerError.h"

ServerDocumentPtr DocumentServer::Opened(const QString &fullPath)
{
    ServerDocumentPtr document = OpenDocument(fullPath);
    if (!document)
        throw ServerError(ServerErrors::NotADocument,
                          Brevant::tr("The document %1 could not be opened.").arg(fullPath));
    return document;
}

QStringList ServerDocument::DirectReferences()
{
    QStringList paths;
    for (const ServerDocumentPtr &document : ReferencedDocuments())
        if (document)
            paths.append(document->FullFileName());
    return paths;
}

void DocumentServer::SetReservationComment(const QString &text)
{
    if (!text.isEmpty())
        throw ServerError(ServerErrors::InvalidArgument,
                          Brevant::tr("This document server keeps no comments with its "
                                      "reservations."));
}
