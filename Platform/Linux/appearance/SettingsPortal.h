// The freedesktop Settings portal's colour scheme, over the session bus
// connection Qt already has: read without ever waiting for the answer, then
// followed through the portal's SettingChanged, and read afresh whenever
// another portal takes the name.
#pragma once

#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

namespace dusk::backend {

class SettingsPortal final : public QObject {
    Q_OBJECT

public:
    // Each word from the portal, on the main thread: one of its documented
    // values, or none when there is no portal, it failed, or it said
    // something Dusk does not trust. The first comes after the constructor
    // returns.
    using Said = std::function<void(std::optional<bool> dark)>;
    SettingsPortal(Said said, QObject* parent);

private Q_SLOTS:
    void settingChanged(const QDBusMessage& message);

private:  // NOLINT(readability-redundant-access-specifiers): a bus signal arrives at a slot above
    void read(const QString& method);

    Said said_;
    // A reply to a read that a newer one has replaced says nothing.
    std::uint64_t reads_ = 0;
};

}  // namespace dusk::backend
