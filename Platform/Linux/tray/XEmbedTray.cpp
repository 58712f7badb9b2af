#include "tray/XEmbedTray.h"

#include <QSocketNotifier>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

namespace dusk::backend {

std::unique_ptr<XEmbedTrayWatch> XEmbedTrayWatch::create() {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') return nullptr;
    int screen = 0;
    // A connection of its own: the events it asks for would otherwise land
    // in the key grabs' queue.
    XcbConnection connection(xcb_connect(display, &screen));
    if (xcb_connection_has_error(connection.get()) != 0) return nullptr;
    return std::make_unique<XEmbedTrayWatch>(std::move(connection), screen);
}

XEmbedTrayWatch::XEmbedTrayWatch(XcbConnection connection, int screen) : connection_(std::move(connection)) {
    auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection_.get()));
    for (int i = 0; i < screen && screens.rem > 0; ++i) xcb_screen_next(&screens);
    if (screens.rem == 0) return;
    root_ = screens.data->root;
    selection_ = atom(("_NET_SYSTEM_TRAY_S" + std::to_string(screen)).c_str());
    manager_ = atom("MANAGER");
    colors_ = atom("_NET_SYSTEM_TRAY_COLORS");
    // A new tray announces itself with a MANAGER message to the root window.
    const uint32_t rootEvents = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_.get(), root_, XCB_CW_EVENT_MASK, &rootEvents);
    const XcbReply<xcb_get_selection_owner_reply_t> owner(xcb_get_selection_owner_reply(
        connection_.get(), xcb_get_selection_owner(connection_.get(), selection_), nullptr));
    if (owner) follow(owner->owner);
    xcb_flush(connection_.get());
    notifier_ = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection_.get()), QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &XEmbedTrayWatch::drain);
    // Replies read above may have queued events the socket will not announce.
    QMetaObject::invokeMethod(this, &XEmbedTrayWatch::drain, Qt::QueuedConnection);
}

XEmbedTrayWatch::~XEmbedTrayWatch() = default;

xcb_atom_t XEmbedTrayWatch::atom(const char* name) const {
    const XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection_.get(), xcb_intern_atom(connection_.get(), 0, static_cast<uint16_t>(std::strlen(name)), name),
        nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

void XEmbedTrayWatch::follow(xcb_window_t owner) {
    owner_ = owner;
    if (owner_ == XCB_WINDOW_NONE) {
        foreground_.reset();
        return;
    }
    // The tray goes when its window does; its colours change on the window.
    const uint32_t ownerEvents = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
    const XcbReply<xcb_generic_error_t> error(xcb_request_check(
        connection_.get(),
        xcb_change_window_attributes_checked(connection_.get(), owner_, XCB_CW_EVENT_MASK, &ownerEvents)));
    // The owner may already be gone again.
    if (error) {
        owner_ = XCB_WINDOW_NONE;
        return;
    }
    readForeground();
}

// _NET_SYSTEM_TRAY_COLORS: twelve CARDINALs, red, green and blue of the
// normal, error, warning and success colours, each 0 to 65535.
void XEmbedTrayWatch::readForeground() {
    foreground_.reset();
    const XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection_.get(), xcb_get_property(connection_.get(), 0, owner_, colors_, XCB_ATOM_CARDINAL, 0, 12), nullptr));
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 12) return;
    const auto* rgb = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
    foreground_ =
        QColor::fromRgba64(static_cast<quint16>(rgb[0]), static_cast<quint16>(rgb[1]), static_cast<quint16>(rgb[2]));
}

uint32_t XEmbedTrayWatch::windowPid(xcb_window_t window) const {
    static const xcb_atom_t windowPid = atom("_NET_WM_PID");
    const XcbReply<xcb_get_property_reply_t> owner(xcb_get_property_reply(
        connection_.get(), xcb_get_property(connection_.get(), 0, window, windowPid, XCB_ATOM_CARDINAL, 0, 1),
        nullptr));
    if (!owner || xcb_get_property_value_length(owner.get()) < 4) return 0;
    return *static_cast<const uint32_t*>(xcb_get_property_value(owner.get()));
}

bool XEmbedTrayWatch::isDock(xcb_window_t window) const {
    static const xcb_atom_t type = atom("_NET_WM_WINDOW_TYPE");
    static const xcb_atom_t dock = atom("_NET_WM_WINDOW_TYPE_DOCK");
    const XcbReply<xcb_get_property_reply_t> types(xcb_get_property_reply(
        connection_.get(), xcb_get_property(connection_.get(), 0, window, type, XCB_ATOM_ATOM, 0, 16), nullptr));
    if (!types) return false;
    const auto* begin = static_cast<const xcb_atom_t*>(xcb_get_property_value(types.get()));
    const auto* end = begin + xcb_get_property_value_length(types.get()) / 4;
    return std::find(begin, end, dock) != end;
}

void XEmbedTrayWatch::addPixels(xcb_window_t window, std::vector<QRgb>& pixels) const {
    const XcbReply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
        connection_.get(), xcb_get_window_attributes(connection_.get(), window), nullptr));
    const XcbReply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(connection_.get(), xcb_get_geometry(connection_.get(), window), nullptr));
    if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE || !geometry) return;
    if (geometry->depth != 24 && geometry->depth != 32) return;
    const XcbReply<xcb_get_image_reply_t> image(
        xcb_get_image_reply(connection_.get(),
                            xcb_get_image(connection_.get(), XCB_IMAGE_FORMAT_Z_PIXMAP, window, 0, 0, geometry->width,
                                          geometry->height, ~0U),
                            nullptr));
    // 24 and 32 bit deep windows both come as 32 bits a pixel, blue first.
    if (!image || xcb_get_image_data_length(image.get()) < geometry->width * geometry->height * 4) return;
    const auto* data = xcb_get_image_data(image.get());
    const int count = geometry->width * geometry->height;
    for (int i = 0; i < count; ++i) {
        const auto* pixel = data + static_cast<ptrdiff_t>(i) * 4;
        pixels.push_back(qRgb(pixel[2], pixel[1], pixel[0]));
    }
}

std::vector<xcb_window_t> XEmbedTrayWatch::docks() const {
    std::vector<xcb_window_t> found;
    const XcbReply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(connection_.get(), xcb_query_tree(connection_.get(), root_), nullptr));
    if (!tree) return found;
    const auto* children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        if (isDock(children[i])) {
            found.push_back(children[i]);
            continue;
        }
        // A window manager may have put the panel inside a frame of its own.
        const XcbReply<xcb_query_tree_reply_t> frame(
            xcb_query_tree_reply(connection_.get(), xcb_query_tree(connection_.get(), children[i]), nullptr));
        if (!frame) continue;
        const auto* framed = xcb_query_tree_children(frame.get());
        for (int j = 0; j < xcb_query_tree_children_length(frame.get()); ++j) {
            if (isDock(framed[j])) found.push_back(framed[j]);
        }
    }
    return found;
}

std::optional<QColor> XEmbedTrayWatch::panelBackground(uint32_t pid) const {
    std::vector<QRgb> pixels;
    const auto panels = docks();
    for (const auto window : panels) {
        if (windowPid(window) == pid) addPixels(window, pixels);
    }
    // The tray may run in a helper process of the panel's (Xfce's plugins
    // do): then any panel is the best guess.
    if (pixels.empty()) {
        for (const auto window : panels) addPixels(window, pixels);
    }
    if (pixels.empty()) return std::nullopt;
    // Most of a panel is its background; the median passes over the text
    // and icons on it.
    const auto middle = pixels.begin() + static_cast<ptrdiff_t>(pixels.size() / 2);
    std::nth_element(pixels.begin(), middle, pixels.end(), [](QRgb a, QRgb b) { return qGray(a) < qGray(b); });
    return QColor(*middle);
}

void XEmbedTrayWatch::drain() {
    const bool wasPresent = present();
    bool coloursChanged = false;
    while (XcbReply<xcb_generic_event_t> event{xcb_poll_for_event(connection_.get())}) {
        const auto type = event->response_type & 0x7f;
        if (type == XCB_CLIENT_MESSAGE) {
            const auto* message = reinterpret_cast<const xcb_client_message_event_t*>(event.get());
            if (message->type == manager_ && message->data.data32[1] == selection_) {
                follow(message->data.data32[2]);
                coloursChanged = true;
            }
        } else if (type == XCB_DESTROY_NOTIFY) {
            const auto* destroyed = reinterpret_cast<const xcb_destroy_notify_event_t*>(event.get());
            if (destroyed->window == owner_) {
                // A successor may already have taken the selection over.
                const XcbReply<xcb_get_selection_owner_reply_t> owner(xcb_get_selection_owner_reply(
                    connection_.get(), xcb_get_selection_owner(connection_.get(), selection_), nullptr));
                follow(owner && owner->owner != owner_ ? owner->owner : xcb_window_t{XCB_WINDOW_NONE});
                coloursChanged = true;
            }
        } else if (type == XCB_PROPERTY_NOTIFY) {
            const auto* property = reinterpret_cast<const xcb_property_notify_event_t*>(event.get());
            if (property->window == owner_ && property->atom == colors_) {
                readForeground();
                coloursChanged = true;
            }
        }
    }
    xcb_flush(connection_.get());
    if (present() != wasPresent) emit presenceChanged(present());
    if (coloursChanged) emit foregroundChanged();
}

}  // namespace dusk::backend
