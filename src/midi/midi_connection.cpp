#include "device/check_error.h"
#include "engine/ring_modulator_view_controller.h"
#include "midi/midi_read_proc.h"
#include "platform/log/system_log.h"
#include "platform/midi/midi_services.h"

namespace tolva {

// The MIDI client, its one input port and the channel filter. The client is
// made at the first Play, and again at a Play after its server went away.

void RingModulatorViewController::createMIDI() {
    midiclient = 0;
    CheckError(MIDIClientCreate("MIDI_Client", nullptr, nullptr, &midiclient),
               "MIDI Client Create Error\nRelaunch Application:");
    CheckError(MIDIInputPortCreate(midiclient, "MIDI_Input", midiReadProc, nullptr, &midiin),
               "MIDI Port Create Error\nRelaunch Application:");

    const ItemCount sources = MIDIGetNumberOfSources();
    systemLog("MIDI Sources: %ld", static_cast<long>(sources));
    for (ItemCount i = 0; i < sources; ++i) {
        // A source that cannot be connected is left out; the others still are.
        MIDIPortConnectSource(midiin, MIDIGetSource(i), nullptr);
    }
    // The channel filter in effect is the one the pop-up shows.
    if (midiPopupButton != nullptr) {
        midiPopupChanged(midiPopupButton);
    } else {
        omni.store(1, std::memory_order_release);
    }
}

void RingModulatorViewController::midiPopupChanged(PopUpButtonModel* sender) {
    if (sender == nullptr) {
        return;
    }
    const int64_t item = sender->indexOfSelectedItem();
    if (item == 0) {
        omni.store(1, std::memory_order_release);
        return;
    }
    omni.store(0, std::memory_order_release);
    // Items 2 to 17 are channels 1 to 16; item 1 gives 255, which no message carries.
    channel.store(static_cast<uint8_t>(item - 2), std::memory_order_release);
}

}  // namespace tolva
