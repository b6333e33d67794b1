// The application as a user meets it: the window started as the executable
// starts it, the system's audio device and MIDI services, a JACK server. Space
// plays, a tone fed into Tolva's input comes back ring-modulated by the
// default panel, and Space again stops and takes the client away.

#include <QApplication>
#include <QTest>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "app/qt/application.h"
#include "app/qt/button_view.h"
#include "app/qt/level_meter_view.h"
#include "end_to_end_fixture.h"
#include "jack_ports_of.h"
#include "jack_probe_clients.h"
#include "support/signal_analysis.h"

namespace tolva::test {
namespace {

constexpr double kRate = 48000.0;
constexpr double kInputHz = 1000.0;
constexpr double kCarrierHz = 440.0;  // the launch default

// [JACK process thread] 1 kHz at amplitude 0.5, by the server's frame clock.
float inputTone(uint32_t frame) {
    const double t = static_cast<double>(frame % 48000) / kRate;
    return static_cast<float>(0.5 * std::sin(2.0 * 3.141592653589793 * kInputHz * t));
}

// The tenth of a second of `heard` in which the two sidebands are strongest.
// The dummy server skips a cycle now and then on a busy machine; that smears
// the stretch it falls in, so the cleanest stretch is the one judged.
std::vector<float> cleanestTenth(const std::vector<float>& heard, size_t from, size_t to) {
    constexpr size_t kTenth = 4800;
    std::vector<float> best;
    double bestScore = -1.0;
    for (size_t at = from; at + kTenth <= to; at += kTenth / 4) {
        std::vector<float> stretch(heard.begin() + static_cast<long>(at),
                                   heard.begin() + static_cast<long>(at + kTenth));
        const double score = toneAmplitude(stretch, kInputHz - kCarrierHz, kRate) +
                             toneAmplitude(stretch, kInputHz + kCarrierHz, kRate);
        if (score > bestScore) {
            bestScore = score;
            best = std::move(stretch);
        }
    }
    return best;
}

using WholeApplicationTest = EndToEndTest;

TEST_F(WholeApplicationTest, SpacePlaysTheInputRingModulatedThroughJackAndSpaceAgainStops) {
    ASSERT_NE(QApplication::instance(), nullptr);
    ProbeClient source(ProbeClient::Role::Source, "tolva-e2e-source");
    ASSERT_TRUE(source.ok());
    source.setSignal(&inputTone);
    jack_client_t* observer = source.client();

    Application& app = launchApplication();
    // Closing this window would end the test process; that close is tested
    // in a process of its own.
    QApplication::setQuitOnLastWindowClosed(false);
    MainWindow& window = *app.window;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window, hangGuardMs()));
    auto* playButton = window.findChild<ButtonView*>(QStringLiteral("playButton"));
    auto* meter = window.findChild<LevelMeterView*>(QStringLiteral("levelIndicator"));
    ASSERT_NE(playButton, nullptr);
    ASSERT_NE(meter, nullptr);
    EXPECT_EQ(playButton->text(), QStringLiteral("Play"));
    EXPECT_TRUE(portsOfClient(observer, "Tolva").empty()) << "nothing is opened before Play";

    // Play: the client appears with its two ports, the button offers Stop,
    // and the first Play has made the MIDI input port.
    QTest::keyClick(&window, Qt::Key_Space);
    ASSERT_NE(app.controller->toneUnit.load(), nullptr);
    EXPECT_EQ(portsOfClient(observer, "Tolva"), (std::vector<std::string>{"in", "out"}));
    EXPECT_EQ(portsOfClient(observer, "Tolva MIDI"), std::vector<std::string>{"midi_in"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return playButton->text() == QStringLiteral("Stop"); },
                                hangGuardMs()));

    // The probe is all Tolva hears; a fresh sink records what it plays once
    // the fade-in and the depth glide are long over.
    ASSERT_TRUE(source.connect(source.portName(), "Tolva:in"));
    ASSERT_TRUE(source.disconnect("system:capture_1", "Tolva:in"));
    QTest::qWait(100);
    constexpr size_t kSettle = 4096;
    constexpr size_t kFrames = kSettle + 48000;
    ProbeClient sink(ProbeClient::Role::Sink, "tolva-e2e-sink", kFrames + 48000);
    ASSERT_TRUE(sink.ok());
    ASSERT_TRUE(sink.connect("Tolva:out", sink.portName()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return sink.framesRecorded() >= kFrames; }, hangGuardMs()))
        << "the sink recorded " << sink.framesRecorded() << " frames";
    sink.deactivate();
    EXPECT_TRUE(QTest::qWaitFor([&] { return meter->litCells() > 0; }, hangGuardMs()))
        << "the level meter shows nothing while a tone plays";

    // 0.5 sin(a) x g sin(b) = g/4 (cos(a-b) - cos(a+b)), g the steady envelope;
    // at depth 1 nothing of the input itself is left, nor of the carrier.
    const std::vector<float> heard = cleanestTenth(sink.samples(), kSettle, kFrames);
    ASSERT_FALSE(heard.empty());
    const double sideband = 0.25 * kEnvelopeOnLevel;
    const double lower = toneAmplitude(heard, kInputHz - kCarrierHz, kRate);
    const double upper = toneAmplitude(heard, kInputHz + kCarrierHz, kRate);
    const double input = toneAmplitude(heard, kInputHz, kRate);
    const double carrier = toneAmplitude(heard, kCarrierHz, kRate);
    EXPECT_NEAR(lower, sideband, 0.1 * sideband);
    EXPECT_NEAR(upper, sideband, 0.1 * sideband);
    EXPECT_LT(input, 0.01 * sideband) << "the dry input leaks through";
    EXPECT_LT(carrier, 0.01 * sideband) << "the carrier leaks through";
    std::printf("560 Hz %.4f, 1440 Hz %.4f (expected %.4f), 1000 Hz %.6f, 440 Hz %.6f\n", lower,
                upper, sideband, input, carrier);

    // Stop: the button offers Play again, the meter drops, the client is gone.
    QTest::keyClick(&window, Qt::Key_Space);
    EXPECT_EQ(app.controller->toneUnit.load(), nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return playButton->text() == QStringLiteral("Play"); },
                                hangGuardMs()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return meter->litCells() == 0; }, hangGuardMs()));
    EXPECT_TRUE(
        waitUntil([&] { return portsOfClient(observer, "Tolva").empty(); }, kEndToEndHangGuard))
        << "Tolva's client is still on the server after Stop";

    window.close();
    window.refreshTimer().stop();
}

}  // namespace
}  // namespace tolva::test
