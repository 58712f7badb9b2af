// GNOME's colour scheme, org.gnome.desktop.interface color-scheme: read and
// followed through GSettings, and written through dconf's own client, which
// answers each write with dconf's reason when it fails. Nothing here waits on
// another process on the main thread. Qt-free: GLib's headers clash with
// Qt's keywords.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace dusk::backend {

class GnomeColorScheme final {
public:
    static GnomeColorScheme& shared();

    // Through GSettings, which the first call loads; none where GSettings
    // cannot have the setting (logged once, with why).
    std::optional<bool> prefersDark();
    // Each change, from any program, once prefersDark() has loaded GSettings;
    // on the main thread.
    void onChange(std::function<void(bool dark)> changed) { observers_.push_back(std::move(changed)); }

    // None once dconf has saved the change, else the reason it did not; at
    // once where the reason is known here, otherwise later on the main thread
    // when dconf's service answers, however late that is.
    using Landed = std::function<void(const std::optional<std::string>& failure)>;
    void write(bool dark, Landed landed);

    GnomeColorScheme(const GnomeColorScheme&) = delete;
    GnomeColorScheme& operator=(const GnomeColorScheme&) = delete;

private:
    GnomeColorScheme() = default;
    ~GnomeColorScheme() = default;
    // GSettings' object for GNOME's interface settings, loaded once; null
    // with `problem_` saying why where it cannot be had.
    struct Loaded;
    const Loaded* load();
    std::optional<std::string> backendProblem() const;
    void changed();

    bool loadTried_ = false;
    const Loaded* loaded_ = nullptr;
    std::string problem_;
    std::vector<std::function<void(bool)>> observers_;
};

}  // namespace dusk::backend
