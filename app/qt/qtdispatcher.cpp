#include "app/qt/qtdispatcher.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

namespace {

class TQtDispatcher final : public TMainThreadDispatcher
{
public:
    bool IsMainThread() const override
    {
        const QCoreApplication* app = QCoreApplication::instance();
        return app == nullptr || QThread::currentThread() == app->thread();
    }

    void Post(std::function<void()> fn) override
    {
        QCoreApplication* app = QCoreApplication::instance();
        if (app == nullptr)
            return; // IsMainThread is true then: nobody posts
        QMetaObject::invokeMethod(app, std::move(fn), Qt::QueuedConnection);
    }
};

} // namespace

std::shared_ptr<TMainThreadDispatcher> MakeQtDispatcher()
{
    return std::make_shared<TQtDispatcher>();
}
