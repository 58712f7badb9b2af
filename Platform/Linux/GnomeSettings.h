// GNOME's color-scheme through GSettings, for writing it and reading it back.
// Kept apart from Qt, whose keyword macros clash with GLib's headers.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace dusk::backend {

class GnomeColorScheme final {
public:
    static GnomeColorScheme& shared();

    // Whether a write has loaded GSettings and it has the setting. Until
    // then, or where it cannot, dconf's databases on disk tell what GNOME's
    // setting is.
    bool inUse() const;
    // What is missing for the setting to exist, if anything.
    const std::optional<std::string>& problem() const;
    // None while the setting does not exist.
    std::optional<bool> prefersDark() const;
    // The error text when the write failed, none when it took.
    std::optional<std::string> setPrefersDark(bool dark);
    // Called on the main thread after each change, from any process, once
    // GIO is loaded.
    void onChange(std::function<void()> callback);

    struct State;

private:
    GnomeColorScheme();
    ~GnomeColorScheme();
    // GIO costs a tenth of a Qt program's start, so it is loaded by the
    // first call that needs GSettings, not by shared().
    void load() const;
    std::unique_ptr<State> state_;
};

}  // namespace dusk::backend
