#include "search/SearchFolder.h"

#include "search/ReadAheadWalk.h"
#include "server/FileProcessing.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <stdexcept>

SearchContext::SearchContext(DocumentServer &server, clsFiles &files, QStringList &listBoxDirs,
                             bool &stopSearch)
    : Server(server), Files(files), ListBoxDirs(listBoxDirs), StopSearch(stopSearch),
      ProcessEvents([] { QCoreApplication::processEvents(); })
{
}

namespace {

// Whether the three characters end in KPT, KAM or KDW, in any letter case; only ASCII
// letters can match, so the bytes of a name on disk answer as its decoded text would.
template <typename Char> bool isDocumentEnding(Char a, Char b, Char c)
{
    const auto upper = [](Char ch) { return ch >= 'a' && ch <= 'z' ? ch - 'a' + 'A' : int(ch); };
    const int x = upper(a), y = upper(b), z = upper(c);
    return x == 'K' && ((y == 'P' && z == 'T') || (y == 'A' && z == 'M') || (y == 'D' && z == 'W'));
}

bool isDocumentName(const QByteArray &rawName)
{
    const qsizetype n = rawName.size();
    return n >= 3 && isDocumentEnding(rawName[n - 3], rawName[n - 2], rawName[n - 1]);
}

} // namespace

bool IsKorvexDocumentName(const QString &fullName)
{
    const qsizetype n = fullName.size();
    return n >= 3 && isDocumentEnding(fullName[n - 3].unicode(), fullName[n - 2].unicode(),
                                      fullName[n - 1].unicode());
}

void TakeReading(SearchContext &context, const QString &fullName, const DocumentReading &reading)
{
    AppendRecord(context.Files, reading);
    if (!reading.Damage.isEmpty()) {
        context.Log.Append(fullName);
        ++context.FailedDocuments;
    }
    if (context.DocumentRead)
        context.DocumentRead(fullName, reading);
}

QString TrimBlanks(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == u' ')
        ++begin;
    while (end > begin && text.at(end - 1) == u' ')
        --end;
    return text.mid(begin, end - begin);
}

namespace {

bool matchesPattern(const QString &pattern, const QString &name)
{
    const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(pattern));
    return re.match(name).hasMatch();
}

// Runs one step of the search; a failure is logged under the entry's full name and the
// search goes on with the next step. Returns whether the step succeeded.
template <typename Step> bool loggedStep(SearchContext &context, const QString &fullName, Step step)
{
    try {
        step();
        return true;
    } catch (...) {
        context.Log.Append(fullName);
        return false;
    }
}

void readDocument(SearchContext &context, const QString &fullName)
{
    ServerDocumentPtr doc;
    const bool opened =
        loggedStep(context, fullName, [&] { doc = context.Server.OpenDocument(fullName); });
    // Reading a document that was not obtained fails too, so an unopenable document leaves
    // two lines in the log, one for each failed step.
    DocumentReading reading;
    const bool read = loggedStep(context, fullName, [&] {
        if (!doc)
            throw std::runtime_error("no document to read");
        reading = ReadDocument(*doc);
    });
    if (read)
        TakeReading(context, fullName, reading);
    if (!opened || !read)
        ++context.FailedDocuments;
}

QString withTrailingSeparator(const QString &folder)
{
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

} // namespace

namespace {

// The lines a folder's search logged are written when it is done, in one write.
struct FlushLogAtEnd
{
    ErrorLog &log;
    ~FlushLogAtEnd() { log.Flush(); }
};

} // namespace

void SearchFolder(SearchContext &context, const QString &folder, const QString &pattern)
{
    if (context.StopSearch)
        return;
    const FlushLogAtEnd flush{context.Log};
    const DirectoryListing listing = DirectoryListing::Read(folder);
    if (!listing.IsOpen()) {
        context.Log.Append(folder);
        ++context.FailedFolders;
        return;
    }
    if (context.VisitedFolders.contains(listing.Identity()))
        return;
    context.VisitedFolders.insert(listing.Identity());

    const QString prefix = withTrailingSeparator(folder);
    const bool everyEntry = pattern == u"*.*" || pattern == u"*";
    bool first = true;
    for (const DirectoryEntry &entry : listing.Entries()) {
        if (!first && context.ProcessEvents)
            context.ProcessEvents();
        first = false;

        // Most entries are other files: they are passed over before their names are decoded.
        if (everyEntry && !entry.IsFolder && !isDocumentName(entry.RawName))
            continue;
        const QString name = entry.Name();
        if (!everyEntry && !matchesPattern(pattern, name))
            continue;
        if (entry.IsFolder) {
            if (!name.startsWith(u'.'))
                context.ListBoxDirs.append(prefix + name);
            continue;
        }
        const QString fullName = prefix + name;
        if (!IsKorvexDocumentName(fullName))
            continue;
        if (context.StopSearch)
            return;
        readDocument(context, fullName);
    }
}

void WalkFolderTree(SearchContext &context, const QString &startFolder,
                    const std::function<void(const QString &)> &progress)
{
    if (context.Width > 1) {
        WalkFolderTreeReadingAhead(context, startFolder, progress);
        return;
    }
    context.ListBoxDirs.append(startFolder);
    while (!context.ListBoxDirs.isEmpty()) {
        const QString folder = context.ListBoxDirs.first();
        if (progress)
            progress(folder);
        SearchFolder(context, folder, QStringLiteral("*.*"));
        if (!context.ListBoxDirs.isEmpty())
            context.ListBoxDirs.removeFirst();
    }
}
