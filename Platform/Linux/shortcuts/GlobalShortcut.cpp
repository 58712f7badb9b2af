#include "platform/GlobalShortcut.h"

#include <cstdlib>
#include <string>
#include <utility>

#include "common/Log.h"
#include "shortcuts/BindStatus.h"
#include "shortcuts/KeyGrab.h"
#include "shortcuts/PortalOffer.h"
#include "shortcuts/ShortcutsPortal.h"

namespace dusk::backend {
namespace {

constexpr const char* bindItYourself = "bind `dusk toggle` to a key in your desktop's keyboard settings";
constexpr const char* noWayToBindReason =
    "This desktop lets no application have a global shortcut. Bind the command `dusk toggle` to a key in your "
    "desktop's keyboard settings instead.";

// Where the keys come from: on Wayland only the desktop's portal can give
// Dusk keys typed into other applications; elsewhere, and where the portal
// offers no global shortcuts, an X display's key grab (XWayland's too).
class Shortcuts final {
public:
    static Shortcuts& shared() {
        static Shortcuts instance;
        return instance;
    }

    void bind(const platform::Shortcut& shortcut, platform::GlobalShortcut::Done done) {
        unbind();
        if (!waylandSession()) {
            grab(shortcut, std::move(done));
            return;
        }
        PortalOffer::shared().whenKnown([this, shortcut, done = std::move(done),
                                         generation = generation_](const std::optional<std::string>& whyNot) {
            if (generation != generation_) return;
            if (!whyNot) {
                listenToPortal().bind(shortcut, done);
            } else if (KeyGrab::available()) {
                logNotice(*whyNot +
                          "; the keys are grabbed on the X display instead, which sees them only while an "
                          "X11 window has the keyboard");
                grab(shortcut, done);
            } else {
                logError("the global shortcut cannot be bound: " + *whyNot +
                         ", and otherwise global shortcuts need an X11 display, which this session lacks; " +
                         bindItYourself);
                done({"BindShortcuts", bindStatus::noWayToBind, std::nullopt, noWayToBindReason});
            }
        });
    }

    void unbind() {
        ++generation_;
        KeyGrab::shared().release();
        if (waylandSession()) ShortcutsPortal::shared().unbind();
    }

    std::function<void()> activated;
    std::function<void(const std::optional<platform::Shortcut>&)> rebound;

private:
    Shortcuts() {
        auto& keys = KeyGrab::shared();
        keys.onPressed = [this] { press("hotkey event received from the X server"); };
        keys.onLost = [this] {
            if (rebound) rebound(std::nullopt);
        };
    }

    static bool waylandSession() {
        const char* display = std::getenv("WAYLAND_DISPLAY");
        return display != nullptr && *display != '\0';
    }

    ShortcutsPortal& listenToPortal() {
        auto& portal = ShortcutsPortal::shared();
        portal.onActivated = [this] { press("hotkey event received from the desktop's portal"); };
        portal.onRebound = [this](const std::optional<platform::Shortcut>& bound) {
            if (rebound) rebound(bound);
        };
        return portal;
    }

    void grab(const platform::Shortcut& shortcut, platform::GlobalShortcut::Done done) {
        KeyGrab::shared().grab(shortcut, [shortcut, done = std::move(done)](std::int32_t status) {
            std::string reason;
            if (status == bindStatus::noWayToBind) {
                logError(std::string("global shortcuts need an X11 display, and this session has none; ") +
                         bindItYourself);
                reason = noWayToBindReason;
            } else if (status == bindStatus::noSuchKey) {
                logError("the global shortcut is not bound: no key of this keyboard has code " +
                         std::to_string(shortcut.keyCode));
                reason = "This keyboard has no such key.";
            } else if (status != bindStatus::bound && status != xBadAccess) {
                logError("the X server refused the global shortcut's keys (X error " + std::to_string(status) + ")");
            }
            done({"XGrabKey", status, status == bindStatus::bound ? std::optional(shortcut) : std::nullopt, reason});
        });
    }

    void press(const char* line) const {
        logNotice(line);
        if (activated) activated();
    }

    // Another client holds the keys: the core's own words say so.
    static constexpr std::int32_t xBadAccess = 10;
    // Answers about the portal for a bind that was replaced meanwhile are
    // stale.
    unsigned generation_ = 0;
};

}  // namespace
}  // namespace dusk::backend

namespace platform {

using dusk::backend::Shortcuts;

void GlobalShortcut::bind(const Shortcut& shortcut, Done done) { Shortcuts::shared().bind(shortcut, std::move(done)); }

void GlobalShortcut::unbind() { Shortcuts::shared().unbind(); }

// The X server refuses no keys for their modifiers; a portal that will not
// have some says so when asked to bind them.
bool GlobalShortcut::refusesModifiers(ModifierFlags) { return false; }

void GlobalShortcut::onActivated(std::function<void()> activated) {
    Shortcuts::shared().activated = std::move(activated);
}

void GlobalShortcut::onRebound(std::function<void(const std::optional<Shortcut>& bound)> rebound) {
    Shortcuts::shared().rebound = std::move(rebound);
}

}  // namespace platform
