// The application as a user meets it, on jackd or on PipeWire (run under
// pw-jack with TOLVA_TEST_SERVER=pipewire): the window started before any
// server, Space plays the microphone ring-modulated to the speakers, every
// MIDI message of a cycle arrives, Stop leaves no port behind, a server that
// goes away is noticed and (on jackd) a new one plays, with MIDI connected
// again; on PipeWire, a rate change keeps the carrier at its pitch.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <cmath>

#include "app/qt/application.h"
#include "device/device_loss.h"
#include "jack_test_server.h"
#include "platform/log/system_log.h"
#include "support/signal_analysis.h"

namespace tolva::test {
namespace {

float tone1000(uint32_t frame) {
    return static_cast<float>(0.5 * std::sin(2.0 * M_PI * 1000.0 * (frame % 48000) / 48000.0));
}

// The tenth of a second of the speakers' last `frames` in which the tones at
// hz1 and hz2 are strongest: a cycle a busy server skipped holds the carrier
// back against the clock and smears the stretch it falls in.
std::vector<float> cleanestTenth(const ProbeClient& speakers, uint64_t frames, double hz1,
                                 double hz2) {
    const jack_nframes_t rate = jack_get_sample_rate(speakers.client);
    const auto score = [&](const std::vector<float>& s) {
        return toneAmplitude(s, hz1, rate) + toneAmplitude(s, hz2, rate);
    };
    std::vector<float> best;
    for (uint64_t back = frames; back >= rate / 10; back -= 1000) {
        std::vector<float> stretch = speakers.last(back);
        stretch.resize(rate / 10);
        best = best.empty() || score(stretch) > score(best) ? stretch : best;
    }
    return best;
}

TEST(EndToEndTest, TheWindowPlaysThroughAServerThatComesGoesAndComesBack) {
    if (std::getenv("DISPLAY") == nullptr) {
        GTEST_SKIP() << "no X display; run the tests under scripts/with-display";
    }
    static int argc = 1;
    static char* argv[] = {const_cast<char*>("tolva"), nullptr};
    [[maybe_unused]] static auto* const application = new QApplication(argc, argv);  // never ends
    std::vector<std::string> log;
    setSystemLogSink([&](std::string_view entry) { log.emplace_back(entry); });
    Application& app = launchApplication();  // before any server: nothing is opened
    ASSERT_TRUE(QTest::qWaitForWindowExposed(app.window.get(), 30000));
    JackTestServer server;
    for (int made = 1; made <= 2; ++made) {
        SCOPED_TRACE(made == 1 ? "the first server" : "the server that came back");
        resetModulatorGlobals();  // MIDI's values, to hear them arrive
        midi.store(made == 1 ? 0 : 1);
        ASSERT_TRUE(server.start());
        server.mic->signal = &tone1000;
        QTest::keyClick(app.window.get(), Qt::Key_Space);
        EXPECT_EQ(std::count(log.begin(), log.end(), "MIDI Sources: 1"), made) << "MIDI not made";
        const std::pair<std::vector<std::vector<uint8_t>>, std::function<bool()>> midiCases[] = {
            {{{0x90, 60, 100}, {0xE0, 0, 0}}, [] { return pitch == 60.0 && bend == -1.0; }},
            {{{0xB0, 1, 127}, {0xB0, 11, 127}}, [] { return mmi == 1.0 && nonl == 4.0; }},
            // A chord within one cycle: every key counts; a velocity-0 note-on releases.
            {{{0x91, 64, 100}, {0x91, 67, 100}, {0x90, 60, 0}}, [] { return hold == 2; }},
        };
        for (const auto& [messages, heard] : midiCases) {
            server.keys->messages = messages;
            server.keys->pending = true;
            EXPECT_TRUE(waitUntil(heard)) << "MIDI status " << int(messages[0][0]) << " unheard";
        }
        // 0.5 sin(a) x g sin(b) = g/4 (cos(a-b) - cos(a+b)), g the steady envelope.
        ASSERT_TRUE(server.speakers->recordMore(48000));
        const std::vector<float> heard = cleanestTenth(*server.speakers, 48000, 560.0, 1440.0);
        EXPECT_NEAR(toneAmplitude(heard, 560.0, 48000.0), 0.25 * kEnvelopeOnLevel, 0.02);
        EXPECT_NEAR(toneAmplitude(heard, 1440.0, 48000.0), 0.25 * kEnvelopeOnLevel, 0.02);
        if (server.pipeWire() && made == 1) {
            // A steady input at full depth plays the carrier itself, at 0.5 g.
            server.mic->signal = [](uint32_t) { return 0.5f; };
            ASSERT_EQ(std::system("pw-metadata -n settings 0 clock.force-rate 44100"), 0);
            ASSERT_TRUE(waitUntil([&] { return R == 44100.0; })) << "the rate went unheard";
            ProbeClient speakers(ProbeClient::Role::Speakers, "speakers at 44100", false);
            jack_connect(speakers.client, "Speakers:monitor_FL", speakers.portName().c_str());
            ASSERT_TRUE(speakers.recordMore(44100));
            const std::vector<float> carrier = cleanestTenth(speakers, 44100, 440.0, 440.0);
            std::system("pw-metadata -n settings 0 clock.force-rate 0");
            EXPECT_NEAR(toneAmplitude(carrier, 440.0, 44100.0), 0.5 * kEnvelopeOnLevel, 0.05);
        }
        QTest::keyClick(app.window.get(), Qt::Key_Space);  // Stop
        EXPECT_TRUE(waitUntil([&] { return !jack_port_by_name(server.keys->client, "Tolva:out"); }))
            << "Stop left Tolva's ports behind";
        QTest::keyClick(app.window.get(), Qt::Key_Space);
        if (made == 2 || !server.kill()) {
            break;  // a running server is not the test's to kill
        }
        EXPECT_TRUE(QTest::qWaitFor([&] { return app.panel.playButton.title() == "Play"; }, 30000))
            << "the loss went unnoticed";
        const QWidgetList windows = QApplication::topLevelWidgets();
        EXPECT_TRUE(std::any_of(windows.begin(), windows.end(), [](QWidget* w) {
            return qobject_cast<QMessageBox*>(w) && w->isVisible() &&
                   w->windowTitle() == kDeviceLostTitle;
        })) << "the user was not told";
        if (server.pipeWire()) {
            // A PipeWire daemon started again in this process does not always
            // run its graph for this process's clients (the probes too); the
            // play after a server came back is heard on jackd.
            break;
        }
    }
    setSystemLogSink({});
}

}  // namespace
}  // namespace tolva::test
