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
