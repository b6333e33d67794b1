#include "engine/carrier_pass_choice.h"

#include <cstdlib>
#include <cstring>

#include "engine/fast_carrier_pass.h"

namespace tolva {
namespace {

bool plainForcedAtStart() {
    const char* value = std::getenv(kPlainRenderVariable);
    return value != nullptr && value[0] != '\0' && std::strcmp(value, "0") != 0;
}

CarrierPassFn passFor(bool fast) {
    return fast && fastCarrierPassAvailable() ? &fastCarrierPass : &plainCarrierPass;
}

// Chosen once, while the process starts, before any device runs.
LockFreeAtomic<CarrierPassFn> chosen{passFor(!plainForcedAtStart())};

}  // namespace

CarrierPassFn chosenCarrierPass() TOLVA_NONBLOCKING {
    return chosen.load(std::memory_order_relaxed);
}

bool fastCarrierPassChosen() {
    return chosen.load(std::memory_order_relaxed) != &plainCarrierPass;
}

bool chooseFastCarrierPass(bool fast) {
    chosen.store(passFor(fast), std::memory_order_relaxed);
    return fastCarrierPassChosen();
}

}  // namespace tolva
