#include "search/SearchFolder.h"

#include "server/FileProcessing.h"

#include <QCoreApplication>
#include <QMutex>
#include <QThreadPool>
#include <QWaitCondition>
#include <atomic>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

SearchContext::SearchContext(DocumentServer &server, clsFiles &files, QStringList &listBoxDirs,
                             bool &stopSearch)
    : Server(server), Files(files), ListBoxDirs(listBoxDirs), StopSearch(stopSearch),
      ProcessEvents([] { QCoreApplication::processEvents(); })
{
}

void SearchContext::UseCache(MetadataCache *cache)
{
    constexpr int CachedWidth = 64;
    Cache = cache;
    if (cache && Width > 1)
        Width = qMax(Width, CachedWidth);
}

void WalkThroughCache(SearchContext &context, const QString &folder, bool wanted,
                      const std::function<void()> &walk)
{
    std::optional<MetadataCache> cache;
    if (wanted && MetadataCache::HelpsAt(folder))
        cache.emplace();
    const int width = context.Width;
    context.UseCache(cache ? &*cache : nullptr);
    walk();
    context.UseCache(nullptr);
    context.Width = width;
    if (cache)
        cache->Save();
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

// Whether the name ends in KPT, KAM or KDW, in any letter case (no dot needed); only ASCII
// letters can match, so the bytes of a name on disk answer as its decoded text would.
bool isDocumentName(const QByteArray &rawName)
{
    const qsizetype n = rawName.size();
    if (n < 3)
        return false;
    const auto upper = [](char ch) { return ch >= 'a' && ch <= 'z' ? char(ch - 'a' + 'A') : ch; };
    const char x = upper(rawName[n - 3]), y = upper(rawName[n - 2]), z = upper(rawName[n - 1]);
    return x == 'K' && ((y == 'P' && z == 'T') || (y == 'A' && z == 'M') || (y == 'D' && z == 'W'));
}

// Appends the record of a document the walk read and tells DocumentRead. A damaged
// reservation record is listed as such, and logged and counted as a document that could not
// be read.
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

// One document of a listed folder, read ahead of the walk.
struct DocumentJob
{
    QString fullName;
    bool started = false;
    bool opened = false;
    bool read = false;
    DocumentReading reading;
    bool done = false;
};

// One folder ahead of the walk: its listing, and its documents once it is listed.
struct FolderJob
{
    QString folder;
    bool listed = false;
    bool open = false;
    FolderIdentity identity;
    QStringList subfolders;
    std::vector<std::unique_ptr<DocumentJob>> documents;
};

// Lists the folders and reads the documents of the walk ahead of it. Where the server takes
// several documents at once (context.Width > 1) a pool of that many threads does it, many
// requests in flight, for folders on a file server where each waits a network round trip.
// Else each job runs on the walk's own thread when the walk waits for it, in the order asked
// for: one request at a time, none ahead.
class ReadAhead
{
public:
    ReadAhead(SearchContext &walked) : context(walked), inThreads(context.Width > 1)
    {
        pool.setMaxThreadCount(qMax(1, context.Width));
    }
    ~ReadAhead()
    {
        // No job outlives what it writes into.
        cancelled = true;
        pool.waitForDone();
    }

    // Starts listing the folder; its documents are read as soon as it is listed.
    FolderJob *List(const QString &folder)
    {
        jobs.push_back(std::make_unique<FolderJob>());
        FolderJob *job = jobs.back().get();
        job->folder = folder;
        // Listings come first: they find the work of the reads.
        Start([this, job] { ListFolder(*job); }, 1);
        return job;
    }

    // How many folders are listed ahead of the walk: a few for each thread.
    qsizetype Lookahead() const { return inThreads ? 2 * qsizetype(context.Width) : 1; }

    // Waits until done() holds, letting pending events run; false when the search was
    // stopped meanwhile, unless inFlight() holds: what is already being read is finished, as
    // the walk one request at a time finishes the document it reads when the stop comes.
    template <typename Done, typename InFlight> bool WaitUntil(Done done, InFlight inFlight)
    {
        QMutexLocker locked(&lock);
        while (!done()) {
            if (context.StopSearch && !inFlight())
                return false;
            if (!inThreads) {
                locked.unlock();
                if (!RunNext())
                    return false; // nothing left that could make it so
                locked.relock();
                continue;
            }
            finished.wait(&lock, 10);
            locked.unlock();
            if (context.ProcessEvents)
                context.ProcessEvents();
            locked.relock();
        }
        return true;
    }

    void Stop() { cancelled = true; }

private:
    void Start(std::function<void()> job, int priority = 0)
    {
        if (inThreads)
            pool.start(std::move(job), priority);
        else
            queued.push_back(std::move(job));
    }

    bool RunNext()
    {
        if (queued.empty())
            return false;
        const std::function<void()> job = std::move(queued.front());
        queued.pop_front();
        job();
        return true;
    }

    void ListFolder(FolderJob &job)
    {
        if (!cancelled) {
            const DirectoryListing listing = DirectoryListing::Read(job.folder);
            const QString prefix = job.folder.endsWith(u'/') ? job.folder : job.folder + u'/';
            for (const DirectoryEntry &entry : listing.Entries()) {
                // Folders not starting with "." (so neither "." nor ".."), documents by their
                // last three letters, both by the name the listing gives. Most entries are
                // other files: they are passed over before their names are decoded.
                if (entry.IsFolder) {
                    const QString name = entry.Name();
                    if (!name.startsWith(u'.'))
                        job.subfolders.append(prefix + name);
                } else if (isDocumentName(entry.RawName)) {
                    job.documents.push_back(std::make_unique<DocumentJob>());
                    job.documents.back()->fullName = prefix + entry.Name();
                }
            }
            job.open = listing.IsOpen();
            job.identity = listing.Identity();
        }
        for (const std::unique_ptr<DocumentJob> &document : job.documents)
            Start([this, document = document.get()] { ReadOne(*document); });
        const QMutexLocker locked(&lock);
        job.listed = true;
        finished.wakeAll();
    }

    void ReadOne(DocumentJob &job)
    {
        {
            const QMutexLocker locked(&lock);
            job.started = !cancelled;
        }
        if (job.started) {
            try {
                // Taken before the document is read: a change while it is read shows as
                // another identity next time.
                const std::optional<DocumentIdentity> identity =
                    context.Cache ? DocumentIdentity::Of(job.fullName) : std::nullopt;
                if (!identity || !ReadFromCache(job, *identity))
                    ReadFromServer(job, identity);
            } catch (...) {
            }
        }
        const QMutexLocker locked(&lock);
        job.done = true;
        finished.wakeAll();
    }

    // What the cache kept of the document as it is now, its reservation looked up afresh;
    // false when the cache holds nothing for it.
    bool ReadFromCache(DocumentJob &job, const DocumentIdentity &identity)
    {
        const std::optional<CachedDocument> kept = context.Cache->Find(job.fullName, identity);
        if (!kept)
            return false;
        job.opened = true;
        job.reading = ReadReservationAt(context.Server, job.fullName);
        job.reading.DisplayName = kept->DisplayName;
        job.reading.FullFileName = kept->FullFileName;
        if (context.ReadReferences)
            job.reading.References = kept->References;
        job.read = true;
        return true;
    }

    void ReadFromServer(DocumentJob &job, const std::optional<DocumentIdentity> &identity)
    {
        const ServerDocumentPtr document = context.Server.OpenDocument(job.fullName);
        job.opened = true;
        // A document that was not obtained is not read.
        if (!document)
            return;
        job.reading = ReadDocument(*document);
        // The cache keeps references even for a search that shows none, so that a later
        // where-used finds them there.
        const QStringList references =
            context.ReadReferences || identity ? document->DirectReferences() : QStringList();
        if (context.ReadReferences)
            job.reading.References = references;
        job.read = true;
        if (identity)
            context.Cache->Store(job.fullName, *identity,
                                 {job.reading.FullFileName, job.reading.DisplayName, references});
    }

    SearchContext &context;
    const bool inThreads;
    std::deque<std::function<void()>> queued; // the jobs not yet run, without threads
    QThreadPool pool;
    std::atomic<bool> cancelled = false;
    QMutex lock;
    QWaitCondition finished;
    // Every job made, kept until the pool is done with them.
    std::vector<std::unique_ptr<FolderJob>> jobs;
};

// Searches one listed folder: appends its sub-folders to the work list and the record of each
// part, assembly and drawing document in it to Files, in the listing's order. A folder that
// cannot be listed, and a document that cannot be opened or read, go to the error log (a
// document not opened twice, once for each failed step); the search goes on. A folder
// searched before in this search is passed over.
void SearchFolder(SearchContext &context, ReadAhead &ahead, const FolderJob &job)
{
    struct FlushLogAtEnd
    {
        ErrorLog &log;
        ~FlushLogAtEnd() { log.Flush(); }
    } flush{context.Log};
    if (!job.open) {
        context.Log.Append(job.folder);
        ++context.FailedFolders;
        return;
    }
    if (const auto searched = context.VisitedFolders.constFind(job.identity);
        searched != context.VisitedFolders.cend()) {
        context.SameFolders.insert(job.folder, *searched);
        return;
    }
    context.VisitedFolders.insert(job.identity, job.folder);
    context.ListBoxDirs.append(job.subfolders);
    bool first = true;
    for (const std::unique_ptr<DocumentJob> &document : job.documents) {
        if (!first && context.ProcessEvents)
            context.ProcessEvents();
        first = false;
        // A stop takes effect before the next document; the one being read when it comes is
        // finished.
        if (context.StopSearch ||
            !ahead.WaitUntil([&] { return document->done; }, [&] { return document->started; }))
            return;
        if (!document->opened)
            context.Log.Append(document->fullName);
        if (!document->read) {
            context.Log.Append(document->fullName);
            ++context.FailedDocuments;
            continue;
        }
        TakeReading(context, document->fullName, document->reading);
    }
}

} // namespace

void WalkFolderTree(SearchContext &context, const QString &startFolder,
                    const std::function<void(const QString &)> &progress)
{
    ReadAhead ahead(context);
    std::deque<FolderJob *> listing;
    context.ListBoxDirs.append(startFolder);
    while (!context.ListBoxDirs.isEmpty()) {
        const QString folder = context.ListBoxDirs.first();
        if (progress)
            progress(folder);
        if (!context.StopSearch) {
            for (qsizetype k = qsizetype(listing.size());
                 k < qMin(context.ListBoxDirs.size(), ahead.Lookahead()); ++k)
                listing.push_back(ahead.List(context.ListBoxDirs.at(k)));
            FolderJob &job = *listing.front();
            if (ahead.WaitUntil([&] { return job.listed; }, [] { return false; }))
                SearchFolder(context, ahead, job);
        }
        if (context.StopSearch)
            ahead.Stop();
        if (!listing.empty())
            listing.pop_front();
        if (!context.ListBoxDirs.isEmpty())
            context.ListBoxDirs.removeFirst();
    }
}
