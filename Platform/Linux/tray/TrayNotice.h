// What Dusk says when a desktop shows no tray at all (GNOME Shell without
// the AppIndicator extension, a bare window manager, a Wayland compositor):
// it still runs, its shortcut still works or, where none can, how to bind
// `dusk toggle` instead, and how to get the icon or quit.
#pragma once

#include <QObject>

namespace dusk::backend {

class TrayNotice final : public QObject {
    Q_OBJECT

public:
    // A log line every time; a desktop notification only the first time on
    // this desktop, so that a user who chose to live without a tray is not
    // told again at every login. The desktop counts as told once a
    // notification server has shown the notice.
    void tell();
    // The tray came after all: the notification has nothing left to say, and
    // the desktop does not count as told.
    void withdraw();

private:
    uint notification_ = 0;
    bool withdrawn_ = false;
    bool marked_ = false;
};

}  // namespace dusk::backend
