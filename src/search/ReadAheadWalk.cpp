#include "search/ReadAheadWalk.h"

#include "server/FileProcessing.h"
#include "system/DirectoryListing.h"

#include <QMutex>
#include <QThreadPool>
#include <QWaitCondition>
#include <atomic>
#include <deque>
#include <memory>
#include <vector>

namespace {

// One document of a listed folder, read by the pool.
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

class ReadAhead
{
public:
    ReadAhead(SearchContext &walked) : context(walked)
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
        pool.start([this, job] { ListFolder(*job); }, 1);
        return job;
    }

    // Waits until done() holds, letting pending events run; false when the search was
    // stopped meanwhile, unless inFlight() holds: what is already being read is finished, as
    // the walk one request at a time finishes the document it reads when the stop comes.
    template <typename Done, typename InFlight> bool WaitUntil(Done done, InFlight inFlight)
    {
        QMutexLocker locked(&lock);
        while (!done()) {
            if (context.StopSearch && !inFlight())
                return false;
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
    void ListFolder(FolderJob &job)
    {
        if (!cancelled) {
            const DirectoryListing listing = DirectoryListing::Read(job.folder);
            const QString prefix = job.folder.endsWith(u'/') ? job.folder : job.folder + u'/';
            QStringList names;
            for (const DirectoryEntry &entry : listing.Entries()) {
                // As SearchFolder takes them: folders not starting with ".", documents by
                // their last three letters, both by the name the listing gives.
                if (entry.IsFolder) {
                    const QString name = entry.Name();
                    if (!name.startsWith(u'.'))
                        job.subfolders.append(prefix + name);
                } else {
                    const QString fullName = prefix + entry.Name();
                    if (IsKorvexDocumentName(fullName))
                        names.append(fullName);
                }
            }
            job.open = listing.IsOpen();
            job.identity = listing.Identity();
            for (const QString &name : std::as_const(names)) {
                job.documents.push_back(std::make_unique<DocumentJob>());
                job.documents.back()->fullName = name;
            }
        }
        for (const std::unique_ptr<DocumentJob> &document : job.documents)
            pool.start([this, document = document.get()] { ReadOne(*document); });
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
            // The steps of readDocument in SearchFolder: a document not obtained is not read.
            ServerDocumentPtr document;
            try {
                document = context.Server.OpenDocument(job.fullName);
                job.opened = true;
            } catch (...) {
            }
            if (document) {
                try {
                    job.reading = ReadDocument(*document);
                    job.read = true;
                } catch (...) {
                }
            }
        }
        const QMutexLocker locked(&lock);
        job.done = true;
        finished.wakeAll();
    }

    SearchContext &context;
    QThreadPool pool;
    std::atomic<bool> cancelled = false;
    QMutex lock;
    QWaitCondition finished;
    // Every job made, kept until the pool is done with them.
    std::vector<std::unique_ptr<FolderJob>> jobs;
};

// Takes a listed folder's results in order: as SearchFolder does with one request at a time.
void TakeFolder(SearchContext &context, ReadAhead &ahead, const FolderJob &job)
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
    if (context.VisitedFolders.contains(job.identity))
        return;
    context.VisitedFolders.insert(job.identity);
    context.ListBoxDirs.append(job.subfolders);
    for (const std::unique_ptr<DocumentJob> &document : job.documents) {
        // As SearchFolder: a stop takes effect before the next document, the one being read
        // when it comes is finished.
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

void WalkFolderTreeReadingAhead(SearchContext &context, const QString &startFolder,
                                const std::function<void(const QString &)> &progress)
{
    // The folders listed ahead of the walk: a few for each thread.
    const qsizetype lookahead = 2 * qsizetype(qMax(1, context.Width));
    ReadAhead ahead(context);
    std::deque<FolderJob *> listing;
    context.ListBoxDirs.append(startFolder);
    while (!context.ListBoxDirs.isEmpty()) {
        const QString folder = context.ListBoxDirs.first();
        if (progress)
            progress(folder);
        if (!context.StopSearch) {
            for (qsizetype k = qsizetype(listing.size());
                 k < qMin(context.ListBoxDirs.size(), lookahead); ++k)
                listing.push_back(ahead.List(context.ListBoxDirs.at(k)));
            FolderJob &job = *listing.front();
            if (ahead.WaitUntil([&] { return job.listed; }, [] { return false; }))
                TakeFolder(context, ahead, job);
        }
        if (context.StopSearch)
            ahead.Stop();
        if (!listing.empty())
            listing.pop_front();
        if (!context.ListBoxDirs.isEmpty())
            context.ListBoxDirs.removeFirst();
    }
}
