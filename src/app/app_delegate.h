#pragma once

// The application delegate: it holds the main window and the one controller,
// puts the controller into its launch state, and answers the File menu. It
// knows nothing of the window system; the Qt shell drives it.

#include <memory>

#include "engine/ring_modulator_view_controller.h"

namespace tolva {

struct ControlPanel;

// The main window as the delegate sees it: the window that holds the panel.
class AppWindow {
  public:
    virtual ~AppWindow() = default;
    // [UI]
    virtual ControlPanel& panel() = 0;
};

class AppDelegate {
  public:
    // [UI] The single window that holds the panel.
    AppWindow* window() const { return window_.get(); }
    void setWindow(std::shared_ptr<AppWindow> window) { window_ = std::move(window); }
    // [UI] The one controller.
    RingModulatorViewController* viewController() const { return viewController_.get(); }
    void setViewController(std::shared_ptr<RingModulatorViewController> controller) {
        viewController_ = std::move(controller);
    }

    // [UI] Launching has finished: the window and the panel are up. Puts the
    // controller into its launch state; no audio or MIDI is opened.
    void applicationDidFinishLaunching();
    // [UI] Closing the window quits the application.
    bool applicationShouldTerminateAfterLastWindowClosed() const { return true; }
    // [UI] The File menu's Open and Save: each only writes its log line.
    void openDocument();
    void saveDocument();

  private:
    std::shared_ptr<AppWindow> window_;
    std::shared_ptr<RingModulatorViewController> viewController_;
};

}  // namespace tolva
