// Dusk's lines in the unified log, under its subsystem and category.
#include "platform/Log.h"

#include <os/log.h>

#include <string>

namespace platform {
namespace {

// Made on first use, once, whichever thread gets there first.
os_log_t duskLog() {
    static const os_log_t log = os_log_create("app.dusk.Dusk", "hotkey");
    return log;
}

}  // namespace

void writeLog(LogLevel level, std::string_view line) {
    const std::string text(line);
    // The line is finished already, and every value in it is public.
    os_log_with_type(duskLog(), level == LogLevel::Error ? OS_LOG_TYPE_ERROR : OS_LOG_TYPE_DEFAULT, "%{public}s",
                     text.c_str());
}

}  // namespace platform
