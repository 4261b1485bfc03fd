#include "serial/mainthreadcall.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <QtGlobal>
#include <condition_variable>
#include <memory>
#include <mutex>

bool OffMainThread()
{
    QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() != app->thread();
}

void RunOnMainThread(const std::function<void()>& fn)
{
    if (!OffMainThread()) {
        fn();
        return;
    }
    // A queued call plus a wait of our own rather than Qt::BlockingQueuedConnection: the same
    // hand-over, but its synchronisation is visible to ThreadSanitizer (Qt's semaphore is not
    // instrumented).
    struct TDone
    {
        std::mutex Lock;
        std::condition_variable Changed;
        bool Finished = false;
    };
    auto done = std::make_shared<TDone>();
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [done, &fn] {
            try {
                fn();
            } catch (...) {
                // The callers hand their exceptions back themselves; nothing may cross Qt.
            }
            std::lock_guard lock(done->Lock);
            done->Finished = true;
            done->Changed.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(done->Lock);
    done->Changed.wait(lock, [&] { return done->Finished; });
}

void ServeMainThreadCalls()
{
    if (QCoreApplication::instance() != nullptr && !OffMainThread())
        QCoreApplication::processEvents();
}

void ReportHandlerException(const char* what)
{
    qWarning("serial port event handler: %s", what);
}
