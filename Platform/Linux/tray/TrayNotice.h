// What Dusk says when a desktop shows no tray at all (GNOME Shell without
// the AppIndicator extension, a bare window manager): it still runs, its
// shortcut still works, and here is how to get the icon or quit.
#pragma once

#include <QObject>

namespace dusk::backend {

class TrayNotice final : public QObject {
    Q_OBJECT

public:
    // A log line every time; a desktop notification only the first time on
    // this desktop, so that a user who chose to live without a tray is not
    // told again at every login.
    void tell();
    // The tray came after all: the notification has nothing left to say.
    void withdraw();

private:
    uint notification_ = 0;
    bool withdrawn_ = false;
};

}  // namespace dusk::backend
