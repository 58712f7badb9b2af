#include "SessionKeymap.h"

#include <systemd/sd-bus.h>
#include <xkbcommon/xkbcommon-x11.h>

#include <cstdlib>
#include <fstream>
#include <string_view>

#include "X11.h"

namespace dusk::backend {
namespace {

struct BusUnref {
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};

// systemd-localed keeps the keyboard the graphical sessions start with.
bool fromLocaled(KeyboardNames& names) {
    sd_bus* raw = nullptr;
    if (sd_bus_open_system(&raw) < 0) return false;
    const std::unique_ptr<sd_bus, BusUnref> bus(raw);
    sd_bus_set_method_call_timeout(bus.get(), 1'000'000);
    const auto read = [&](const char* property, std::string& into) {
        char* value = nullptr;
        sd_bus_error error = SD_BUS_ERROR_NULL;
        const int r = sd_bus_get_property_string(bus.get(), "org.freedesktop.locale1", "/org/freedesktop/locale1",
                                                 "org.freedesktop.locale1", property, &error, &value);
        sd_bus_error_free(&error);
        if (r < 0) return false;
        into = value;
        std::free(value);
        return true;
    };
    if (!read("X11Layout", names.layout) || names.layout.empty()) return false;
    read("X11Model", names.model);
    read("X11Variant", names.variant);
    read("X11Options", names.options);
    return true;
}

// Debian's keyboard-configuration: KEY="value" lines.
bool fromDefaultKeyboard(KeyboardNames& names) {
    std::ifstream file("/etc/default/keyboard");
    if (!file) return false;
    std::string line;
    while (std::getline(file, line)) {
        const auto equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string_view key = std::string_view(line).substr(0, equals);
        std::string value = line.substr(equals + 1);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        }
        if (key == "XKBMODEL") names.model = value;
        if (key == "XKBLAYOUT") names.layout = value;
        if (key == "XKBVARIANT") names.variant = value;
        if (key == "XKBOPTIONS") names.options = value;
    }
    return !names.layout.empty();
}

}  // namespace

KeyboardNames systemKeyboardNames() {
    KeyboardNames names;
    // xkbcommon reads XKB_DEFAULT_* itself where the names are left empty.
    const char* overridden = std::getenv("XKB_DEFAULT_LAYOUT");
    if (overridden != nullptr && *overridden != '\0') return names;
    if (fromLocaled(names)) return names;
    names = {};
    if (fromDefaultKeyboard(names)) return names;
    return {};
}

XkbKeymapPtr newSessionKeymap(xkb_context* context) {
    const auto names = systemKeyboardNames();
    const auto orNull = [](const std::string& text) { return text.empty() ? nullptr : text.c_str(); };
    const xkb_rule_names rules{nullptr, orNull(names.model), orNull(names.layout), orNull(names.variant),
                               orNull(names.options)};
    return XkbKeymapPtr(xkb_keymap_new_from_names(context, &rules, XKB_KEYMAP_COMPILE_NO_FLAGS));
}

XkbKeymapPtr newCurrentKeymap(xkb_context* context) {
    if (X11* x11 = X11::shared(); x11 != nullptr && x11->xkbReady()) {
        const std::int32_t device = xkb_x11_get_core_keyboard_device_id(x11->connection());
        if (device >= 0) {
            return XkbKeymapPtr(
                xkb_x11_keymap_new_from_device(context, x11->connection(), device, XKB_KEYMAP_COMPILE_NO_FLAGS));
        }
    }
    return newSessionKeymap(context);
}

}  // namespace dusk::backend
