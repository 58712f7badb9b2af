// The user defaults of Dusk's own domain, kept in memory and saved to the
// settings file the way a preferences daemon does it: every write made in
// one turn of the main loop reaches the disk together, in one atomic save.
// One change of the shortcut is two integers; saved one at a time, a crash
// between them would leave a shortcut nobody chose.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "settings/SettingsFile.h"

namespace dusk::backend {

class StoredSettings final {
public:
    // What the store needs from the program around it.
    class Host {
    public:
        virtual ~Host() = default;
        // Runs `work` on a later turn of the main loop.
        virtual void later(std::function<void()> work) = 0;
        virtual void logError(std::string_view line) = 0;
        // A change the user made could not be saved: the file and why.
        virtual void saveFailed(const std::string& path, const std::string& reason) = 0;
    };

    // Reads the file in `directory`, or starts from no values. `stamp` names
    // a damaged file kept aside (the local time, to the second).
    StoredSettings(std::string directory, Host& host, std::string_view stamp);
    // Saves what is still pending, for a process that ends without a last
    // turn of its main loop.
    ~StoredSettings();
    StoredSettings(const StoredSettings&) = delete;
    StoredSettings& operator=(const StoredSettings&) = delete;

    const std::string& path() const { return path_; }
    const SettingsValues& values() const { return values_; }
    void set(std::string_view key, std::int64_t value);
    // Saves a pending change now, when the process is about to end. A
    // failure is logged only: nobody is left to read an alert.
    void flush();

private:
    void load(std::string_view stamp);
    void save(bool tellTheUser);
    // None when saved; otherwise why not, in words.
    std::optional<std::string> write();

    std::string directory_;
    std::string path_;
    Host& host_;
    SettingsValues values_;
    // The file as last read or saved: its comments outlive Dusk's saves.
    std::string text_;
    bool pending_ = false;
    // Set when the file can be neither read nor moved aside: a save would
    // destroy the only copy of whatever it holds.
    std::optional<std::string> cannotSave_;
};

}  // namespace dusk::backend
