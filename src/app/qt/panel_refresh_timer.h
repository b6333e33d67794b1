#pragma once

#include <QObject>
#include <QTimer>
#include <vector>

#include "app/qt/model_view.h"
#include "engine/ring_modulator_view_controller.h"

namespace tolva {

// The UI thread's timer. On every tick it reports a failure that the render
// thread has recorded (which ends the process), stops the watched modulator
// when its audio device has gone away (and says so), then lets every view copy
// its model if it changed. Values set on the render, MIDI or device side reach
// the widgets only this way: nothing is posted to the event queue from those
// threads.
class PanelRefreshTimer : public QObject {
  public:
    static constexpr int kIntervalMs = 33;  // about 30 Hz

    explicit PanelRefreshTimer(QObject* parent = nullptr);

    void addView(ModelView* view) { views_.push_back(view); }
    // [UI] The modulator whose device the ticks watch; null watches none.
    void watchDevice(RingModulatorViewController* controller) { watched_ = controller; }
    void start() { timer_.start(); }
    void stop() { timer_.stop(); }
    bool isActive() const { return timer_.isActive(); }
    int interval() const { return timer_.interval(); }
    // [UI] One tick.
    void tick();

  private:
    QTimer timer_;
    std::vector<ModelView*> views_;
    RingModulatorViewController* watched_ = nullptr;
    bool reportingFailure_ = false;
};

}  // namespace tolva
