// What Dusk says when a desktop shows no tray at all (GNOME Shell without
// the AppIndicator extension, a bare window manager, a Wayland compositor):
// it still runs, its shortcut still works or, where none can, how to bind
// `dusk toggle` instead, and how to get the icon or quit.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

namespace dusk::backend {

class TrayNotice final : public QObject {
    Q_OBJECT

public:
    enum Reminder { OncePerDesktop, EvenIfTold };

    // A log line every time; a desktop notification only the first time on
    // this desktop, so that a user who chose to live without a tray is not
    // told again at every login, unless the user asks for Dusk (EvenIfTold).
    // The desktop counts as told once a notification server has shown the
    // notice.
    void tell(Reminder reminder = OncePerDesktop);
    // The tray came after all: the notification has nothing left to say, and
    // the desktop does not count as told.
    void withdraw();
    // Dusk was started again: it runs already, and its icon is in the tray.
    // Each time replaces the last.
    void sayAlreadyRunning();

private:
    uint notification_ = 0;
    uint alreadyRunning_ = 0;
    bool withdrawn_ = false;
    bool marked_ = false;
};

}  // namespace dusk::backend
