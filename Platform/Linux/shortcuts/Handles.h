// Ownership of what xcb and xkbcommon hand over: each handle is released by
// the one object that holds it.
#pragma once

#include <xcb/xcb.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdlib>
#include <memory>

namespace dusk::backend {

struct FreeWithFree {
    void operator()(void* memory) const { std::free(memory); }
};
// Every reply, event and error xcb hands over is the caller's to free.
template <typename T>
using XcbReply = std::unique_ptr<T, FreeWithFree>;

struct XcbDisconnect {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using XcbConnection = std::unique_ptr<xcb_connection_t, XcbDisconnect>;

struct XkbUnref {
    void operator()(xkb_context* context) const { xkb_context_unref(context); }
    void operator()(xkb_keymap* keymap) const { xkb_keymap_unref(keymap); }
    void operator()(xkb_state* state) const { xkb_state_unref(state); }
};
using XkbContext = std::unique_ptr<xkb_context, XkbUnref>;
using XkbKeymap = std::unique_ptr<xkb_keymap, XkbUnref>;
using XkbState = std::unique_ptr<xkb_state, XkbUnref>;

}  // namespace dusk::backend
