#include "platform/log/system_log.h"

#include <syslog.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace tolva {
namespace {

std::mutex gSinkMutex;
SystemLogSink gSink;

void writeSyslog(std::string_view entry) {
    static std::once_flag opened;
    std::call_once(opened, [] { openlog("tolva", LOG_PID, LOG_USER); });
    syslog(LOG_NOTICE, "%.*s", static_cast<int>(entry.size()), entry.data());
}

}  // namespace

void systemLog(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string entry;
    if (length > 0) {
        std::vector<char> buffer(static_cast<size_t>(length) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format, args);
        entry.assign(buffer.data(), static_cast<size_t>(length));
    }
    va_end(args);

    std::lock_guard lock(gSinkMutex);
    if (gSink) {
        gSink(entry);
    } else {
        writeSyslog(entry);
    }
}

void setSystemLogSink(SystemLogSink sink) {
    std::lock_guard lock(gSinkMutex);
    gSink = std::move(sink);
}

}  // namespace tolva
