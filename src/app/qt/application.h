#pragma once

// Start-up of the window application, shared by main() and the window probes.

#include <memory>

#include "app/app_delegate.h"
#include "app/control_panel.h"
#include "app/qt/main_window.h"
#include "app/qt/qt_alert_presenter.h"

namespace tolva {

// Everything the running application holds. It is made once and lives until
// the process ends; nothing in it is torn down (the device may still be
// calling back into the controller when the window closes).
struct Application {
    std::shared_ptr<RingModulatorViewController> controller;
    ControlPanel panel;
    AppDelegate delegate;
    std::shared_ptr<MainWindow> window;
    QtAlertPresenter alerts;
};

// [UI] After the QApplication exists: installs the system's audio device and
// MIDI services where they are built in (each is chosen, and opened, at Play),
// connects the panel to the controller, lets the window's timer watch its
// device, shows the window and sets the launch defaults.
Application& launchApplication();

// [UI] Ends the process with `status` once the run loop has returned: output
// is flushed, nothing else is cleaned up (a running device is not faded out).
[[noreturn]] void endProcess(int status);

}  // namespace tolva
