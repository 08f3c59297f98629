#include "ObservedServer.h"

namespace {

// A document of the real server whose Reserve goes to the server's observer first.
class ObservedDocument : public ServerDocument
{
public:
    ObservedDocument(ServerDocumentPtr document, ObservedServer &observer)
        : inner(std::move(document)), server(observer)
    {
    }
    bool IsReserved() override { return inner->IsReserved(); }
    void Reserve() override
    {
        server.Call(QStringLiteral("Reserve ") + inner->FullFileName());
        inner->Reserve();
    }
    void ReleaseReservation() override { inner->ReleaseReservation(); }
    QString ReservedBy() override { return inner->ReservedBy(); }
    QDateTime ReservedTime() override { return inner->ReservedTime(); }
    int ReservedVersion() override { return inner->ReservedVersion(); }
    QString DisplayName() override { return inner->DisplayName(); }
    QString FullFileName() override { return inner->FullFileName(); }
    QList<ServerDocumentPtr> ReferencedDocuments() override { return inner->ReferencedDocuments(); }

private:
    ServerDocumentPtr inner;
    ObservedServer &server;
};

} // namespace

ServerDocumentPtr ObservedServer::OpenDocument(const QString &path)
{
    Call(QStringLiteral("OpenDocument ") + path);
    return std::make_shared<ObservedDocument>(real->OpenDocument(path), *this);
}
