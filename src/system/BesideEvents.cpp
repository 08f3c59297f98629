#include "system/BesideEvents.h"

#include "system/Failure.h"
#include "system/Translation.h"

#include <QEventLoop>
#include <thread>

std::optional<QString> RunBesideEvents(const std::function<void()> &work)
{
    std::optional<QString> failure;
    QEventLoop loop;
    // An exception leaving a thread's function would end the program.
    std::thread worker([&] {
        try {
            work();
        } catch (const std::exception &error) {
            failure = ReasonOf(error);
        } catch (...) {
            failure = Brevant::tr("an unexpected failure");
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    return failure;
}
