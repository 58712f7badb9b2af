// What a backend that keeps Dusk's settings file supplies; the port's
// SettingsStore (settings/SettingsStore.cpp beside this) is the same on top.
#pragma once

#include <string>

#include "settings/StoredSettings.h"

namespace dusk::backend {

// This desktop's store, made at its first use.
StoredSettings& storedSettings();
// For the store's host: tells Dusk of a save that failed.
void tellOfFailedSave(const std::string& path, const std::string& reason);

}  // namespace dusk::backend
