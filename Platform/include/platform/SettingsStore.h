// Dusk's own settings: integers under names, kept across restarts.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

class SettingsStore final {
public:
    SettingsStore() = delete;

    // None when nothing is stored under the name: a stored 0 is a value.
    static std::optional<std::int64_t> integer(std::string_view key);
    static void setInteger(std::string_view key, std::int64_t value);

    // Changes could not be kept across a restart: where they were to go and
    // why they did not, in the platform's words. Called on the main thread,
    // once for each save that failed, however many values it held.
    static void onSaveFailed(std::function<void(const std::string& where, const std::string& reason)> failed);
};

}  // namespace platform
