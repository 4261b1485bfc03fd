#include "serial/mainthreadcall.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <QtGlobal>

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
    QMetaObject::invokeMethod(QCoreApplication::instance(), fn, Qt::BlockingQueuedConnection);
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
