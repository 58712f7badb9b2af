#include "shortcuts/CompositorKeys.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "shortcuts/KeyCodes.h"

namespace dusk::backend {
namespace {

// The program at the other end of the Wayland socket: the compositor, by
// its own name, whatever the session's variables claim.
std::string compositorName() {
    const char* display = std::getenv("WAYLAND_DISPLAY");
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (display == nullptr || *display == '\0') return {};
    std::string path = display;
    if (path.front() != '/') {
        if (runtime == nullptr) return {};
        path = std::string(runtime) + "/" + path;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) return {};
    std::memcpy(address.sun_path, path.c_str(), path.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return {};
    ucred peer{};
    socklen_t length = sizeof(peer);
    const bool known = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0 &&
                       ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0;
    ::close(fd);
    if (!known) return {};
    std::ifstream command("/proc/" + std::to_string(peer.pid) + "/comm");
    std::string name;
    std::getline(command, name);
    return name;
}

// The portal's syntax ("CTRL+ALT+LOGO+d") as its parts.
std::vector<std::string> triggerParts(const platform::Shortcut& keys) {
    std::vector<std::string> parts;
    const auto keymap = currentKeymap();
    const auto trigger = keymap ? preferredTrigger(keys, *keymap) : std::nullopt;
    if (!trigger) return parts;
    std::istringstream stream(*trigger);
    for (std::string part; std::getline(stream, part, '+');) parts.push_back(part);
    return parts;
}

std::string swayLine(const std::vector<std::string>& parts) {
    std::string line = "bindsym ";
    for (const auto& part : parts) {
        if (part == "CTRL")
            line += "Ctrl+";
        else if (part == "ALT")
            line += "Mod1+";
        else if (part == "SHIFT")
            line += "Shift+";
        else if (part == "LOGO")
            line += "Mod4+";
        else
            line += part;
    }
    return line + " exec dusk toggle";
}

std::string hyprlandLine(const std::vector<std::string>& parts) {
    std::string modifiers;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        modifiers += (modifiers.empty() ? "" : " ") + (parts[i] == "LOGO" ? std::string("SUPER") : parts[i]);
    }
    return "bind = " + modifiers + ", " + parts.back() + ", exec, dusk toggle";
}

}  // namespace

std::string howToBindInTheCompositor(const platform::Shortcut& keys) {
    const std::string compositor = compositorName();
    const auto parts = triggerParts(keys);
    if (compositor == "sway" && !parts.empty()) {
        return "In sway, add this line to ~/.config/sway/config and reload sway: " + swayLine(parts);
    }
    if (compositor == "Hyprland" && !parts.empty()) {
        return "In Hyprland, add this line to ~/.config/hypr/hyprland.conf: " + hyprlandLine(parts);
    }
    if (compositor == "weston") {
        return "weston runs no command on a key: run `dusk toggle` in a terminal to switch.";
    }
    return "Bind the command `dusk toggle` to a key in your compositor's settings.";
}

}  // namespace dusk::backend
