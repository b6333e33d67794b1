// Figures of the running window, for the closing notes; not a test.
//
//   tolva_window_figures [--screenshot FILE] [--cpu-seconds N] [--startup-only]
//
// Starts the application as main() does and prints:
//   launch_to_shown_ms  from process start (kernel start time) to the first
//                       paint of the window
//   rss_kib             resident memory once the window is idle
//   cpu_percent         process CPU time over wall time while a thread sets the
//                       level meter 750 times a second (a 64-frame JACK period
//                       at 48 kHz), as a share of one core
// With --screenshot the window is grabbed to FILE after it is shown.

#include <sys/resource.h>
#include <time.h>
#include <unistd.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "app/qt/application.h"

namespace {

double processStartSecondsSinceBoot() {
    std::ifstream stat("/proc/self/stat");
    std::string line;
    std::getline(stat, line);
    std::istringstream rest(line.substr(line.rfind(')') + 2));
    std::string field;
    for (int i = 3; i <= 22; ++i) {
        rest >> field;
    }
    return std::stod(field) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double secondsSinceBoot() {
    timespec ts{};
    clock_gettime(CLOCK_BOOTTIME, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

long rssKib() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

double cpuSeconds(int who = RUSAGE_SELF) {
    rusage usage{};
    getrusage(who, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

class FirstPaint : public QObject {
  public:
    explicit FirstPaint(std::function<void()> then) : then_(std::move(then)) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && then_) {
            auto then = std::move(then_);
            then_ = nullptr;
            QTimer::singleShot(0, then);
        }
        return false;
    }

  private:
    std::function<void()> then_;
};

}  // namespace

int main(int argc, char* argv[]) {
    QString screenshot;
    double cpuWindow = 10.0;
    bool startupOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--startup-only") == 0) {
            startupOnly = true;
        }
    }
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--screenshot") == 0) {
            screenshot = QString::fromLocal8Bit(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--cpu-seconds") == 0) {
            cpuWindow = std::atof(argv[i + 1]);
        }
    }

    const double enteredMain = secondsSinceBoot();
    QApplication application(argc, argv);
    const double madeApplication = secondsSinceBoot();
    tolva::Application& app = tolva::launchApplication();
    const double launched = secondsSinceBoot();
    std::atomic<bool> running{true};
    std::thread meter;

    FirstPaint firstPaint([&, enteredMain, madeApplication, launched] {
        const double shown = secondsSinceBoot();
        const double started = processStartSecondsSinceBoot();
        std::printf(
            "launch_to_shown_ms %.1f (to main %.1f, QApplication %.1f, window and "
            "devices %.1f, first paint %.1f)\n",
            (shown - started) * 1e3, (enteredMain - started) * 1e3,
            (madeApplication - enteredMain) * 1e3, (launched - madeApplication) * 1e3,
            (shown - launched) * 1e3);
        if (startupOnly) {
            QApplication::quit();
            return;
        }
        if (!screenshot.isEmpty()) {
            app.panel.levelIndicator.setFloatValue(4.0f);
            app.panel.sourceButton.userClick();  // armed: MIDI selected while stopped
            app.panel.bypassButton.userClick();
            app.window->refreshTimer().tick();
            app.window->repaint();
            app.window->grab().save(screenshot);
            std::printf("screenshot %s\n", qPrintable(screenshot));
            QApplication::quit();
            return;
        }
        QTimer::singleShot(1000, [&] {
            std::printf("rss_kib %ld\n", rssKib());
            meter = std::thread([&] {
                int step = 0;
                while (running.load()) {
                    const float peak = 0.3f * (1.0f + std::sin(static_cast<float>(step++) * 0.01f));
                    app.controller->updateLevel(peak);
                    std::this_thread::sleep_for(std::chrono::microseconds(1333));
                }
            });
            const double cpu0 = cpuSeconds();
            const double ui0 = cpuSeconds(RUSAGE_THREAD);
            QElapsedTimer wall;
            wall.start();
            QTimer::singleShot(static_cast<int>(cpuWindow * 1000), [&, cpu0, ui0, wall] {
                const double seconds = static_cast<double>(wall.elapsed()) / 1e3;
                const double cpu = cpuSeconds() - cpu0;
                const double ui = cpuSeconds(RUSAGE_THREAD) - ui0;
                std::printf("cpu_percent %.2f over %.1f s (UI thread %.2f, the rest %.2f)\n",
                            100.0 * cpu / seconds, seconds, 100.0 * ui / seconds,
                            100.0 * (cpu - ui) / seconds);
                std::printf("rss_kib_after %ld\n", rssKib());
                QApplication::quit();
            });
        });
    });
    app.window->installEventFilter(&firstPaint);

    const int status = QApplication::exec();
    running.store(false);
    if (meter.joinable()) {
        meter.join();
    }
    std::fflush(stdout);
    tolva::endProcess(status);
}
