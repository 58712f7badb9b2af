// What every conversation with the desktop's portal shares: its names, calls
// that do not wait, and the a(sa{sv}) lists in which it names shortcuts.
#pragma once

#include <QDBusArgument>
#include <QDBusMessage>
#include <QList>
#include <QString>
#include <QVariantMap>
#include <chrono>
#include <functional>
#include <optional>
#include <string>

class QObject;

namespace dusk::backend {

// One entry of a list of shortcuts: its id and its properties.
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};
using PortalShortcuts = QList<PortalShortcut>;

}  // namespace dusk::backend

Q_DECLARE_METATYPE(dusk::backend::PortalShortcut)

namespace dusk::backend::portal {

extern const char* const service;
extern const char* const path;
extern const char* const shortcutsInterface;

// Makes the list types known to QtDBus; once is enough, more does no harm.
void registerTypes();

// Calls a method without waiting. `answered` gets the reply or the error,
// run by `context`'s thread's loop; the error is NoReply once `timeout` has
// passed.
void call(QObject* context, const QDBusMessage& message, std::chrono::milliseconds timeout,
          std::function<void(const QDBusMessage& reply)> answered);

bool isError(const QDBusMessage& reply);
bool unanswered(const QDBusMessage& reply);
std::string errorText(const QDBusMessage& reply);
std::string seconds(std::chrono::seconds duration);

}  // namespace dusk::backend::portal

namespace dusk::backend {

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut);
const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut);

}  // namespace dusk::backend
