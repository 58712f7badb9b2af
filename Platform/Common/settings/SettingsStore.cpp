#include "settings/SettingsStore.h"

#include <utility>

#include "platform/SettingsStore.h"

namespace platform {

std::optional<std::int64_t> SettingsStore::integer(std::string_view key) {
    const auto& values = dusk::backend::storedSettings().values();
    const auto found = values.find(key);
    if (found == values.end()) return std::nullopt;
    return found->second;
}

void SettingsStore::setInteger(std::string_view key, std::int64_t value) {
    dusk::backend::storedSettings().set(key, value);
}

void SettingsStore::onSaveFailed(std::function<void(const std::string&, const std::string&)> failed) {
    dusk::backend::tellSaveFailures(std::move(failed));
}

}  // namespace platform
