// A second X client for the end-to-end tests.
//   x11_peer grab KEYCODE MODIFIERS...
//                                    holds a passive grab of that key with
//                                    each set of modifiers on the root
//                                    window, as another application would,
//                                    until its standard input closes
//   x11_peer bells                   prints "bell" for every bell the
//                                    server rings
//   x11_peer map KEYCODE KEYSYM...   gives the key those keysyms, one per
//                                    level, through the core protocol, which
//                                    the server carries into its XKB keymap
//   x11_peer modifier INDEX KEYCODE...
//                                    makes those keys (and only those) the
//                                    modifier INDEX (0 Shift ... 7 Mod5), as
//                                    xmodmap's "add"/"clear" would
// Each prints "ready" once it is in place.
#include <poll.h>
#include <unistd.h>
#include <xcb/xcb.h>
// The XKB header names a field "explicit", which C++ reserves.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Disconnect {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
struct Free {
    void operator()(void* memory) const { std::free(memory); }
};

int grab(xcb_connection_t* connection, xcb_window_t root, int keycode, char** modifierSets, int count) {
    for (int i = 0; i < count; ++i) {
        const auto modifiers = static_cast<std::uint16_t>(std::atoi(modifierSets[i]));
        const auto cookie = xcb_grab_key_checked(connection, 1, root, modifiers, static_cast<xcb_keycode_t>(keycode),
                                                 XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        if (std::unique_ptr<xcb_generic_error_t, Free> error{xcb_request_check(connection, cookie)}) {
            std::printf("grab failed: error %d for modifiers %d\n", error->error_code, modifiers);
            return 1;
        }
    }
    std::puts("ready");
    std::fflush(stdout);
    char buffer[64];
    while (::read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
    }
    return 0;
}

int bells(xcb_connection_t* connection) {
    const auto* extension = xcb_get_extension_data(connection, &xcb_xkb_id);
    if (extension == nullptr || extension->present == 0) return 1;
    std::unique_ptr<xcb_xkb_use_extension_reply_t, Free> use{xcb_xkb_use_extension_reply(
        connection, xcb_xkb_use_extension(connection, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION), nullptr)};
    if (!use || use->supported == 0) return 1;
    const auto cookie =
        xcb_xkb_select_events_checked(connection, XCB_XKB_ID_USE_CORE_KBD, XCB_XKB_EVENT_TYPE_BELL_NOTIFY, 0,
                                      XCB_XKB_EVENT_TYPE_BELL_NOTIFY, 0, 0, nullptr);
    if (std::unique_ptr<xcb_generic_error_t, Free> error{xcb_request_check(connection, cookie)}) return 1;
    std::puts("ready");
    std::fflush(stdout);
    while (std::unique_ptr<xcb_generic_event_t, Free> event{xcb_wait_for_event(connection)}) {
        const auto* xkb = reinterpret_cast<const xcb_xkb_bell_notify_event_t*>(event.get());
        if (event->response_type == extension->first_event && xkb->xkbType == XCB_XKB_BELL_NOTIFY) {
            std::puts("bell");
            std::fflush(stdout);
        }
    }
    return 0;
}

int map(xcb_connection_t* connection, int keycode, char** keysyms, int count) {
    std::vector<xcb_keysym_t> levels;
    for (int i = 0; i < count; ++i) levels.push_back(static_cast<xcb_keysym_t>(std::strtoul(keysyms[i], nullptr, 0)));
    const auto cookie = xcb_change_keyboard_mapping_checked(connection, 1, static_cast<xcb_keycode_t>(keycode),
                                                            static_cast<std::uint8_t>(levels.size()), levels.data());
    if (std::unique_ptr<xcb_generic_error_t, Free> error{xcb_request_check(connection, cookie)}) {
        std::printf("map failed: error %d\n", error->error_code);
        return 1;
    }
    std::puts("ready");
    return 0;
}

int modifier(xcb_connection_t* connection, int index, char** keycodes, int count) {
    std::unique_ptr<xcb_get_modifier_mapping_reply_t, Free> current{
        xcb_get_modifier_mapping_reply(connection, xcb_get_modifier_mapping(connection), nullptr)};
    if (!current || index < 0 || index > 7) return 1;
    const std::size_t oldWidth = current->keycodes_per_modifier;
    const std::size_t width = std::max(oldWidth, static_cast<std::size_t>(count));
    const xcb_keycode_t* old = xcb_get_modifier_mapping_keycodes(current.get());
    std::vector<xcb_keycode_t> rows(8 * width, 0);
    std::vector<xcb_keycode_t> moved(static_cast<std::size_t>(count));
    std::transform(keycodes, keycodes + count, moved.begin(),
                   [](const char* keycode) { return static_cast<xcb_keycode_t>(std::atoi(keycode)); });
    for (std::size_t row = 0; row < 8; ++row) {
        xcb_keycode_t* column = rows.data() + row * width;
        if (row == static_cast<std::size_t>(index)) {
            std::copy(moved.begin(), moved.end(), column);
            continue;
        }
        for (std::size_t i = 0; i < oldWidth; ++i) {
            const xcb_keycode_t keycode = old[row * oldWidth + i];
            if (keycode == 0 || std::find(moved.begin(), moved.end(), keycode) != moved.end()) continue;
            *column++ = keycode;
        }
    }
    // The server refuses while a key being moved is held down; it is not
    // held for long.
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::unique_ptr<xcb_set_modifier_mapping_reply_t, Free> reply{xcb_set_modifier_mapping_reply(
            connection, xcb_set_modifier_mapping(connection, static_cast<std::uint8_t>(width), rows.data()), nullptr)};
        if (!reply) return 1;
        if (reply->status == XCB_MAPPING_STATUS_SUCCESS) {
            std::puts("ready");
            return 0;
        }
        ::usleep(20000);
    }
    std::puts("modifier mapping busy");
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    std::unique_ptr<xcb_connection_t, Disconnect> connection{xcb_connect(nullptr, nullptr)};
    if (xcb_connection_has_error(connection.get()) != 0) return 2;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection.get())).data->root;
    if (mode == "grab" && argc >= 4) return grab(connection.get(), root, std::atoi(argv[2]), argv + 3, argc - 3);
    if (mode == "bells") return bells(connection.get());
    if (mode == "map" && argc >= 4) return map(connection.get(), std::atoi(argv[2]), argv + 3, argc - 3);
    if (mode == "modifier" && argc >= 3) return modifier(connection.get(), std::atoi(argv[2]), argv + 3, argc - 3);
    std::fputs(
        "usage: x11_peer grab KEYCODE MODIFIERS... | x11_peer bells | x11_peer map KEYCODE KEYSYM... | "
        "x11_peer modifier INDEX KEYCODE...\n",
        stderr);
    return 2;
}
