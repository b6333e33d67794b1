// Play's device setup: the calls in their order, every value derived from the
// device's rate, and the state of the run taken from the panel.

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <vector>

#include "support/played_modulator.h"

namespace tolva {
namespace {

using test::doubleBits;
using test::PlayedModulator;

TEST(DeviceSetup, TheRateReachesEveryDerivedValue) {
    const struct {
        double rate;
        double twoPiNorm;
        int32_t tableLength;
    } rates[] = {
        {44100.0, 0.00014247585730565955, 44100},
        {48000.0, 0.0001308996938995747, 48000},
        {44100.5, 6.283185307179586 / 44100.5, 44100},
        {1.0, 6.283185307179586, 1},
        {1536000.0, 6.283185307179586 / 1536000.0, 1536000},
    };
    for (const auto& r : rates) {
        PlayedModulator m{r.rate};
        m.play();
        EXPECT_EQ(r.rate, R.load());
        EXPECT_EQ(r.rate, m.c.sampleRate);
        EXPECT_EQ(doubleBits(r.twoPiNorm), doubleBits(m.c.TWO_PI_NORM.load()));
        EXPECT_EQ(r.tableLength, m.c.cycle.load());
        const AudioStreamBasicDescription& f = m.c.streamFormat;  // mono 32-bit float
        EXPECT_EQ(std::make_tuple(r.rate, fourCharCode("lpcm"), 41u, 4u, 1u, 4u, 1u, 32u),
                  std::make_tuple(f.mSampleRate, f.mFormatID, f.mFormatFlags, f.mBytesPerPacket,
                                  f.mFramesPerPacket, f.mBytesPerFrame, f.mChannelsPerFrame,
                                  f.mBitsPerChannel));
    }
}

// Stop while stopped does nothing; Play and Stop make the device calls in order.
TEST(DeviceSetup, PlayAndStopMakeTheDeviceCallsInOrderAndALaterPlayTakesTheNewRate) {
    using C = AudioCall;
    PlayedModulator m{44100.0};
    m.c.stop();
    m.play();
    m.withCycles([&] { m.c.stop(); });
    // clang-format off
    EXPECT_EQ((std::vector<C>{C::InstanceNew, C::EnableOutput, C::GetSampleRate, C::EnableInput,
                              C::SetRenderCallback, C::SetInputStreamFormat,
                              C::SetOutputStreamFormat, C::Initialize, C::Start, C::Stop,
                              C::Uninitialize, C::Dispose}),
              m.device.callLog());
    // clang-format on
    EXPECT_EQ(nullptr, m.c.toneUnit.load());
    EXPECT_EQ(nullptr, m.c.Trif.load());
    EXPECT_EQ(nullptr, m.c.Ramf.load());
    EXPECT_EQ(0, m.device.instancesAlive());
    EXPECT_EQ("Play", m.panel.playButton.title());
    m.device.setSampleRate(96000.0);
    m.play();
    EXPECT_EQ(96000.0, m.c.streamFormat.mSampleRate);
    EXPECT_EQ(96000, m.c.cycle.load());
}

TEST(DeviceSetup, TheRunStartsFromWhatThePanelShows) {
    PlayedModulator m;
    m.panel.tuningStepper.userSetValue(442.0);
    m.panel.depthSlider.userMove(0.25);
    m.panel.linlogButton.userClick();
    m.panel.diodeButton.userClick();
    m.panel.nonlSlider.userMove(3.0);
    m.panel.segCtrlCarrWave.userSelect(3);
    pitch.store(std::nan(""));
    m.c.wave.store(WaveSine);
    m.c.diode.store(0);
    nonl.store(1.0);
    m.play();
    EXPECT_EQ(442.0, A.load());
    EXPECT_EQ(0.25, m.c.depth.load());
    EXPECT_EQ(1, m.c.logview.load());
    EXPECT_EQ(1, m.c.diode.load());
    EXPECT_EQ(3.0, nonl.load());
    EXPECT_EQ(WaveRamp, m.c.wave.load());
    EXPECT_EQ(69.0, pitch.load());
    EXPECT_EQ(2.0, bendd.load());
    EXPECT_EQ(0.0, m.c.phase.load());
    EXPECT_EQ(StateFadeIn, m.c.state.load());
}

TEST(DeviceSetup, MidiAsTheSourceLeavesTheFrequencyToTheNotesAndRampsCarryOver) {
    PlayedModulator m;
    m.panel.sourceButton.userClick();
    pitch.store(60.5);
    m.c.frequency.store(123.0);
    m.play();
    EXPECT_EQ(1, m.c.midif.load());
    EXPECT_EQ(123.0, m.c.frequency.load());
    EXPECT_EQ(60.5, pitch.load());
    m.render(std::vector<float>(64, 0.1f));
    const double increment = m.c.previous_phase_increment.load();
    m.stop();
    m.play();
    EXPECT_EQ(increment, m.c.previous_phase_increment.load());
    EXPECT_EQ(m.panel.depthSlider.doubleValue(), m.c.previous_depth.load());
}

}  // namespace
}  // namespace tolva
