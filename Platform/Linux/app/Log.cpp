// Dusk's lines and the backend's, in the systemd journal: the identifier
// "dusk", and the subsystem and category as fields of their own, so that
// `journalctl -t dusk DUSK_CATEGORY=hotkey` finds Dusk's own lines.
#include <systemd/sd-journal.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "common/Log.h"
#include "platform/Log.h"

namespace dusk::backend {
namespace {

void write(platform::LogLevel level, std::string_view category, std::string_view text) {
    const int priority = level == platform::LogLevel::Error ? LOG_ERR : LOG_NOTICE;
    const int length = static_cast<int>(text.size());
    // The library drops lines silently when there is no journal, so its
    // socket is asked for first.
    static const bool journal = ::access("/run/systemd/journal/socket", W_OK) == 0;
    const int sent =
        !journal ? -1
                 : sd_journal_send("MESSAGE=%.*s", length, text.data(), "PRIORITY=%d", priority,
                                   "SYSLOG_IDENTIFIER=dusk", "DUSK_SUBSYSTEM=app.dusk.Dusk", "DUSK_CATEGORY=%.*s",
                                   static_cast<int>(category.size()), category.data(), nullptr);
    if (sent >= 0) return;
    // No journal (a container, another init system): standard error, one
    // line each, written in one call so lines from two copies never mix.
    const std::string line = "dusk[" + std::to_string(::getpid()) + "] " + std::string(category) + ": " +
                             (level == platform::LogLevel::Error ? "error: " : "") + std::string(text) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

}  // namespace

void logNotice(std::string_view line) { write(platform::LogLevel::Default, "desktop", line); }
void logError(std::string_view line) { write(platform::LogLevel::Error, "desktop", line); }

}  // namespace dusk::backend

namespace platform {

void writeLog(LogLevel level, std::string_view line) { dusk::backend::write(level, "hotkey", line); }

}  // namespace platform
