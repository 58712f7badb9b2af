// The older tray protocol: a system tray on the X display that embeds its
// icons' windows (XEmbed). Dusk watches for one coming and going, since a
// panel may start after Dusk or restart while it runs.
#pragma once

#include <xcb/xcb.h>

#include <QColor>
#include <QObject>
#include <memory>
#include <optional>
#include <vector>

#include "common/Xcb.h"

class QSocketNotifier;

namespace dusk::backend {

class XEmbedTrayWatch final : public QObject {
    Q_OBJECT

public:
    // None without an X display.
    static std::unique_ptr<XEmbedTrayWatch> create();
    XEmbedTrayWatch(XcbConnection connection, int screen);
    ~XEmbedTrayWatch() override;

    bool present() const { return owner_ != XCB_WINDOW_NONE; }
    // The text colour the tray asks its icons to draw in, where it says.
    std::optional<QColor> foreground() const { return foreground_; }
    // The colour most of a process's panels (dock windows) are painted in,
    // as they are on screen now: for a tray that draws Dusk's pixmap as it is.
    std::optional<QColor> panelBackground(uint32_t pid) const;

signals:
    void presenceChanged(bool present);
    void foregroundChanged();

private:
    xcb_atom_t atom(const char* name) const;
    std::vector<xcb_window_t> docks() const;
    bool isDock(xcb_window_t window) const;
    uint32_t windowPid(xcb_window_t window) const;
    void addPixels(xcb_window_t window, std::vector<QRgb>& pixels) const;
    void follow(xcb_window_t owner);
    void readForeground();
    void drain();

    XcbConnection connection_;
    std::unique_ptr<QSocketNotifier> notifier_;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    xcb_atom_t selection_ = XCB_ATOM_NONE;
    xcb_atom_t manager_ = XCB_ATOM_NONE;
    xcb_atom_t colors_ = XCB_ATOM_NONE;
    xcb_window_t owner_ = XCB_WINDOW_NONE;
    std::optional<QColor> foreground_;
};

}  // namespace dusk::backend
