// Which side the desktop is on as far as Dusk knows, from the portal and from
// the setting Dusk writes, and Dusk's own switches, one at a time.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace dusk::backend {

class SideTracker final {
public:
    // None once a switch has landed, else why it did not, in the desktop's words.
    using Failure = std::optional<std::string>;
    using Landed = std::function<void(const Failure& failure)>;

    // What the desktop offers for the side, chosen once per session.
    struct Desktop {
        // The setting Dusk writes, read at once; none where it cannot be read.
        std::function<std::optional<bool>()> readSetting;
        // Writes a side; `landed` is called once, before write returns or
        // later on the main thread.
        std::function<void(bool dark, Landed landed)> write;
    };

    explicit SideTracker(Desktop desktop) : desktop_(std::move(desktop)) {}

    bool isDark() const { return dark_; }

    // The portal's word, or none (SettingsPortal::Said). While the portal has
    // a word, it speaks for the desktop; without one, the setting does.
    void portalSaid(std::optional<bool> dark) {
        portalSpeaks_ = dark.has_value();
        settle(dark ? *dark : desktop_.readSetting().value_or(false));
    }
    // The setting changed, here or in another program. Where the portal
    // speaks, the change reaches Dusk through it too, or does not concern the
    // desktop the portal describes.
    void settingChanged(bool dark) {
        if (!portalSpeaks_) settle(dark);
    }

    // The desktop's theme changed, here or in another program, or was read
    // for the first time. Where the desktop has a theme for each side, that
    // is its own word on the side, whatever the colour scheme says.
    void themeChanged(bool dark) { settle(dark); }

    // Switches to the side opposite the one Dusk reports when the switch
    // starts: a switch asked for while another is under way waits for it.
    // `done` gets the side asked for and the outcome; a switch that landed is
    // the side reported from then on, whatever a lagging portal still says.
    using Done = std::function<void(bool dark, const Failure& failure)>;
    void toggle(Done done) {
        toggles_.push_back(std::move(done));
        writeNext();
    }

    // Each change of the side reported, from any source.
    void onChange(std::function<void()> changed) { observers_.push_back(std::move(changed)); }

private:
    // Only a change of side is news: a source repeating the side, or a second
    // source reporting the same change, redraws nothing.
    void settle(bool dark) {
        if (dark == dark_) return;
        dark_ = dark;
        const auto observers = observers_;
        for (const auto& changed : observers) changed();
    }

    void writeNext() {
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

    Desktop desktop_;
    bool dark_ = false;
    bool portalSpeaks_ = false;
    std::deque<Done> toggles_;
    bool writing_ = false;
    std::vector<std::function<void()>> observers_;
};

}  // namespace dusk::backend
