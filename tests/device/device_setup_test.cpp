// What Play leaves in the modulator before the first cycle: the device's rate
// and the values derived from it, the sample format on both sides of the
// unit, and the state seeded from the panel's controls.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "device/transport_fixture.h"

namespace tolva::test {
namespace {

class DeviceSetupTest : public TransportFixture {
  protected:
    // Play and Stop once, with cycles running for the Stop.
    void playAndStop() {
        play();
        stopWithCycles();
    }
};

void expectMonoFloatAt(const AudioStreamBasicDescription& f, double rate) {
    EXPECT_EQ(f.mSampleRate, rate);
    EXPECT_EQ(f.mFormatID, fourCharCode("lpcm"));
    EXPECT_EQ(f.mFormatFlags, 41u);
    EXPECT_EQ(f.mBytesPerPacket, 4u);
    EXPECT_EQ(f.mFramesPerPacket, 1u);
    EXPECT_EQ(f.mBytesPerFrame, 4u);
    EXPECT_EQ(f.mChannelsPerFrame, 1u);
    EXPECT_EQ(f.mBitsPerChannel, 32u);
    EXPECT_EQ(f.mReserved, 0u);
}

TEST_F(DeviceSetupTest, At44100HzTheRateReachesEveryDerivedValueAndBothSides) {
    play();

    EXPECT_EQ(R.load(), 44100.0);
    EXPECT_EQ(c.sampleRate, 44100.0);
    EXPECT_EQ(c.cycle.load(), 44100);
    EXPECT_EQ(c.TWO_PI_NORM.load(), 0.00014247585730565955);
    expectMonoFloatAt(c.streamFormat, 44100.0);
    ASSERT_EQ(formats.outputSideFormats.size(), 1u);
    ASSERT_EQ(formats.inputSideFormats.size(), 1u);
    expectMonoFloatAt(formats.outputSideFormats[0], 44100.0);
    expectMonoFloatAt(formats.inputSideFormats[0], 44100.0);
}

TEST_F(DeviceSetupTest, PlayMakesTheDeviceCallsInOrderAndStartsTheUnit) {
    play();

    const std::vector<AudioCall> expected = {AudioCall::InstanceNew,
                                             AudioCall::EnableOutput,
                                             AudioCall::GetSampleRate,
                                             AudioCall::EnableInput,
                                             AudioCall::SetRenderCallback,
                                             AudioCall::SetInputStreamFormat,
                                             AudioCall::SetOutputStreamFormat,
                                             AudioCall::Initialize,
                                             AudioCall::Start};
    EXPECT_EQ(device.callLog(), expected);
    EXPECT_TRUE(device.running());
    EXPECT_NE(c.toneUnit.load(), nullptr);
    EXPECT_EQ(panel.playButton.title(), "Stop");
}

TEST_F(DeviceSetupTest, At48000HzTheCarrierStepAndTableLengthFollow) {
    device.setSampleRate(48000.0);
    play();

    EXPECT_EQ(c.TWO_PI_NORM.load(), 0.0001308996938995747);
    EXPECT_EQ(c.cycle.load(), 48000);
    expectMonoFloatAt(formats.outputSideFormats.at(0), 48000.0);
    expectMonoFloatAt(formats.inputSideFormats.at(0), 48000.0);
}

TEST_F(DeviceSetupTest, AFractionalRateGivesTablesOfItsWholeSamples) {
    device.setSampleRate(44100.5);
    play();

    EXPECT_EQ(R.load(), 44100.5);
    EXPECT_EQ(c.cycle.load(), 44100);
    const float* trif = c.Trif.load();
    const float* ramf = c.Ramf.load();
    ASSERT_NE(trif, nullptr);
    ASSERT_NE(ramf, nullptr);
    // The last entry is filled: just before the end of the period, where both
    // carriers come up to zero from below.
    EXPECT_LT(trif[44099], 0.0f);
    EXPECT_GT(trif[44099], -0.01f);
    EXPECT_LT(ramf[44099], 0.0f);
}

TEST_F(DeviceSetupTest, ALaterPlayCarriesTheRateTheDeviceHasThen) {
    playAndStop();
    device.setSampleRate(96000.0);
    play();

    EXPECT_EQ(R.load(), 96000.0);
    EXPECT_EQ(c.sampleRate, 96000.0);
    EXPECT_EQ(c.cycle.load(), 96000);
    EXPECT_EQ(c.TWO_PI_NORM.load(), 6.283185307179586 / 96000.0);
    ASSERT_EQ(formats.outputSideFormats.size(), 2u);
    ASSERT_EQ(formats.inputSideFormats.size(), 2u);
    expectMonoFloatAt(formats.outputSideFormats[1], 96000.0);
    expectMonoFloatAt(formats.inputSideFormats[1], 96000.0);
}

TEST_F(DeviceSetupTest, EveryPlayOpensANewUnitAndNewTables) {
    play();
    stopWithCycles();
    EXPECT_EQ(device.instancesAlive(), 0);
    play();
    EXPECT_EQ(device.instancesAlive(), 1);
    EXPECT_NE(c.toneUnit.load(), nullptr);
    EXPECT_NE(c.Trif.load(), nullptr);
    EXPECT_NE(c.Ramf.load(), nullptr);
}

TEST_F(DeviceSetupTest, APitchThatIsNotANumberBecomesA4AndAnyOtherStays) {
    pitch.store(std::numeric_limits<double>::quiet_NaN());
    playAndStop();
    EXPECT_EQ(pitch.load(), 69.0);

    pitch.store(60.5);
    playAndStop();
    EXPECT_EQ(pitch.load(), 60.5);
}

TEST_F(DeviceSetupTest, TheCarrierIsTheSelectedSegmentAndThePhaseStartsAtZero) {
    for (int64_t segment : {WaveSelf, WaveSine, WaveTriangle, WaveRamp}) {
        panel.segCtrlCarrWave.setSelectedSegment(segment);
        c.wave.store(-1);
        c.phase.store(2.5);
        play();
        EXPECT_EQ(c.wave.load(), segment) << "segment " << segment;
        EXPECT_EQ(c.phase.load(), 0.0);
        stopWithCycles();
    }
}

TEST_F(DeviceSetupTest, WithNoCarrierSegmentSelectedTheCarrierIsTheSine) {
    panel.segCtrlCarrWave.setSelectedSegment(-1);
    c.wave.store(WaveRamp);
    play();
    EXPECT_EQ(c.wave.load(), WaveSine);
}

TEST_F(DeviceSetupTest, WithTheSourceOnMidiSetupLeavesTheFrequencyToTheNotes) {
    panel.sourceButton.setState(1);
    panel.frequencySlider.setDoubleValue(880.0);
    c.frequency.store(123.0);
    play();

    EXPECT_EQ(c.midif.load(), 1);
    EXPECT_EQ(c.frequency.load(), 123.0);
    EXPECT_EQ(panel.frequencySlider.doubleValue(), 880.0);
}

TEST_F(DeviceSetupTest, WithTheSourceOnThePanelTheFrequencyComesFromTheSlider) {
    c.midif.store(1);
    panel.frequencySlider.setDoubleValue(880.0);
    c.frequency.store(123.0);
    play();

    EXPECT_EQ(c.midif.load(), 0);
    EXPECT_EQ(c.frequency.load(), 880.0);
    EXPECT_EQ(panel.frequencyTextField.stringValue(), "880.0 Hz");
}

TEST_F(DeviceSetupTest, TheDiodeAndItsExponentFollowTheirControls) {
    panel.diodeButton.setState(1);
    panel.nonlSlider.setDoubleValue(2.5);
    c.diode.store(0);
    nonl.store(1.0);
    playAndStop();
    EXPECT_EQ(c.diode.load(), 1);
    EXPECT_EQ(nonl.load(), 2.5);

    panel.diodeButton.setState(0);
    panel.nonlSlider.setDoubleValue(1.0);
    c.diode.store(1);
    nonl.store(3.0);
    playAndStop();
    EXPECT_EQ(c.diode.load(), 0);
    EXPECT_EQ(nonl.load(), 1.0);
}

TEST_F(DeviceSetupTest, TuningDepthScaleAndBendRangeComeFromThePanel) {
    panel.tuningStepper.setDoubleValue(442.5);
    panel.depthSlider.setDoubleValue(0.3);
    panel.linlogButton.setState(1);
    bendd.store(7.0);
    play();

    EXPECT_EQ(A.load(), 442.5);
    EXPECT_EQ(c.depth.load(), 0.3);
    EXPECT_EQ(c.logview.load(), 1);
    EXPECT_EQ(bendd.load(), 2.0);
}

TEST_F(DeviceSetupTest, TheRampsOfThePreviousRunCarryOver) {
    c.previous_depth.store(0.75);
    c.previous_phase_increment.store(0.0625);
    c.mult.store(2.0);
    play();

    EXPECT_EQ(c.previous_depth.load(), 0.75);
    EXPECT_EQ(c.previous_phase_increment.load(), 0.0625);
    EXPECT_EQ(c.mult.load(), 2.0);
}

TEST_F(DeviceSetupTest, TheLowestAndHighestRatesAreAccepted) {
    device.setSampleRate(1.0);
    playAndStop();
    EXPECT_EQ(c.cycle.load(), 1);
    EXPECT_EQ(c.TWO_PI_NORM.load(), 6.283185307179586);

    device.setSampleRate(1536000.0);
    play();
    EXPECT_EQ(c.cycle.load(), 1536000);
    EXPECT_TRUE(std::isfinite(c.TWO_PI_NORM.load()));
}

}  // namespace
}  // namespace tolva::test
