// The running copy's face on the session bus: the freedesktop Application
// interface at the path its application id names, which a launcher, or a
// second copy started from the application menu, activates. Dusk has no
// window to raise; it makes itself known (see Tray::announceRunning).
#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>

namespace dusk::backend {

class ApplicationObject final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

public:
    using QObject::QObject;

    // "/app/dusk/Dusk", as the Desktop Entry specification derives it.
    static QString path();

public slots:  // NOLINT(readability-redundant-access-specifiers): D-Bus methods are slots
    // Open and ActivateAction are not offered: Dusk opens no files, and its
    // desktop action is a command of its own (`dusk toggle`).
    void Activate(const QVariantMap& platformData);
};

}  // namespace dusk::backend
