#include "search/WhereUsed.h"

#include "projects/FileFunctions.h"
#include "server/ServerError.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <algorithm>

namespace {

// The documents read and what each references itself: full names, cleaned, so that a
// reference written "../parts/a.kpt" meets the walk's "/p/parts/a.kpt".
using ReferenceGraph = QHash<QString, QStringList>;

// A document that is not there is no failure: the assembly merely lacks it.
bool IsMissing(const ServerError &error)
{
    return error.number == ServerErrors::FileNotFound || error.number == ServerErrors::PathNotFound;
}

bool IsBelow(const QString &path, const QString &folder)
{
    const QString prefix = folder.endsWith(u'/') ? folder : folder + u'/';
    return path.startsWith(prefix);
}

// Paths as the walk spells them. Where the tree is reached through a link, or a target
// through another one, a path written through the folder the tree really is names a document
// of the tree all the same, as does a path through a folder the walk passed over as one it
// had searched under another name: each is spelled through the name the walk used.
class TreeSpelling
{
public:
    explicit TreeSpelling(const QString &tree) : walked(QDir::cleanPath(tree))
    {
        if (const QString real = QFileInfo(tree).canonicalFilePath();
            !real.isEmpty() && real != walked)
            same.append({real, walked});
    }

    void AddSameFolders(const QHash<QString, QString> &folders)
    {
        for (auto it = folders.cbegin(); it != folders.cend(); ++it)
            same.append({QDir::cleanPath(it.key()), QDir::cleanPath(it.value())});
    }

    QString Walked() const { return walked; }

    QString Of(QString path) const
    {
        // A link back up the tree may stand in a path many times; each pass takes one away.
        for (int pass = 0; pass < MostPasses; ++pass) {
            const auto other = std::find_if(same.cbegin(), same.cend(), [&](const auto &names) {
                return path == names.first || IsBelow(path, names.first);
            });
            if (other == same.cend())
                break;
            path = other->second + path.mid(other->first.size());
        }
        return path;
    }
    // A target's key: its own spelling below the tree, else through its real path.
    QString OfTarget(const QString &target) const
    {
        const QString spelled = Of(target);
        if (IsBelow(spelled, walked))
            return spelled;
        const QString canonical = QFileInfo(target).canonicalFilePath();
        return canonical.isEmpty() ? target : Of(canonical);
    }

private:
    static constexpr int MostPasses = 64;
    QString walked;
    QList<QPair<QString, QString>> same; // a name, and the name the walk used for it
};

// Opens what the graph references that the walk did not read, and what those reference in
// turn, each once, adding their references to the graph: documents outside the tree, and
// inside it those a search does not list (a presentation, a hidden folder). A failure inside
// the tree is not logged again: the walk logged the documents it could not read. Pending
// events run between two documents, so that Stop reaches this part too.
void FollowUnwalkedReferences(SearchContext &context, const TreeSpelling &spelling,
                              ReferenceGraph &graph)
{
    QStringList pending;
    for (const QStringList &references : std::as_const(graph))
        pending.append(references);
    QSet<QString> tried;
    while (!pending.isEmpty() && !context.StopSearch) {
        const QString path = pending.takeLast();
        if (graph.contains(path) || tried.contains(path))
            continue;
        tried.insert(path);
        if (context.ProcessEvents)
            context.ProcessEvents();
        try {
            const ServerDocumentPtr document = context.Server.OpenDocument(path);
            if (!document)
                continue;
            QStringList &references = graph[path];
            for (const QString &reference : document->DirectReferences())
                references.append(spelling.Of(reference));
            pending.append(references);
        } catch (const ServerError &error) {
            if (!IsMissing(error) && !IsBelow(path, spelling.Walked())) {
                context.Log.Append(path);
                ++context.FailedDocuments;
            }
        }
    }
    context.Log.Flush();
}

// For each document of the graph, the indexes of the targets its references reach: every
// target is followed back through the documents that reference it, each document once.
QHash<QString, QList<int>> TargetsReached(const ReferenceGraph &graph, const QStringList &targets)
{
    QHash<QString, QStringList> referencedBy;
    for (auto it = graph.cbegin(); it != graph.cend(); ++it)
        for (const QString &reference : QSet<QString>(it->cbegin(), it->cend()))
            referencedBy[reference].append(it.key());
    QHash<QString, QList<int>> reached;
    for (int target = 0; target < targets.size(); ++target) {
        QSet<QString> seen{targets[target]};
        QStringList next{targets[target]};
        while (!next.isEmpty()) {
            const QString document = next.takeLast();
            for (const QString &user : referencedBy.value(document)) {
                if (seen.contains(user))
                    continue;
                seen.insert(user);
                reached[user].append(target);
                next.append(user);
            }
        }
    }
    return reached;
}

} // namespace

QList<UsingDocument> FindWhereUsed(SearchContext &context, const QString &startFolder,
                                   const QStringList &targets,
                                   const std::function<void(const QString &)> &progress)
{
    QStringList asked; // the targets as asked for, for the uses
    for (const QString &target : targets)
        if (const QString clean = QDir::cleanPath(target); !asked.contains(clean))
            asked.append(clean);

    struct Found
    {
        clsFilePtr record;
        DocumentReading reading;
        QString fullName;
    };
    QList<Found> found;
    ReferenceGraph graph;
    const auto told = context.DocumentRead;
    context.ReadReferences = true;
    context.DocumentRead = [&](const QString &fullName, const DocumentReading &reading) {
        const QString clean = QDir::cleanPath(fullName);
        found.append({context.Files.Item(context.Files.Count()), reading, clean});
        graph.insert(clean, reading.References);
        if (told)
            told(fullName, reading);
    };
    WalkFolderTree(context, startFolder, progress);
    context.DocumentRead = told;

    // The walk's names for the references and the targets, now that it knows them all.
    TreeSpelling spelling(startFolder);
    spelling.AddSameFolders(context.SameFolders);
    for (QStringList &references : graph)
        for (QString &reference : references)
            reference = spelling.Of(reference);
    QStringList wanted;
    for (const QString &target : asked)
        wanted.append(spelling.OfTarget(target));
    FollowUnwalkedReferences(context, spelling, graph);

    const QHash<QString, QList<int>> reached = TargetsReached(graph, wanted);
    QList<UsingDocument> users;
    for (const Found &document : found) {
        const auto targetsOf = reached.constFind(document.fullName);
        if (targetsOf == reached.cend())
            continue;
        QList<int> order = *targetsOf;
        std::sort(order.begin(), order.end());
        QStringList uses;
        for (const int target : order)
            uses.append(asked[target]);
        document.record->SetUses(UsesText(uses));
        users.append({document.record, document.reading, document.fullName, uses});
    }
    return users;
}

QString UsesText(const QStringList &uses)
{
    QStringList names;
    for (const QString &path : uses)
        names.append(FileNameOf(path));
    // Two documents of one name are told apart by their paths.
    if (QSet<QString>(names.cbegin(), names.cend()).size() < names.size())
        names = uses;
    return names.join(QStringLiteral(", "));
}
