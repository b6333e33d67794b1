#include "app/app_delegate.h"

#include "platform/log/system_log.h"

namespace tolva {

// The launch frequency, multiplier segment (x1), tuning and note.
namespace {
constexpr double kLaunchFrequency = 440.0;
constexpr int64_t kLaunchMultSegment = 2;
constexpr double kLaunchMult = 1.0;
constexpr double kLaunchA = 440.0;
constexpr double kLaunchPitch = 69.0;
}  // namespace

void AppDelegate::applicationDidFinishLaunching() {
    RingModulatorViewController* c = viewController_.get();
    if (c == nullptr) {
        return;
    }
    // The controller has no initialisation of its own: every field has been
    // zero since it was made. The defaults follow, in this order.
    c->frequency.store(kLaunchFrequency, std::memory_order_relaxed);
    if (c->segCtrlMult != nullptr) {
        c->segCtrlMult->setSelectedSegment(kLaunchMultSegment);
    }
    c->mult.store(kLaunchMult, std::memory_order_relaxed);
    c->midif.store(0, std::memory_order_relaxed);
    c->logview.store(0, std::memory_order_relaxed);
    A.store(kLaunchA, std::memory_order_relaxed);
    pitch.store(kLaunchPitch, std::memory_order_relaxed);
}

void AppDelegate::openDocument() {
    systemLog("OPEN:\n");
}

void AppDelegate::saveDocument() {
    systemLog("SAVE:\n");
}

}  // namespace tolva
