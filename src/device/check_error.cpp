#include "device/check_error.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "platform/ui/alert.h"

namespace tolva {
namespace {

thread_local bool tRenderThread = false;

LockFreeAtomic<bool> gPendingClaimed{false};
LockFreeAtomic<bool> gPending{false};
LockFreeAtomic<OSStatus> gPendingStatus{0};
LockFreeAtomic<const char*> gPendingOperation{nullptr};

bool printable(unsigned char c) {
    return c >= 0x20 && c <= 0x7E;
}

[[noreturn]] void reportAndExit(OSStatus error, const char* operation, const char* advice) {
    char code[kStatusCodeTextSize];
    formatStatusCode(error, code);
    std::fprintf(stderr, "Error: %s (%s)\n", operation, code);
    if (advice != nullptr) {
        std::fprintf(stderr, "%s\n", advice);
    }
    std::fflush(stderr);
    char message[kAlertMessageSize];
    formatAlertMessage(operation, code, message);
    runCriticalAlert(kHardwareErrorAlertTitle, message, "OK", advice != nullptr ? advice : "");
    std::fflush(nullptr);
    // Nothing is released first: the device threads may still be running, so
    // no static destructor may run under them.
    std::_Exit(1);
}

}  // namespace

void formatStatusCode(OSStatus error, char (&text)[kStatusCodeTextSize]) {
    const auto bits = static_cast<uint32_t>(error);
    const unsigned char bytes[4] = {
        static_cast<unsigned char>(bits >> 24), static_cast<unsigned char>(bits >> 16),
        static_cast<unsigned char>(bits >> 8), static_cast<unsigned char>(bits)};
    for (int i = 0; i < 4; ++i) {
        text[i + 1] = static_cast<char>(bytes[i]);
    }
    if (printable(bytes[0]) && printable(bytes[1]) && printable(bytes[2]) && printable(bytes[3])) {
        text[0] = text[5] = '\'';
        text[6] = '\0';
    } else {
        std::snprintf(text, kStatusCodeTextSize, "%d", static_cast<int>(error));
    }
}

void formatAlertMessage(const char* operation, const char* code,
                        char (&message)[kAlertMessageSize]) {
    std::snprintf(message, kAlertMessageSize, "%s (%s)\nApplication will quit", operation, code);
}

void CheckError(OSStatus error, const char* operation) {
    CheckError(error, operation, nullptr);
}

void CheckError(OSStatus error, const char* operation, const char* advice) {
    if (error == noErr) {
        return;
    }
    if (tRenderThread) {
        bool expected = false;
        if (gPendingClaimed.compare_exchange_strong(expected, true, std::memory_order_acq_rel)) {
            gPendingStatus.store(error, std::memory_order_relaxed);
            gPendingOperation.store(operation, std::memory_order_relaxed);
            gPending.store(true, std::memory_order_release);
        }
        return;
    }
    reportAndExit(error, operation, advice);
}

RenderThreadScope::RenderThreadScope() TOLVA_NONBLOCKING : outer_(tRenderThread) {
    tRenderThread = true;
}

RenderThreadScope::~RenderThreadScope() TOLVA_NONBLOCKING {
    tRenderThread = outer_;
}

bool fatalErrorPending() {
    return gPending.load(std::memory_order_acquire);
}

void reportPendingFatalError() {
    if (!gPending.load(std::memory_order_acquire)) {
        return;
    }
    reportAndExit(gPendingStatus.load(std::memory_order_relaxed),
                  gPendingOperation.load(std::memory_order_relaxed), nullptr);
}

}  // namespace tolva
