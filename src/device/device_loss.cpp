#include "device/device_loss.h"

#include "platform/log/system_log.h"
#include "platform/ui/alert.h"

namespace tolva {

bool stopAfterDeviceLoss(RingModulatorViewController& controller) {
    AudioUnit unit = controller.toneUnit.load(std::memory_order_acquire);
    if (unit == nullptr || controller.playButton == nullptr ||
        AudioUnitUInt32Property(unit, kAudioDevicePropertyDeviceIsAlive, 1) != 0) {
        return false;
    }
    systemLog("Audio device lost while playing; stopped\n");
    controller.stop();
    runNotice(kDeviceLostTitle, kDeviceLostMessage);
    return true;
}

}  // namespace tolva
