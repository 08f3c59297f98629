#include "server/scrivo/ScrivoSample.h"
#include "system/Translation.h"

#include "server/ServerError.h"
#include "server/scrivo/ScrivoHome.h"
#include "server/scrivo/ScrivoServer.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace {

struct SampleDocument
{
    const char *path; // relative to the sample folder
    const char *displayName;
    int version;
    QList<const char *> references; // as written in the metadata, backslashes included
};

const QByteArray ProjectText = "; Sample project written by \"scrivo sample\".\n"
                               "[Project Defaults]\n"
                               "MultiUser=Shared\n"
                               "\n"
                               "[Workspace]\n"
                               "Workspace=.\\Workspace\n"
                               "\n"
                               "[Workgroup Search Paths]\n"
                               "Library=.\\Library\n";

const QList<SampleDocument> &SampleDocuments()
{
    static const QList<SampleDocument> documents = {
        {"Workspace/Gearbox/Gearbox.kam",
         "Gearbox",
         3,
         {"Parts\\Housing.kpt", "Parts\\Shaft.kpt", "Parts\\Gear.kpt",
          "..\\..\\Library\\Bolt M8.kpt"}},
        {"Workspace/Gearbox/Parts/Housing.kpt", "Gearbox housing", 4, {}},
        {"Workspace/Gearbox/Parts/Shaft.kpt",
         "Drive shaft",
         2,
         {"..\\..\\..\\Library\\Washer.kpt"}},
        {"Workspace/Gearbox/Drawings/Gearbox.kdw", "Gearbox drawing", 2, {"..\\Gearbox.kam"}},
        {"Workspace/Gearbox/Drawings/Housing.kdw", "Housing drawing", 1, {"../Parts/Housing.kpt"}},
        {"Workspace/Conveyor/Conveyor.kam",
         "Belt conveyor",
         5,
         {"Frame\\Frame.kam", "Roller.kpt", "..\\..\\Library\\Bolt M8.kpt"}},
        {"Workspace/Conveyor/Roller.kpt", "Roller", 2, {}},
        {"Workspace/Conveyor/Frame/Frame.kam", "Conveyor frame", 1, {"Rail.kpt", "Leg.kpt"}},
        {"Workspace/Conveyor/Frame/Rail.kpt", "Rail", 3, {}},
        {"Workspace/Conveyor/Frame/Leg.kpt", "Leg", 1, {}},
        {"Workspace/Conveyor/Drawings/Conveyor.kdw", "Conveyor drawing", 1, {"..\\Conveyor.kam"}},
        {"Workspace/Presentations/Gearbox.kpn",
         "Gearbox exploded view",
         1,
         {"..\\Gearbox\\Gearbox.kam"}},
        {"Library/Bolt M8.kpt", "Bolt ISO 4017 M8x30", 7, {}},
        {"Library/Washer.kpt", "Washer ISO 7089 8", 2, {}},
    };
    return documents;
}

// A part that carries no metadata, as a binary CAD file would be.
const char *const BinaryPart = "Workspace/Gearbox/Parts/Gear.kpt";

const struct
{
    const char *user;
    const char *path;
} SampleReservations[] = {
    {"anna", "Workspace/Gearbox/Parts/Housing.kpt"},
    {"anna", "Workspace/Conveyor/Frame/Rail.kpt"},
    {"ben", "Workspace/Gearbox/Drawings/Gearbox.kdw"},
    {"ben", "Library/Washer.kpt"},
};

QByteArray MetadataText(const SampleDocument &document)
{
    QByteArray text = "[Document]\nDisplayName=" + QByteArray(document.displayName) +
                      "\nVersion=" + QByteArray::number(document.version) + '\n';
    if (!document.references.isEmpty()) {
        text += "\n[References]\n";
        int number = 0;
        for (const char *reference : document.references)
            text += "Ref" + QByteArray::number(++number) + '=' + reference + '\n';
    }
    return text;
}

void WriteSampleFile(const QString &path, const QByteArray &content)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        throw ServerError(ServerErrors::WriteFailed,
                          Brevant::tr("The folder of %1 could not be created.").arg(path));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit())
        throw ServerError(ServerErrors::WriteFailed,
                          Brevant::tr("%1 could not be written: %2").arg(path, file.errorString()));
}

} // namespace

QString WriteSampleProject(const QString &folder, ScrivoServer &server)
{
    const QString root = QDir::cleanPath(AbsolutePathOf(folder));
    const QFileInfo info(root);
    if (info.exists() && !info.isDir())
        throw ServerError(ServerErrors::WriteFailed, Brevant::tr("%1 is not a folder.").arg(root));
    // Nothing of the user's is ever overwritten.
    if (info.exists() &&
        !QDir(root).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
        throw ServerError(ServerErrors::WriteFailed,
                          Brevant::tr("The sample folder %1 is not empty.").arg(root));

    const QString project = root + QStringLiteral("/Sample.kpj");
    WriteSampleFile(project, ProjectText);
    for (const SampleDocument &document : SampleDocuments())
        WriteSampleFile(root + u'/' + QLatin1String(document.path),
                        MetadataText(document) + "\n; Geometry follows in the real format.\n");
    WriteSampleFile(root + u'/' + QLatin1String(BinaryPart),
                    QByteArray("KVX\0\x01\x02geometry", 14));

    server.RegisterProject(project);
    server.ProjectHandler().SetActiveProject(project);
    const QString user = server.UserName();
    try {
        for (const auto &reservation : SampleReservations) {
            server.SetUserName(QLatin1String(reservation.user));
            server.OpenDocument(root + u'/' + QLatin1String(reservation.path))->Reserve();
        }
    } catch (...) {
        server.SetUserName(user);
        throw;
    }
    server.SetUserName(user);
    return project;
}
