#include "shortcuts/Keymap.h"

#include <xkbcommon/xkbcommon-x11.h>

#include <cstdlib>
#include <fstream>
#include <string_view>

#include "shortcuts/XDisplay.h"

namespace dusk::backend {
namespace {

// What the system's keyboard is set to, as xkbcommon's rules take it.
struct RuleNames {
    std::string model, layout, variant, options;
};

// The user's own choice in the environment (XKB_DEFAULT_*), which xkbcommon
// reads itself where no names are given; else Debian's keyboard
// configuration, which systemd-localed keeps in step.
RuleNames systemRuleNames() {
    RuleNames names;
    const char* chosen = std::getenv("XKB_DEFAULT_LAYOUT");
    if (chosen != nullptr && *chosen != '\0') return names;
    std::ifstream file("/etc/default/keyboard");
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
    return names.layout.empty() ? RuleNames{} : names;
}

XkbKeymap systemKeymap(xkb_context* context) {
    const auto names = systemRuleNames();
    const auto orNone = [](const std::string& text) { return text.empty() ? nullptr : text.c_str(); };
    const xkb_rule_names rules{nullptr, orNone(names.model), orNone(names.layout), orNone(names.variant),
                               orNone(names.options)};
    return XkbKeymap(xkb_keymap_new_from_names(context, &rules, XKB_KEYMAP_COMPILE_NO_FLAGS));
}

}  // namespace

std::optional<Keymap> currentKeymap() {
    const XkbContext context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    if (!context) return std::nullopt;
    if (XDisplay* display = XDisplay::shared(); display != nullptr && display->hasXkb()) {
        xcb_connection_t* const connection = display->connection();
        const std::int32_t device = xkb_x11_get_core_keyboard_device_id(connection);
        XkbKeymap keymap(device < 0 ? nullptr
                                    : xkb_x11_keymap_new_from_device(context.get(), connection, device,
                                                                     XKB_KEYMAP_COMPILE_NO_FLAGS));
        const XkbState state(keymap ? xkb_x11_state_new_from_device(keymap.get(), connection, device) : nullptr);
        display->drainSoon();
        if (state)
            return Keymap{std::move(keymap), xkb_state_serialize_layout(state.get(), XKB_STATE_LAYOUT_EFFECTIVE)};
    }
    if (auto keymap = systemKeymap(context.get())) return Keymap{std::move(keymap), 0};
    return std::nullopt;
}

}  // namespace dusk::backend
