#include "platform/audio/audio_unit.h"

#include <atomic>
#include <memory>
#include <new>

#include "platform/audio/audio_device_backend.h"
#include "platform/realtime.h"

namespace tolva {

struct AudioComponentRecord {
    AudioComponentDescription description;
};

namespace {

AudioComponentRecord gDeviceUnitComponent{
    {kAudioUnitType_Output, kAudioUnitSubType_HALOutput, kAudioUnitManufacturer_Apple, 0, 0}};

std::atomic<AudioDeviceProvider*> gProvider{nullptr};

bool matches(const AudioComponentDescription& want, const AudioComponentDescription& have) {
    auto field = [&](OSType w, OSType h) { return w == 0 || w == h; };
    return field(want.componentType, have.componentType) &&
           field(want.componentSubType, have.componentSubType) &&
           field(want.componentManufacturer, have.componentManufacturer) &&
           (have.componentFlags & want.componentFlagsMask) ==
               (want.componentFlags & want.componentFlagsMask);
}

bool isMonoFloat(const AudioStreamBasicDescription& f) {
    return f.mFormatID == kAudioFormatLinearPCM &&
           (f.mFormatFlags & kAudioFormatFlagIsFloat) != 0 && f.mChannelsPerFrame == 1 &&
           f.mBitsPerChannel == 32 && f.mBytesPerFrame == 4 && f.mFramesPerPacket == 1 &&
           f.mBytesPerPacket == 4;
}

}  // namespace

const char* audioCallName(AudioCall call) {
    switch (call) {
        case AudioCall::InstanceNew:
            return "AudioComponentInstanceNew";
        case AudioCall::EnableOutput:
            return "EnableIO output";
        case AudioCall::GetSampleRate:
            return "SampleRate";
        case AudioCall::EnableInput:
            return "EnableIO input";
        case AudioCall::SetRenderCallback:
            return "SetRenderCallback";
        case AudioCall::SetInputStreamFormat:
            return "StreamFormat input scope";
        case AudioCall::SetOutputStreamFormat:
            return "StreamFormat output scope";
        case AudioCall::Initialize:
            return "AudioUnitInitialize";
        case AudioCall::Start:
            return "AudioOutputUnitStart";
        case AudioCall::Stop:
            return "AudioOutputUnitStop";
        case AudioCall::Uninitialize:
            return "AudioUnitUninitialize";
        case AudioCall::Dispose:
            return "AudioComponentInstanceDispose";
        case AudioCall::Render:
            return "AudioUnitRender";
    }
    return "unknown";
}

void setAudioDeviceProvider(AudioDeviceProvider* provider) {
    gProvider.store(provider, std::memory_order_release);
}

AudioDeviceProvider* audioDeviceProvider() {
    return gProvider.load(std::memory_order_acquire);
}

// One device unit: its backend, its settings and its render callback.
struct AudioUnitInstance final : AudioCycleHost {
    struct Listener {
        AudioUnitPropertyListenerProc proc = nullptr;
        void* userData = nullptr;
    };
    static constexpr int kMaxListeners = 4;

    std::unique_ptr<AudioDeviceBackend> backend;
    AURenderCallbackStruct callback{};
    Listener rateListeners[kMaxListeners]{};  // set before start, then only read
    AudioStreamBasicDescription outputSideFormat{};
    AudioStreamBasicDescription inputSideFormat{};
    bool outputEnabled = false;
    bool inputEnabled = false;
    bool initialized = false;
    bool started = false;
    LockFreeAtomic<bool> pullAllowed{false};  // input enabled, read by the render thread
    double sampleTime = 0.0;                  // render thread only

    void renderCycle(UInt32 frames, float* buffer) TOLVA_NONBLOCKING override {
        AudioBufferList list;
        list.mNumberBuffers = 1;
        list.mBuffers[0].mNumberChannels = 1;
        list.mBuffers[0].mDataByteSize = frames * static_cast<UInt32>(sizeof(float));
        list.mBuffers[0].mData = buffer;
        AudioUnitRenderActionFlags flags = 0;
        AudioTimeStamp stamp;
        stamp.mSampleTime = sampleTime;
        stamp.mFlags = 1;  // sample time valid
        sampleTime += frames;
        callback.inputProc(callback.inputProcRefCon, &flags, &stamp, 0, frames, &list);
    }

    void sampleRateChanged() override {
        for (const Listener& l : rateListeners) {
            if (l.proc != nullptr) {
                l.proc(l.userData, this, kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0);
            }
        }
    }
};

namespace {

// A UInt32 property's value, written where the caller's size allows it.
OSStatus getUInt32(UInt32 value, void* outData, UInt32* ioDataSize) {
    if (*ioDataSize < sizeof(UInt32)) {
        return kAudio_ParamError;
    }
    *static_cast<UInt32*>(outData) = value;
    *ioDataSize = sizeof(UInt32);
    return noErr;
}

}  // namespace

AudioComponent AudioComponentFindNext(AudioComponent inComponent,
                                      const AudioComponentDescription* inDesc) {
    if (inComponent != nullptr || inDesc == nullptr || audioDeviceProvider() == nullptr) {
        return nullptr;
    }
    return matches(*inDesc, gDeviceUnitComponent.description) ? &gDeviceUnitComponent : nullptr;
}

OSStatus AudioComponentInstanceNew(AudioComponent inComponent,
                                   AudioComponentInstance* outInstance) {
    if (outInstance == nullptr) {
        return kAudio_ParamError;
    }
    *outInstance = nullptr;
    AudioDeviceProvider* provider = audioDeviceProvider();
    if (inComponent == nullptr || provider == nullptr) {
        return kAudioHardwareBadDeviceError;
    }
    std::unique_ptr<AudioDeviceBackend> backend = provider->createDevice();
    if (!backend) {
        return kAudioHardwareBadDeviceError;
    }
    if (OSStatus status = backend->open(); status != noErr) {
        return status;
    }
    auto* unit = new (std::nothrow) AudioUnitInstance;
    if (unit == nullptr) {
        return kAudio_MemFullError;
    }
    unit->backend = std::move(backend);
    *outInstance = unit;
    return noErr;
}

OSStatus AudioUnitSetProperty(AudioUnit inUnit, AudioUnitPropertyID inID, AudioUnitScope inScope,
                              AudioUnitElement inElement, const void* inData, UInt32 inDataSize) {
    if (inUnit == nullptr || inData == nullptr) {
        return kAudio_ParamError;
    }
    AudioDeviceBackend& device = *inUnit->backend;
    switch (inID) {
        case kAudioOutputUnitProperty_EnableIO: {
            if (inDataSize != sizeof(UInt32)) {
                return kAudio_ParamError;
            }
            const bool enable = *static_cast<const UInt32*>(inData) != 0;
            if (inScope == kAudioUnitScope_Output && inElement == 0) {
                OSStatus status = device.enableOutput(enable);
                if (status == noErr) {
                    inUnit->outputEnabled = enable;
                }
                return status;
            }
            if (inScope == kAudioUnitScope_Input && inElement == 1) {
                OSStatus status = device.enableInput(enable);
                if (status == noErr) {
                    inUnit->inputEnabled = enable;
                    inUnit->pullAllowed.store(enable, std::memory_order_release);
                }
                return status;
            }
            return kAudioUnitErr_InvalidElement;
        }
        case kAudioUnitProperty_SetRenderCallback: {
            if (inScope != kAudioUnitScope_Input || inElement != 0) {
                return kAudioUnitErr_InvalidScope;
            }
            if (inDataSize != sizeof(AURenderCallbackStruct)) {
                return kAudio_ParamError;
            }
            if (inUnit->started) {
                return kAudioUnitErr_CannotDoInCurrentContext;
            }
            OSStatus status = device.setRenderCallback();
            if (status == noErr) {
                inUnit->callback = *static_cast<const AURenderCallbackStruct*>(inData);
            }
            return status;
        }
        case kAudioUnitProperty_StreamFormat: {
            if (inDataSize != sizeof(AudioStreamBasicDescription)) {
                return kAudio_ParamError;
            }
            const auto& format = *static_cast<const AudioStreamBasicDescription*>(inData);
            AudioCall side;
            AudioStreamBasicDescription* slot;
            if (inScope == kAudioUnitScope_Input && inElement == 0) {
                side = AudioCall::SetInputStreamFormat;
                slot = &inUnit->outputSideFormat;
            } else if (inScope == kAudioUnitScope_Output && inElement == 1) {
                side = AudioCall::SetOutputStreamFormat;
                slot = &inUnit->inputSideFormat;
            } else {
                return kAudioUnitErr_InvalidElement;
            }
            if (!isMonoFloat(format) || !(format.mSampleRate > 0.0)) {
                return kAudioUnitErr_FormatNotSupported;
            }
            if (inUnit->initialized) {
                return kAudioUnitErr_CannotDoInCurrentContext;
            }
            OSStatus status = device.setStreamFormat(side, format);
            if (status == noErr) {
                *slot = format;
            }
            return status;
        }
        default:
            return kAudioUnitErr_InvalidProperty;
    }
}

OSStatus AudioUnitGetProperty(AudioUnit inUnit, AudioUnitPropertyID inID, AudioUnitScope inScope,
                              AudioUnitElement inElement, void* outData, UInt32* ioDataSize) {
    if (inUnit == nullptr || outData == nullptr || ioDataSize == nullptr) {
        return kAudio_ParamError;
    }
    if (inID == kAudioUnitProperty_SampleRate) {
        if (*ioDataSize < sizeof(double)) {
            return kAudio_ParamError;
        }
        if (inScope != kAudioUnitScope_Output && inScope != kAudioUnitScope_Input) {
            return kAudioUnitErr_InvalidScope;
        }
        if (inElement > 1) {
            return kAudioUnitErr_InvalidElement;
        }
        double rate = 0.0;
        OSStatus status = inUnit->backend->sampleRate(&rate);
        if (status == noErr) {
            *static_cast<double*>(outData) = rate;
            *ioDataSize = sizeof(double);
        }
        return status;
    }
    if (inID == kAudioOutputUnitProperty_IsRunning) {
        const bool running = inUnit->started || inUnit->backend->cycleOutlivedStop();
        return getUInt32(running ? 1 : 0, outData, ioDataSize);
    }
    if (inID == kAudioDevicePropertyDeviceIsAlive) {
        return getUInt32(inUnit->backend->alive() ? 1 : 0, outData, ioDataSize);
    }
    if (inID == kAudioDevicePropertyBufferFrameSize) {
        UInt32 frames = 0;
        const OSStatus status = inUnit->backend->bufferFrameSize(&frames);
        return status == noErr ? getUInt32(frames, outData, ioDataSize) : status;
    }
    return kAudioUnitErr_InvalidProperty;
}

OSStatus AudioUnitAddPropertyListener(AudioUnit inUnit, AudioUnitPropertyID inID,
                                      AudioUnitPropertyListenerProc proc, void* inProcUserData) {
    if (inUnit == nullptr || proc == nullptr) {
        return kAudio_ParamError;
    }
    if (inID != kAudioUnitProperty_SampleRate) {
        return kAudioUnitErr_InvalidProperty;
    }
    if (inUnit->started) {
        return kAudioUnitErr_CannotDoInCurrentContext;
    }
    for (AudioUnitInstance::Listener& l : inUnit->rateListeners) {
        if (l.proc == nullptr) {
            l = {proc, inProcUserData};
            return noErr;
        }
    }
    return kAudio_MemFullError;
}

OSStatus AudioUnitInitialize(AudioUnit inUnit) {
    if (inUnit == nullptr) {
        return kAudio_ParamError;
    }
    if (inUnit->initialized) {
        return noErr;
    }
    OSStatus status = inUnit->backend->initialize();
    if (status == noErr) {
        inUnit->initialized = true;
    }
    return status;
}

OSStatus AudioOutputUnitStart(AudioUnit inUnit) {
    if (inUnit == nullptr) {
        return kAudio_ParamError;
    }
    if (!inUnit->initialized) {
        return kAudioUnitErr_Uninitialized;
    }
    if (inUnit->callback.inputProc == nullptr) {
        return kAudioUnitErr_NoConnection;
    }
    if (inUnit->started) {
        return noErr;
    }
    OSStatus status = inUnit->backend->start(*inUnit);
    if (status == noErr) {
        inUnit->started = true;
    }
    return status;
}

OSStatus AudioOutputUnitStop(AudioUnit inUnit) {
    if (inUnit == nullptr) {
        return kAudio_ParamError;
    }
    if (!inUnit->started) {
        return noErr;
    }
    OSStatus status = inUnit->backend->stop();
    inUnit->started = false;
    return status;
}

OSStatus AudioUnitUninitialize(AudioUnit inUnit) {
    if (inUnit == nullptr) {
        return kAudio_ParamError;
    }
    if (inUnit->started) {
        AudioOutputUnitStop(inUnit);
    }
    if (!inUnit->initialized) {
        return noErr;
    }
    inUnit->initialized = false;
    return inUnit->backend->uninitialize();
}

OSStatus AudioComponentInstanceDispose(AudioComponentInstance inInstance) {
    if (inInstance == nullptr) {
        return kAudio_ParamError;
    }
    AudioUnitUninitialize(inInstance);
    OSStatus status = inInstance->backend->dispose();
    delete inInstance;
    return status;
}

OSStatus AudioUnitRender(AudioUnit inUnit, AudioUnitRenderActionFlags*, const AudioTimeStamp*,
                         UInt32 inOutputBusNumber, UInt32 inNumberFrames,
                         AudioBufferList* ioData) TOLVA_NONBLOCKING {
    if (inUnit == nullptr || ioData == nullptr || ioData->mNumberBuffers == 0 ||
        (inNumberFrames > 0 && ioData->mBuffers[0].mData == nullptr)) {
        return kAudio_ParamError;
    }
    if (inOutputBusNumber != 1) {
        return kAudioUnitErr_InvalidElement;
    }
    if (!inUnit->pullAllowed.load(std::memory_order_acquire)) {
        return kAudioUnitErr_NoConnection;
    }
    return inUnit->backend->pullInput(inNumberFrames, ioData);
}

}  // namespace tolva
