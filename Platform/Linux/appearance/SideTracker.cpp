#include "appearance/SideTracker.h"

#include <utility>

namespace dusk::backend {

void SideTracker::portalSaid(std::optional<bool> dark) {
    portalSpeaks_ = dark.has_value();
    settle(dark ? *dark : desktop_.readSetting().value_or(false));
}

void SideTracker::settingChanged(bool dark) {
    // Where the portal speaks, the setting's change reaches Dusk through it
    // too, or does not concern the desktop the portal describes.
    if (!portalSpeaks_) settle(dark);
}

void SideTracker::toggle(Done done) {
    toggles_.push_back(std::move(done));
    writeNext();
}

void SideTracker::settle(bool dark) {
    // Only a change of side is news: a source repeating the side, or a second
    // source reporting the same change, redraws nothing.
    if (dark == dark_) return;
    dark_ = dark;
    const auto observers = observers_;
    for (const auto& changed : observers) changed();
}

void SideTracker::writeNext() {
    if (writing_ || toggles_.empty()) return;
    writing_ = true;
    const bool dark = !dark_;
    desktop_.write(dark, [this, dark](const Failure& failure) {
        writing_ = false;
        if (!failure) settle(dark);
        const auto done = std::move(toggles_.front());
        toggles_.pop_front();
        // An alert may run a loop of its own, in which another switch starts.
        done(dark, failure);
        writeNext();
    });
}

}  // namespace dusk::backend
