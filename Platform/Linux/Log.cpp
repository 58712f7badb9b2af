#include <systemd/sd-journal.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "Internal.h"

struct platform::Logger::Impl {
    std::string subsystem;
    std::string category;
};

namespace platform {

Logger::Logger(std::string subsystem, std::string category)
    : impl_(std::make_unique<Impl>(Impl{std::move(subsystem), std::move(category)})) {}

Logger::~Logger() = default;

void Logger::log(LogLevel level, std::string_view text) const {
    const int priority = level == LogLevel::Error ? LOG_ERR : LOG_NOTICE;
    const int length = static_cast<int>(text.size());
    // The journal keeps the subsystem and category as fields of their own,
    // so `journalctl -t dusk DUSK_CATEGORY=hotkey` finds one kind of line.
    // The library drops lines silently when there is no journal, so ask
    // for its socket first.
    static const bool journal = ::access("/run/systemd/journal/socket", W_OK) == 0;
    const int sent = !journal ? -1
                              : sd_journal_send("MESSAGE=%.*s", length, text.data(), "PRIORITY=%d", priority,
                                                "SYSLOG_IDENTIFIER=dusk", "DUSK_SUBSYSTEM=%s", impl_->subsystem.c_str(),
                                                "DUSK_CATEGORY=%s", impl_->category.c_str(), nullptr);
    if (sent >= 0) return;
    // No journal (a container, another init system): standard error, one
    // line each, written in one call so lines from two copies never mix.
    const std::string line = "dusk[" + std::to_string(::getpid()) + "] " + impl_->category + ": " +
                             (level == LogLevel::Error ? "error: " : "") + std::string(text) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

}  // namespace platform

namespace dusk::backend {
namespace {
const platform::Logger& backendLog() {
    static const platform::Logger logger("app.dusk.Dusk", "desktop");
    return logger;
}
}  // namespace

void logNotice(std::string_view text) { backendLog().log(platform::LogLevel::Default, text); }
void logError(std::string_view text) { backendLog().log(platform::LogLevel::Error, text); }

}  // namespace dusk::backend
