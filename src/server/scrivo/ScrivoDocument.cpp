#include "server/scrivo/ScrivoDocument.h"
#include "system/Translation.h"

#include "model/UserNames.h"
#include "projects/FileFunctions.h"
#include "projects/IniFile.h"
#include "server/ServerError.h"
#include "server/scrivo/ScrivoHome.h"
#include "system/FileError.h"
#include "system/FileNames.h"
#include "system/FileRead.h"
#include "system/FileSystems.h"
#include "system/PathAt.h"

#include <QSet>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Metadata is looked for in this much of a document only.
constexpr qsizetype MetadataLimit = 64 * 1024;

const QString DocumentSection = QStringLiteral("Document");
const QString ReferencesSection = QStringLiteral("References");
const QString DisplayNameKey = QStringLiteral("DisplayName");
const QString VersionKey = QStringLiteral("Version");

[[noreturn]] void ThrowOpenFailed(const QString &path, int error)
{
    // A document on a share that is gone is not missing: it cannot be reached.
    const QByteArray native = EncodeFileName(path);
    if ((error == ENOENT || error == ENOTDIR) && !LostShareOf(native).isEmpty())
        throw ServerError(ServerErrors::NotADocument,
                          Brevant::tr("The document %1 could not be read: %2")
                              .arg(path, MissingReason(native, error)));
    if (error == ENOENT)
        throw ServerError(ServerErrors::FileNotFound,
                          Brevant::tr("The document %1 does not exist.").arg(path));
    if (error == ENOTDIR)
        throw ServerError(ServerErrors::PathNotFound,
                          Brevant::tr("The folder of the document %1 does not exist.").arg(path));
    throw ServerError(
        ServerErrors::NotADocument,
        Brevant::tr("The document %1 could not be read: %2").arg(path, SystemReason(error)));
}

// The file an open descriptor is, with every link on its way resolved; "" when the system
// cannot tell.
QString ResolvedPathOf(int fd)
{
    char target[4096];
    const QByteArray link = "/proc/self/fd/" + QByteArray::number(fd);
    const ssize_t length = ::readlink(link.constData(), target, sizeof target);
    if (length <= 0 || length >= ssize_t(sizeof target) || target[0] != '/')
        return QString();
    return DecodeFileName(QByteArray(target, length));
}

// Opens the document for reading. Non-blocking, so that a named pipe in place of a document
// cannot stop the server. A link as the last part of the path is opened in a second step
// (throughLink), which then finds the file it leads to; a link to a folder on the way leads
// to the same folder.
int OpenDocumentFile(const QByteArray &native, bool &throughLink)
{
    const int flags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    const int fd = OpenPath(native, flags | O_NOFOLLOW);
    throughLink = fd < 0 && errno == ELOOP;
    return throughLink ? OpenPath(native, flags) : fd;
}

// The file's link count as the server has it now: the kernel's SMB client takes the count
// from the last open of the file, which gives none (so 1), and keeps it for a second.
nlink_t FreshLinkCount(const QString &path, const struct stat &cached)
{
    const PathAt at(EncodeFileName(path));
    struct statx fresh;
    return at.Folder() != -1 &&
                   ::statx(at.Folder(), at.Name(), AT_STATX_FORCE_SYNC, STATX_NLINK, &fresh) == 0
               ? nlink_t(fresh.stx_nlink)
               : cached.st_nlink;
}

// The record of the document at path, found without reading the document; nullopt when the
// last part of the path is a link (its record lies beside what it leads to: the document is
// opened for it).
std::optional<ReservationRecord> RecordOfDocumentAt(const QString &path)
{
    const QByteArray native = EncodeFileName(path);
    struct stat st;
    if (StatPath(native, st, false) != 0)
        ThrowOpenFailed(path, errno);
    if (S_ISLNK(st.st_mode))
        return std::nullopt;
    if (!S_ISREG(st.st_mode))
        throw ServerError(ServerErrors::NotADocument,
                          S_ISDIR(st.st_mode)
                              ? Brevant::tr("%1 is a folder, not a document.").arg(path)
                              : Brevant::tr("%1 is not a regular file.").arg(path));
    return ReservationRecord(path, native, st.st_dev);
}

// A referenced entry that is not a document: it is listed where it stands, and every read
// of it fails with the reason, so the entries before it are read and the failure names it.
class UnreadableDocument : public ServerDocument
{
public:
    UnreadableDocument(QString documentPath, ServerError why)
        : path(std::move(documentPath)), error(std::move(why))
    {
    }

    bool IsReserved() override { throw error; }
    void Reserve() override { throw error; }
    void ReleaseReservation() override { throw error; }
    QString ReservedBy() override { throw error; }
    QDateTime ReservedTime() override { throw error; }
    int ReservedVersion() override { throw error; }
    QString DisplayName() override { throw error; }
    QString FullFileName() override { return path; }
    QList<ServerDocumentPtr> ReferencedDocuments() override { throw error; }

private:
    QString path;
    ServerError error;
};

} // namespace

ScrivoDocument::ScrivoDocument(QString documentPath, const QByteArray &nativeResolvedPath,
                               dev_t fileSystem, std::shared_ptr<ScrivoSession> owner)
    : path(std::move(documentPath)), session(std::move(owner)), device(fileSystem),
      record(path, nativeResolvedPath, fileSystem)
{
}

std::shared_ptr<ScrivoDocument> ScrivoDocument::Open(const QString &fullPath,
                                                     std::shared_ptr<ScrivoSession> session)
{
    if (fullPath.isEmpty())
        throw ServerError(ServerErrors::InvalidArgument,
                          Brevant::tr("No document path was given."));
    const QString path = AbsolutePathOf(fullPath);
    // The reversible coding of the directory listing: a name that is not valid UTF-8 comes
    // back as the very bytes on disk.
    const QByteArray native = EncodeFileName(path);
    int error = 0;
    std::shared_ptr<ScrivoDocument> document = RepeatWhileTransientFailure(
        [&] {
            std::shared_ptr<ScrivoDocument> once = OpenOnce(path, native, session, error);
            errno = error;
            return once;
        },
        [](const std::shared_ptr<ScrivoDocument> &once) { return !once; },
        [&] {
            struct stat folder;
            const QByteArray parent = native.left(qMax<qsizetype>(native.lastIndexOf('/'), 1));
            return StatPath(parent, folder) == 0 && IsFuseNetworkFileSystem(folder.st_dev);
        });
    if (!document)
        ThrowOpenFailed(path, error);
    return document;
}

std::shared_ptr<ScrivoDocument> ScrivoDocument::OpenOnce(const QString &path,
                                                         const QByteArray &native,
                                                         std::shared_ptr<ScrivoSession> session,
                                                         int &error)
{
    bool throughLink = false;
    const int fd = OpenDocumentFile(native, throughLink);
    error = errno;
    if (fd < 0)
        return nullptr;
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        error = errno;
        ::close(fd);
        return nullptr;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        throw ServerError(ServerErrors::NotADocument,
                          S_ISDIR(st.st_mode)
                              ? Brevant::tr("%1 is a folder, not a document.").arg(path)
                              : Brevant::tr("%1 is not a regular file.").arg(path));
    }
    // The head is read into the stack: no allocation for what is thrown away at once. It is
    // read to the end or one byte past the limit, whatever size the status gives (a network
    // client may give an old one), so a cut line shows.
    char buffer[MetadataLimit + 1];
    const qsizetype length = ReadCurrentContent(fd, st, buffer, MetadataLimit + 1);
    error = errno;
    // A document reached through a link keeps its record beside the file itself, so every
    // way to the file meets the same record.
    const QString resolved = length >= 0 && throughLink ? ResolvedPathOf(fd) : QString();
    ::close(fd);
    if (length < 0)
        return nullptr;
    QByteArray head = QByteArray::fromRawData(buffer, qMin(length, MetadataLimit));
    // Where the limit cuts a line, the cut line is no metadata.
    if (length > MetadataLimit)
        head = QByteArray::fromRawData(buffer, head.lastIndexOf('\n') + 1);

    std::shared_ptr<ScrivoDocument> document(
        new ScrivoDocument(path, resolved.isEmpty() ? native : EncodeFileName(resolved), st.st_dev,
                           std::move(session)));
    document->inode = st.st_ino;
    document->ReadMetadata(head);
    return document;
}

void ScrivoDocument::ReadMetadata(const QByteArray &head)
{
    // Binary documents (a NUL byte) and text without any section carry no metadata; both
    // tests are cheap, so plain documents skip the INI reader.
    if (head.isEmpty() || std::memchr(head.constData(), '\0', size_t(head.size())) != nullptr ||
        !head.contains('['))
        return;
    // The first Document section gives the display name and the version, the first
    // References section the references; of two lines of a key the first counts. Only these
    // are decoded: a search reads every document.
    enum class In { Other, Document, References } in = In::Other;
    bool seenDocument = false;
    bool seenReferences = false;
    bool haveName = false;
    bool haveVersion = false;
    ScanIni(head, [&](const IniLine &line) {
        if (line.IsSection) {
            in = In::Other;
            if (!seenDocument && IniNameIs(line.Name, DocumentSection))
                in = In::Document;
            else if (!seenReferences && IniNameIs(line.Name, ReferencesSection))
                in = In::References;
            seenDocument = seenDocument || in == In::Document;
            seenReferences = seenReferences || in == In::References;
        } else if (in == In::Document) {
            if (!haveName && IniNameIs(line.Name, DisplayNameKey)) {
                displayName = IniText(line.Value);
                haveName = true;
            } else if (!haveVersion && IniNameIs(line.Name, VersionKey)) {
                bool ok = false;
                const int number = line.Value.toInt(&ok);
                version = ok ? number : 1;
                haveVersion = true;
            }
        } else if (in == In::References && !line.Value.isEmpty()) {
            references.append(IniText(line.Value));
        }
        return true;
    });
}

QString ScrivoDocument::DisplayName()
{
    if (!displayName.isEmpty())
        return displayName;
    const QString name = path.mid(path.lastIndexOf(u'/') + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot > 0 ? name.left(dot) : name;
}

void ScrivoDocument::CheckMayChangeReservation(const QString &path, const ScrivoSession &session,
                                               bool reserving)
{
    const QString &user = session.userName;
    const QString problem = UserNameProblem(user);
    if (!problem.isEmpty())
        throw ServerError(ServerErrors::InvalidUserName,
                          Brevant::tr("The reservation of %1 was not changed: the user name "
                                      "cannot be used, %2.")
                              .arg(path, problem));
    if (reserving && IsAvailableMarker(user))
        throw ServerError(ServerErrors::InvalidUserName,
                          Brevant::tr("The reservation of %1 was not changed: \"%2\" marks "
                                      "free documents and cannot be a user name.")
                              .arg(path, user));
    const ScrivoHome home(session.home);
    if (home.MultiUserMode() != MultiUserModes::Shared)
        throw ServerError(ServerErrors::NotSharedProject,
                          Brevant::tr("The reservation of %1 was not changed: the active "
                                      "project %2 is not a Shared project.")
                              .arg(path, home.ActiveProject()));
}

void ScrivoDocument::Reserve()
{
    CheckMayChangeReservation(path, *session, true);
    // The document may have gone since it was opened (or its folder been replaced): no
    // record is written for a document that is not there.
    struct stat st;
    if (StatPath(EncodeFileName(path), st) != 0)
        ThrowOpenFailed(path, errno);
    if (!S_ISREG(st.st_mode))
        throw ServerError(ServerErrors::NotADocument,
                          Brevant::tr("%1 is no longer a document.").arg(path));
    // A record beside one of several names of the file would not be seen through the others.
    // (A FUSE network client reports one link for every file: there it cannot be told.)
    const nlink_t links = IsFuseNetworkFileSystem(st.st_dev) ? 1
                          : IsNetworkFileSystem(st.st_dev)   ? FreshLinkCount(path, st)
                                                             : st.st_nlink;
    if (links > 1)
        throw ServerError(ServerErrors::SeveralHardLinks,
                          Brevant::tr("%1 has %2 hard links, so it cannot be tied to one "
                                      "reservation; it was not reserved.")
                              .arg(path)
                              .arg(links));
    record.Create({session->userName, version, session->comment}, st.st_mode);
}

void ScrivoDocument::ReleaseReservation()
{
    CheckMayChangeReservation(path, *session, false);
    record.Remove(session->userName);
}

ReservationState ScrivoDocument::ReservationAt(const QString &fullPath,
                                               std::shared_ptr<ScrivoSession> session)
{
    const QString path = AbsolutePathOf(fullPath);
    std::optional<ReservationRecord> record = RecordOfDocumentAt(path);
    return record ? record->State() : Open(path, std::move(session))->Reservation();
}

void ScrivoDocument::ReleaseAt(const QString &fullPath, std::shared_ptr<ScrivoSession> session)
{
    const QString path = AbsolutePathOf(fullPath);
    CheckMayChangeReservation(path, *session, false);
    std::optional<ReservationRecord> record = RecordOfDocumentAt(path);
    if (record)
        record->Remove(session->userName);
    else
        Open(path, std::move(session))->ReleaseReservation();
}

QStringList ScrivoDocument::DirectReferences()
{
    QStringList paths;
    for (const QString &reference : references)
        paths.append(ProjectFilePath(reference, path));
    return paths;
}

QList<ServerDocumentPtr> ScrivoDocument::ReferencedDocuments()
{
    // Depth first in file order, each document once (known by device and inode, so that
    // two spellings of one path or a link cannot make the walk endless). A missing file
    // gives one null entry.
    QList<ServerDocumentPtr> result;
    QSet<QPair<quint64, quint64>> seen{{quint64(device), quint64(inode)}};
    QSet<QString> missing;
    struct Frame
    {
        const ScrivoDocument *document;
        qsizetype next;
    };
    QList<Frame> stack{{this, 0}};
    while (!stack.isEmpty()) {
        Frame &top = stack.last();
        if (top.next >= top.document->references.size()) {
            stack.removeLast();
            continue;
        }
        // A reference is relative to the document's folder unless absolute; a backslash is a
        // separator, as in project files.
        const QString referenced =
            ProjectFilePath(top.document->references[top.next++], top.document->path);
        std::shared_ptr<ScrivoDocument> child;
        try {
            child = Open(referenced, session);
        } catch (const ServerError &error) {
            // A missing file is an empty entry; anything else that cannot be a document fails
            // where it stands, and the walk goes on.
            if (!missing.contains(referenced)) {
                missing.insert(referenced);
                const bool gone = error.number == ServerErrors::FileNotFound ||
                                  error.number == ServerErrors::PathNotFound;
                result.append(gone ? nullptr
                                   : std::make_shared<UnreadableDocument>(referenced, error));
            }
            continue;
        }
        const QPair<quint64, quint64> key{quint64(child->device), quint64(child->inode)};
        if (seen.contains(key))
            continue;
        seen.insert(key);
        result.append(child);
        stack.append({child.get(), 0});
    }
    return result;
}
