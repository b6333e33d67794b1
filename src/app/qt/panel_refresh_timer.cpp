#include "app/qt/panel_refresh_timer.h"

#include "device/check_error.h"
#include "device/device_loss.h"

namespace tolva {

PanelRefreshTimer::PanelRefreshTimer(QObject* parent) : QObject(parent) {
    timer_.setInterval(kIntervalMs);
    timer_.setTimerType(Qt::CoarseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] { tick(); });
}

void PanelRefreshTimer::tick() {
    if (fatalErrorPending()) {
        // The alert runs a nested event loop in which this timer keeps
        // firing; the failure is reported once.
        if (!reportingFailure_) {
            reportingFailure_ = true;
            reportPendingFatalError();
        }
        return;
    }
    if (watched_ != nullptr) {
        stopAfterDeviceLoss(*watched_);
    }
    for (ModelView* view : views_) {
        view->refresh();
    }
}

}  // namespace tolva
