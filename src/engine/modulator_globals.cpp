#include "engine/modulator_globals.h"

namespace tolva {

void resetModulatorGlobals() {
    for (auto* value : {&A, &R, &bend, &bendd, &pitch, &mmi, &nonl}) {
        value->store(0.0);
    }
    for (auto* flag : {&changed, &changen, &omni, &channel, &midi}) {
        flag->store(0);
    }
    hold.store(0);
    for (auto& note : n) {
        note.store(0);
    }
}

}  // namespace tolva
