#pragma once

// Entries in the system log (syslog on Linux, identity "tolva"). Tests capture
// the entries by installing a sink of their own.

#include <functional>
#include <string_view>

namespace tolva {

using SystemLogSink = std::function<void(std::string_view entry)>;

// [UI] Writes one entry, formatted like printf. Never from the render thread.
void systemLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
// [UI] Replaces where entries go; an empty sink restores syslog.
void setSystemLogSink(SystemLogSink sink);

}  // namespace tolva
