#include "Velmora/Application/QtMainThreadDispatcher.h"

#include <QThread>
#include <QTimer>
#include <stdexcept>

namespace velmora::app {

namespace {

class QtRepeatingTimer final : public RepeatingTimer {
public:
    QtRepeatingTimer(std::chrono::milliseconds interval, std::function<void()> tick) : timer_(new QTimer) {
        timer_->setInterval(interval);
        timer_->setTimerType(Qt::PreciseTimer);
        QObject::connect(timer_, &QTimer::timeout, [tick = std::move(tick)] {
            // The tick may cancel or destroy its own handle: it runs on a copy.
            auto call = tick;
            call();
        });
        timer_->start();
    }
    // A handle destroyed inside its own tick must not delete the QTimer that is emitting.
    ~QtRepeatingTimer() override {
        timer_->stop();
        timer_->deleteLater();
    }
    void cancel() override { timer_->stop(); }

private:
    QTimer* timer_;
};

} // namespace

QtMainThreadDispatcher::QtMainThreadDispatcher() = default;

QtMainThreadDispatcher::~QtMainThreadDispatcher() = default;

void QtMainThreadDispatcher::post(std::function<void()> task) {
    QMetaObject::invokeMethod(&context_, std::move(task), Qt::QueuedConnection);
}

std::unique_ptr<RepeatingTimer> QtMainThreadDispatcher::scheduleRepeating(std::chrono::milliseconds interval,
                                                                          std::function<void()> tick) {
    if (!isMainThread()) {
        throw std::logic_error("scheduleRepeating called off the main thread");
    }
    return std::make_unique<QtRepeatingTimer>(interval, std::move(tick));
}

bool QtMainThreadDispatcher::isMainThread() const {
    return QThread::currentThread() == context_.thread();
}

} // namespace velmora::app
