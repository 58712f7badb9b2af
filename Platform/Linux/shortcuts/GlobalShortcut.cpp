#include "platform/GlobalShortcut.h"

#include <cstdlib>
#include <string>
#include <utility>

#include "common/Log.h"
#include "shortcuts/Shortcuts.h"

namespace dusk::backend {
namespace {

std::function<void()> activated;
std::function<void(const std::optional<platform::Shortcut>&)> rebound;
// Answers about the portal for a bind that was replaced meanwhile are stale.
unsigned generation = 0;

bool waylandSession() {
    const char* display = std::getenv("WAYLAND_DISPLAY");
    return display != nullptr && *display != '\0';
}

void cannotBind(const char* call, const std::string& problem, const platform::GlobalShortcut::Done& done) {
    logError(problem + "; bind `dusk toggle` to a key in your desktop's keyboard settings");
    done({call, bindStatus::noWayToBind, std::nullopt,
          "This desktop lets no application have a global shortcut. Bind the command `dusk toggle` to a key in your "
          "desktop's keyboard settings instead."});
}

}  // namespace

void shortcutPressed(const char* how) {
    logNotice(how);
    if (activated) activated();
}

void shortcutRebound(const std::optional<platform::Shortcut>& keys) {
    if (rebound) rebound(keys);
}

}  // namespace dusk::backend

namespace platform {

using namespace dusk::backend;

// Where the keys come from: on Wayland only the desktop's portal can give
// Dusk keys typed into other applications; elsewhere, and where the portal
// offers no global shortcuts, an X display's key grab (XWayland's too).
void GlobalShortcut::bind(const Shortcut& shortcut, Done done) {
    unbind();
    if (!waylandSession()) {
        if (xDisplayAnswers()) {
            grabKeys(shortcut, std::move(done));
        } else {
            cannotBind("XGrabKey", "global shortcuts need an X11 display, and this session has none", done);
        }
        return;
    }
    whenPortalKnown(
        [shortcut, done = std::move(done), bindGeneration = generation](const std::optional<std::string>& whyNot) {
            if (bindGeneration != generation) return;
            if (!whyNot) {
                bindThroughPortal(shortcut, done);
            } else if (xDisplayAnswers()) {
                logNotice(*whyNot +
                          "; the keys are grabbed on the X display instead, which sees them only while an X11 "
                          "window has the keyboard");
                grabKeys(shortcut, done);
            } else {
                cannotBind("BindShortcuts",
                           "the global shortcut cannot be bound: " + *whyNot +
                               ", and otherwise global shortcuts need an X11 display, which this session lacks",
                           done);
            }
        });
}

void GlobalShortcut::unbind() {
    ++generation;
    releaseKeys();
    if (waylandSession()) unbindThroughPortal();
}

void GlobalShortcut::onActivated(std::function<void()> activated) { dusk::backend::activated = std::move(activated); }

void GlobalShortcut::onRebound(std::function<void(const std::optional<Shortcut>& bound)> rebound) {
    dusk::backend::rebound = std::move(rebound);
}

}  // namespace platform
