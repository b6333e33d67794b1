#include "app/qt/application.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

#ifdef TOLVA_SYSTEM_AUDIO_HEADER
#include TOLVA_SYSTEM_AUDIO_HEADER
#endif
#ifdef TOLVA_SYSTEM_MIDI_HEADER
#include TOLVA_SYSTEM_MIDI_HEADER
#endif

namespace tolva {

Application& launchApplication() {
#ifdef TOLVA_SYSTEM_AUDIO_HEADER
    installSystemAudioDevice();
#endif
#ifdef TOLVA_SYSTEM_MIDI_HEADER
    installSystemMidiServices();
#endif
    QGuiApplication::setDesktopFileName(QStringLiteral("tolva"));

    // Never deleted: it lives as long as the process.
    auto* app = new Application;
    app->controller = std::make_shared<RingModulatorViewController>();
    app->panel.connect(*app->controller);
    app->delegate.setViewController(app->controller);
    app->window = std::make_shared<MainWindow>(app->panel, app->delegate);
    app->window->refreshTimer().watchDevice(app->controller.get());
    app->delegate.setWindow(app->window);
    setAlertPresenter(&app->alerts);
    QApplication::setQuitOnLastWindowClosed(
        app->delegate.applicationShouldTerminateAfterLastWindowClosed());

    app->window->show();
    app->delegate.applicationDidFinishLaunching();
    return *app;
}

void endProcess(int status) {
    std::fflush(nullptr);
    std::_Exit(status);
}

}  // namespace tolva
