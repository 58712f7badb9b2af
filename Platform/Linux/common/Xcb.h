// Ownership of what XCB hands over: connections, replies and errors.
#pragma once

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace dusk::backend {

struct FreeWithFree {
    void operator()(void* memory) const { std::free(memory); }
};
// Every reply and error XCB hands over is the caller's to free.
template <typename T>
using XcbReply = std::unique_ptr<T, FreeWithFree>;

struct XcbDisconnect {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using XcbConnection = std::unique_ptr<xcb_connection_t, XcbDisconnect>;

}  // namespace dusk::backend
