#include "close_while_playing_session.h"

#include <unistd.h>

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <cstring>

#include "app/qt/application.h"
#include "app/qt/button_view.h"

namespace tolva::test {
namespace {

constexpr int kHangGuardMs = 30000;

void say(const char* line) {
    for (size_t done = 0, size = std::strlen(line); done < size;) {
        const ssize_t n = write(kSessionReportFd, line + done, size - done);
        if (n <= 0) {
            return;
        }
        done += static_cast<size_t>(n);
    }
}

// Blocks the window's thread until a whole line or end of file arrives; the
// device keeps playing on its own thread meanwhile.
void awaitCommand() {
    char c = 0;
    while (read(kSessionCommandFd, &c, 1) == 1 && c != '\n') {
    }
}

void scriptedUser(Application& app) {
    MainWindow& window = *app.window;
    (void)QTest::qWaitForWindowExposed(&window, kHangGuardMs);
    auto* playButton = window.findChild<ButtonView*>(QStringLiteral("playButton"));
    QTest::keyClick(&window, Qt::Key_Space);
    const bool playing = QTest::qWaitFor(
        [&] {
            return app.controller->toneUnit.load() != nullptr && playButton != nullptr &&
                   playButton->text() == QStringLiteral("Stop");
        },
        kHangGuardMs);
    if (!playing) {
        endProcess(kSessionNeverPlayed);
    }
    say("playing\n");
    awaitCommand();
    // As the window's close button does; the run loop then returns.
    window.close();
}

}  // namespace

void runCloseWhilePlayingSession(int argc, char** argv) {
    // What main() does, with the user's script queued in the run loop.
    QApplication application(argc, argv);
    Application& app = launchApplication();
    QTimer::singleShot(0, &application, [&app] { scriptedUser(app); });
    endProcess(QApplication::exec());
}

}  // namespace tolva::test
