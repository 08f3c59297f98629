#include "RecordingServer.h"

#include "projects/FileFunctions.h"

namespace {

class RecordingDocument : public ServerDocument
{
public:
    RecordingDocument(ServerDocumentPtr document, RecordingServer &owner)
        : inner(std::move(document)), server(owner), name(FileNameOf(inner->FullFileName()))
    {
    }

    bool IsReserved() override
    {
        note(u"IsReserved");
        return inner->IsReserved();
    }
    void Reserve() override
    {
        note(u"Reserve");
        if (server.beforeReserve)
            server.beforeReserve(name);
        inner->Reserve();
    }
    void ReleaseReservation() override
    {
        note(u"ReleaseReservation");
        inner->ReleaseReservation();
    }
    QString ReservedBy() override
    {
        note(u"ReservedBy");
        return inner->ReservedBy();
    }
    QDateTime ReservedTime() override
    {
        note(u"ReservedTime");
        return inner->ReservedTime();
    }
    int ReservedVersion() override
    {
        note(u"ReservedVersion");
        return inner->ReservedVersion();
    }
    QString DisplayName() override
    {
        note(u"DisplayName");
        return inner->DisplayName();
    }
    QString FullFileName() override
    {
        note(u"FullFileName");
        return inner->FullFileName();
    }
    QList<ServerDocumentPtr> ReferencedDocuments() override
    {
        note(u"ReferencedDocuments");
        QList<ServerDocumentPtr> wrapped;
        for (const ServerDocumentPtr &entry : inner->ReferencedDocuments())
            wrapped.append(entry ? server.Wrap(entry) : nullptr);
        return wrapped;
    }

private:
    void note(QStringView member) { server.documentCalls.append(name + u' ' + member); }

    ServerDocumentPtr inner;
    RecordingServer &server;
    QString name;
};

} // namespace

ServerDocumentPtr RecordingServer::Wrap(ServerDocumentPtr document)
{
    return std::make_shared<RecordingDocument>(std::move(document), *this);
}

ServerDocumentPtr RecordingServer::OpenDocument(const QString &fullPath)
{
    log.append(QStringLiteral("OpenDocument ") + FileNameOf(fullPath));
    activeAtOpen.append(ActiveProject());
    if (onOpen)
        onOpen(FileNameOf(fullPath));
    return Wrap(real->OpenDocument(fullPath));
}

void RecordingServer::CloseAllDocuments()
{
    log.append(QStringLiteral("CloseAllDocuments"));
    real->CloseAllDocuments();
}

void RecordingServer::SetUserName(const QString &name)
{
    log.append(QStringLiteral("SetUserName ") + name);
    real->SetUserName(name);
}

void RecordingServer::SetActiveProject(const QString &path)
{
    log.append(QStringLiteral("SetActiveProject ") + path);
    real->ProjectHandler().SetActiveProject(path);
}
