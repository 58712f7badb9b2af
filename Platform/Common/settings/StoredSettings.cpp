#include "settings/StoredSettings.h"

#include <cerrno>
#include <cstring>
#include <utility>

namespace dusk::backend {

StoredSettings::StoredSettings(std::string directory, Host& host, std::string_view stamp)
    : directory_(std::move(directory)), path_(pathInside(directory_, "settings.conf")), host_(host) {
    load(stamp);
}

StoredSettings::~StoredSettings() { flush(); }

void StoredSettings::set(std::string_view key, std::int64_t value) {
    values_.insert_or_assign(std::string(key), value);
    if (pending_) return;
    pending_ = true;
    host_.later([this] {
        if (pending_) save(true);
    });
}

void StoredSettings::flush() {
    if (pending_) save(false);
}

void StoredSettings::load(std::string_view stamp) {
    for (const auto& leftover : removeUnfinishedSaves(path_)) {
        host_.logError("removed " + leftover + ", left behind by a save that did not finish");
    }
    std::string problem;
    const auto contents = readRegularFile(path_, problem);
    if (contents) {
        if (auto parsed = parseSettings(*contents)) {
            values_ = std::move(*parsed);
            text_ = *contents;
            return;
        }
    } else if (problem.empty()) {
        return;  // no file yet: every key is absent
    }
    // A damaged file is evidence; the next save must not destroy it.
    const std::string what = contents ? "is not a settings file" : "could not be read (" + problem + ")";
    if (const auto aside = moveAside(path_, stamp)) {
        host_.logError(path_ + " " + what + "; kept aside as " + *aside + ", starting from defaults");
        return;
    }
    const std::string reason = std::strerror(errno);
    cannotSave_ = "it " + what + " and could not be moved aside (" + reason + ")";
    host_.logError(path_ + " " + what + " and could not be moved aside (" + reason +
                   "); starting from defaults without saving");
}

void StoredSettings::save(bool tellTheUser) {
    pending_ = false;
    const auto failure = cannotSave_ ? cannotSave_ : write();
    if (!failure) return;
    host_.logError("settings not saved to " + path_ + ": " + *failure);
    if (tellTheUser) host_.saveFailed(path_, *failure);
}

std::optional<std::string> StoredSettings::write() {
    std::string text = formatSettings(text_, values_);
    if (!makeDirectories(directory_) || !writeFileAtomically(path_, text)) return std::strerror(errno);
    text_ = std::move(text);
    return std::nullopt;
}

}  // namespace dusk::backend
