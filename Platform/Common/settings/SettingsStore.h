// What a backend that keeps Dusk's settings file supplies; the port's
// SettingsStore (settings/SettingsStore.cpp beside this) is the same on top.
#pragma once

#include <functional>
#include <string>

#include "settings/StoredSettings.h"

namespace dusk::backend {

using SaveFailed = std::function<void(const std::string& path, const std::string& reason)>;

// This desktop's store, made at its first use.
StoredSettings& storedSettings();
// Where the store tells of a save that failed, from now on.
void tellSaveFailures(SaveFailed failed);

}  // namespace dusk::backend
