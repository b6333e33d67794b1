#pragma once

// The audio-unit call set: a full-duplex device unit that calls a render
// callback once per device cycle. The calls, their constants and their
// statuses follow the classic audio-unit interface; the device behind them is
// an AudioDeviceBackend (JACK, ALSA, or a manually driven device).
//
// Threads: every call here is [UI] except AudioUnitRender, which is [render]
// and may only be called from inside the render callback, and the sample-rate
// query, which a property listener may also make on the device's thread.

#include <cstddef>
#include <cstdint>

#include "platform/realtime.h"

namespace tolva {

using OSStatus = int32_t;
using OSType = uint32_t;
using UInt32 = uint32_t;
using AudioUnitPropertyID = uint32_t;
using AudioUnitScope = uint32_t;
using AudioUnitElement = uint32_t;
using AudioUnitRenderActionFlags = uint32_t;

// Four-character code, first character in the most significant byte.
constexpr OSType fourCharCode(const char (&s)[5]) {
    return (static_cast<OSType>(static_cast<unsigned char>(s[0])) << 24) |
           (static_cast<OSType>(static_cast<unsigned char>(s[1])) << 16) |
           (static_cast<OSType>(static_cast<unsigned char>(s[2])) << 8) |
           static_cast<OSType>(static_cast<unsigned char>(s[3]));
}
constexpr OSStatus fourCharStatus(const char (&s)[5]) {
    return static_cast<OSStatus>(fourCharCode(s));
}

// Statuses.
inline constexpr OSStatus noErr = 0;
inline constexpr OSStatus kAudio_ParamError = -50;
inline constexpr OSStatus kAudio_MemFullError = -108;
inline constexpr OSStatus kAudioUnitErr_InvalidProperty = -10879;
inline constexpr OSStatus kAudioUnitErr_InvalidParameter = -10878;
inline constexpr OSStatus kAudioUnitErr_InvalidElement = -10877;
inline constexpr OSStatus kAudioUnitErr_NoConnection = -10876;
inline constexpr OSStatus kAudioUnitErr_FailedInitialization = -10875;
inline constexpr OSStatus kAudioUnitErr_FormatNotSupported = -10868;
inline constexpr OSStatus kAudioUnitErr_Uninitialized = -10867;
inline constexpr OSStatus kAudioUnitErr_InvalidScope = -10866;
inline constexpr OSStatus kAudioUnitErr_CannotDoInCurrentContext = -10863;
inline constexpr OSStatus kAudioUnitErr_InvalidPropertyValue = -10851;
inline constexpr OSStatus kAudioUnitErr_TooManyFramesToProcess = -10874;
inline constexpr OSStatus kAudioHardwareNotRunningError = fourCharStatus("stop");
inline constexpr OSStatus kAudioHardwareUnspecifiedError = fourCharStatus("what");
inline constexpr OSStatus kAudioHardwareBadDeviceError = fourCharStatus("!dev");
inline constexpr OSStatus kAudioHardwareIllegalOperationError = fourCharStatus("nope");
inline constexpr OSStatus kAudioDeviceUnsupportedFormatError = fourCharStatus("!dat");

// Component description of the full-duplex device unit.
inline constexpr OSType kAudioUnitType_Output = fourCharCode("auou");
inline constexpr OSType kAudioUnitSubType_HALOutput = fourCharCode("ahal");
inline constexpr OSType kAudioUnitManufacturer_Apple = fourCharCode("appl");

// Properties, scopes and elements.
inline constexpr AudioUnitPropertyID kAudioUnitProperty_SampleRate = 2;
inline constexpr AudioUnitPropertyID kAudioUnitProperty_StreamFormat = 8;
inline constexpr AudioUnitPropertyID kAudioUnitProperty_SetRenderCallback = 23;
inline constexpr AudioUnitPropertyID kAudioOutputUnitProperty_EnableIO = 2003;
// UInt32, global scope: 1 while the unit runs, and after a stop while a cycle
// that outlived the stop may still be running (nothing it uses may be freed).
inline constexpr AudioUnitPropertyID kAudioOutputUnitProperty_IsRunning = 2001;
// UInt32, global scope: 0 once the device has gone away (its server shut down).
inline constexpr AudioUnitPropertyID kAudioDevicePropertyDeviceIsAlive = fourCharCode("livn");
// The device's frames per cycle (UInt32, global scope); may change while running.
inline constexpr AudioUnitPropertyID kAudioDevicePropertyBufferFrameSize = fourCharCode("fsiz");
inline constexpr AudioUnitScope kAudioUnitScope_Global = 0;
inline constexpr AudioUnitScope kAudioUnitScope_Input = 1;
inline constexpr AudioUnitScope kAudioUnitScope_Output = 2;

// Sample formats.
inline constexpr OSType kAudioFormatLinearPCM = fourCharCode("lpcm");
inline constexpr UInt32 kAudioFormatFlagIsFloat = 1;
inline constexpr UInt32 kAudioFormatFlagIsPacked = 8;
inline constexpr UInt32 kAudioFormatFlagIsNonInterleaved = 32;

struct AudioComponentDescription {
    OSType componentType = 0;
    OSType componentSubType = 0;
    OSType componentManufacturer = 0;
    UInt32 componentFlags = 0;
    UInt32 componentFlagsMask = 0;
};

struct AudioStreamBasicDescription {
    double mSampleRate = 0.0;
    OSType mFormatID = 0;
    UInt32 mFormatFlags = 0;
    UInt32 mBytesPerPacket = 0;
    UInt32 mFramesPerPacket = 0;
    UInt32 mBytesPerFrame = 0;
    UInt32 mChannelsPerFrame = 0;
    UInt32 mBitsPerChannel = 0;
    UInt32 mReserved = 0;
};

// Mono 32-bit float, one sample per frame, non-interleaved: the one format
// the modulator uses on both sides of the device unit.
inline AudioStreamBasicDescription monoFloatStreamFormat(double sampleRate) {
    AudioStreamBasicDescription f;
    f.mSampleRate = sampleRate;
    f.mFormatID = kAudioFormatLinearPCM;
    f.mFormatFlags =
        kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked | kAudioFormatFlagIsNonInterleaved;
    f.mBytesPerPacket = 4;
    f.mFramesPerPacket = 1;
    f.mBytesPerFrame = 4;
    f.mChannelsPerFrame = 1;
    f.mBitsPerChannel = 32;
    return f;
}

struct AudioTimeStamp {
    double mSampleTime = 0.0;
    uint64_t mHostTime = 0;
    UInt32 mFlags = 0;
};

struct AudioBuffer {
    UInt32 mNumberChannels = 0;
    UInt32 mDataByteSize = 0;
    void* mData = nullptr;
};

struct AudioBufferList {
    UInt32 mNumberBuffers = 0;
    AudioBuffer mBuffers[1];
};

using AURenderCallback = OSStatus (*)(void* inRefCon, AudioUnitRenderActionFlags* ioActionFlags,
                                      const AudioTimeStamp* inTimeStamp, UInt32 inBusNumber,
                                      UInt32 inNumberFrames, AudioBufferList* ioData);

struct AURenderCallbackStruct {
    AURenderCallback inputProc = nullptr;
    void* inputProcRefCon = nullptr;
};

struct AudioComponentRecord;
struct AudioUnitInstance;
using AudioComponent = AudioComponentRecord*;
using AudioComponentInstance = AudioUnitInstance*;
using AudioUnit = AudioComponentInstance;

// [device thread] Told that a property of the unit changed; no allocation,
// lock or wait. Only kAudioUnitProperty_SampleRate is ever reported.
using AudioUnitPropertyListenerProc = void (*)(void* inRefCon, AudioUnit inUnit,
                                               AudioUnitPropertyID inID, AudioUnitScope inScope,
                                               AudioUnitElement inElement);

// [UI] Finds the device unit matching the description, searching after
// inComponent (null: from the first). Null when no device layer provides one.
AudioComponent AudioComponentFindNext(AudioComponent inComponent,
                                      const AudioComponentDescription* inDesc);
// [UI] Creates a new instance: opens the device backend.
OSStatus AudioComponentInstanceNew(AudioComponent inComponent, AudioComponentInstance* outInstance);
// [UI]
OSStatus AudioUnitSetProperty(AudioUnit inUnit, AudioUnitPropertyID inID, AudioUnitScope inScope,
                              AudioUnitElement inElement, const void* inData, UInt32 inDataSize);
// [UI; the sample rate also from a property listener] ioDataSize is in/out:
// the size of the buffer, then the size written.
OSStatus AudioUnitGetProperty(AudioUnit inUnit, AudioUnitPropertyID inID, AudioUnitScope inScope,
                              AudioUnitElement inElement, void* outData, UInt32* ioDataSize);
// [UI] Before the unit starts: `proc` is called whenever the device's sample
// rate changes under the running unit (the only property listened to).
OSStatus AudioUnitAddPropertyListener(AudioUnit inUnit, AudioUnitPropertyID inID,
                                      AudioUnitPropertyListenerProc proc, void* inProcUserData);
// [UI]
OSStatus AudioUnitInitialize(AudioUnit inUnit);
// [UI] The render callback runs from the first cycle after this returns.
OSStatus AudioOutputUnitStart(AudioUnit inUnit);
// [UI] Returns once a cycle in progress has finished, or once the device has
// given up waiting for it (IsRunning then still reads 1); no cycle starts afterwards.
OSStatus AudioOutputUnitStop(AudioUnit inUnit);
// [UI]
OSStatus AudioUnitUninitialize(AudioUnit inUnit);
// [UI] Stops the unit if it still runs, closes the device and frees the instance.
OSStatus AudioComponentInstanceDispose(AudioComponentInstance inInstance);
// [UI] A UInt32 property of the unit (global scope); `otherwise` when the unit
// does not say.
inline UInt32 AudioUnitUInt32Property(AudioUnit inUnit, AudioUnitPropertyID inID,
                                      UInt32 otherwise) {
    UInt32 value = otherwise;
    UInt32 size = sizeof(value);
    return inUnit != nullptr && AudioUnitGetProperty(inUnit, inID, kAudioUnitScope_Global, 0,
                                                     &value, &size) == noErr
               ? value
               : otherwise;
}
// [render] Pulls this cycle's input from bus 1 into the first buffer of ioData.
OSStatus AudioUnitRender(AudioUnit inUnit, AudioUnitRenderActionFlags* ioActionFlags,
                         const AudioTimeStamp* inTimeStamp, UInt32 inOutputBusNumber,
                         UInt32 inNumberFrames, AudioBufferList* ioData) TOLVA_NONBLOCKING;

}  // namespace tolva
