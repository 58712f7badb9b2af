// Calls to the session bus daemon itself: names asked for and given back.
#pragma once

#include <QDBusMessage>
#include <QVariantList>

namespace dusk::backend {

inline QDBusMessage busDaemonCall(const char* method, const QVariantList& arguments) {
    auto call =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                       QStringLiteral("org.freedesktop.DBus"), QString::fromLatin1(method));
    call.setArguments(arguments);
    return call;
}

}  // namespace dusk::backend
