// Whether this session's portal offers global shortcuts, asked of the desktop
// without waiting for it: Dusk registers its application id first, where the
// portal keeps a registry of host applications, then reads the
// GlobalShortcuts interface's version.
#pragma once

#include <QObject>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace dusk::backend {

class PortalOffer final : public QObject {
    Q_OBJECT

public:
    // Made on first use, as a child of the application.
    static PortalOffer& shared();

    // How long each question waits for the desktop.
    static constexpr std::chrono::seconds deadline{10};

    // `answer` gets none once the portal has said it offers global
    // shortcuts, else why not. A portal that said no is asked again next
    // time: it may have started since.
    void whenKnown(std::function<void(const std::optional<std::string>& whyNot)> answer);

private:
    explicit PortalOffer(QObject* parent);
    void askForVersion();

    bool offered_ = false, asking_ = false, registered_ = false;
    std::vector<std::function<void(const std::optional<std::string>&)>> waiting_;
};

}  // namespace dusk::backend
