#include "settings/SettingsStore.h"

#include <functional>
#include <string>
#include <utility>

#include "platform/SettingsStore.h"

namespace dusk::backend {
namespace {

std::function<void(const std::string&, const std::string&)>& saveFailed() {
    static std::function<void(const std::string&, const std::string&)> told;
    return told;
}

}  // namespace

void tellOfFailedSave(const std::string& path, const std::string& reason) {
    if (saveFailed()) saveFailed()(path, reason);
}

}  // namespace dusk::backend

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
    dusk::backend::saveFailed() = std::move(failed);
}

}  // namespace platform
