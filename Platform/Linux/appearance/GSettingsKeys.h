// String keys of the desktops that keep their settings in GSettings (GNOME,
// MATE, Cinnamon): read and followed through GSettings, and written through
// dconf's own client, several keys in one change, which dconf applies
// whole or not at all and answers with its reason when it fails. Nothing
// here waits on another process on the main thread. Qt-free: GLib's headers
// clash with Qt's keywords.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "appearance/SideTracker.h"

namespace dusk::backend::gsettings {

struct Key {
    const char* schema = nullptr;
    const char* name = nullptr;
    // Whose schema and where it comes from, for the reason it is missing:
    // "GNOME's", "gsettings-desktop-schemas".
    const char* owner = nullptr;
    const char* package = nullptr;
    // Which versions have the key, for the reason it is missing; may be empty.
    const char* since = "";

    // "org.gnome.desktop.interface color-scheme"
    std::string setting() const { return std::string(schema) + " " + name; }
};

// Why the key cannot be had here (its schema or the key missing, GIO not
// loaded), or none. Sets GSettings up for the schema at the first call.
std::optional<std::string> problem(const Key& key);

// The key's value; none where it cannot be had (logged once, with why).
std::optional<std::string> read(const Key& key);

// Each change of the key, from any program, on the main thread, once the
// key could be read.
void follow(const Key& key, std::function<void()> changed);

// Writes every key or none. `landed` is called at once where the reason for
// a failure is known here, otherwise on the main thread when dconf's
// service answers, however late.
void write(const std::vector<std::pair<Key, std::string>>& values, SideTracker::Landed landed);

}  // namespace dusk::backend::gsettings
