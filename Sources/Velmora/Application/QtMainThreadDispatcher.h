#pragma once
// The application core's main thread bound to Qt's event loop: posted tasks become queued calls on the
// GUI thread, repeating timers are QTimers. Create it on the GUI thread after the QApplication.

#include "VelmoraCore/MainThreadDispatcher.h"

#include <QObject>

namespace velmora::app {

class QtMainThreadDispatcher final : public MainThreadDispatcher {
public:
    QtMainThreadDispatcher();
    /// Tasks still queued are dropped.
    ~QtMainThreadDispatcher() override;

    void post(std::function<void()> task) override;
    std::unique_ptr<RepeatingTimer> scheduleRepeating(std::chrono::milliseconds interval,
                                                      std::function<void()> tick) override;
    bool isMainThread() const override;

private:
    // Queued calls are bound to this object: they are dropped once it is gone.
    QObject context_;
};

} // namespace velmora::app
