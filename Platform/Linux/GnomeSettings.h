// GNOME's color-scheme through GSettings. Kept apart from Qt, whose keyword
// macros clash with GLib's headers.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace dusk::backend {

class GnomeColorScheme final {
public:
    // None when the schema or its key is missing, with `problem()` saying which.
    static GnomeColorScheme& shared();

    // What is missing for the setting to exist, if anything.
    const std::optional<std::string>& problem() const;
    // None while the setting does not exist.
    std::optional<bool> prefersDark() const;
    // The error text when the write failed, none when it took.
    std::optional<std::string> setPrefersDark(bool dark);
    // Called on the main thread after each change, from any process.
    void onChange(std::function<void()> callback);

    struct State;

private:
    GnomeColorScheme();
    ~GnomeColorScheme();
    std::unique_ptr<State> state_;
};

}  // namespace dusk::backend
