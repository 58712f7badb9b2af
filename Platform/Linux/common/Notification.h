// A desktop notification (org.freedesktop.Notifications), sent without
// waiting. Where no notification server runs, nothing is shown and nothing
// is said: the caller has logged the same words.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

namespace dusk::backend {

// `shown` gets the notification's id on the main thread, once it is up. A
// notification with the id `replaces`, where still up, gives way to this one.
void notify(const QString& summary, const QString& body, QObject* context, std::function<void(uint id)> shown,
            uint replaces = 0);

void withdrawNotification(uint id);

}  // namespace dusk::backend
