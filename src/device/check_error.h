#pragma once

// The fatal status check. A platform call that fails ends the application:
// a line on standard error, a critical alert, then exit status 1.

#include <cstddef>
#include <cstdint>

#include "platform/audio/audio_unit.h"
#include "platform/realtime.h"

namespace tolva {

inline constexpr size_t kStatusCodeTextSize = 20;
inline constexpr size_t kAlertMessageSize = 265;
inline constexpr const char* kHardwareErrorAlertTitle = "Tolva: Hardware Error:";

// [UI, render] Returns at once for status 0. On the UI thread any other status
// is reported and the process exits with status 1. On the render thread the
// failure is recorded for the UI thread to report, and CheckError returns so
// that the cycle can finish; the first failure recorded is the one reported.
// Not marked nonblocking: its UI-thread path writes and exits, and its
// render-thread path only stores atomics.
void CheckError(OSStatus error, const char* operation);
// [UI, render] The same, with a line of advice (what the user can do) that
// follows the standard-error line and is the alert's informative text. A
// failure recorded on the render thread is reported without it.
void CheckError(OSStatus error, const char* operation, const char* advice);

// [any] The code text of a status: a four-character code between apostrophes,
// or else its decimal value.
void formatStatusCode(OSStatus error, char (&text)[kStatusCodeTextSize]);
// [any] "<operation> (<code>)\nApplication will quit", cut to fit the buffer.
void formatAlertMessage(const char* operation, const char* code,
                        char (&message)[kAlertMessageSize]);

// [render] Marks the current thread as the render thread while it lives.
class RenderThreadScope {
  public:
    RenderThreadScope() TOLVA_NONBLOCKING;
    ~RenderThreadScope() TOLVA_NONBLOCKING;
    RenderThreadScope(const RenderThreadScope&) = delete;
    RenderThreadScope& operator=(const RenderThreadScope&) = delete;

  private:
    bool outer_;
};

// [any] True once a render cycle has recorded a failure.
bool fatalErrorPending();
// [UI] Reports a failure recorded by the render thread (and exits); returns
// at once when there is none. The window's timer calls it.
void reportPendingFatalError();

}  // namespace tolva
