// The session asks a program to stop with SIGTERM (logout, systemd, kill),
// the user with SIGINT (Ctrl-C in a terminal), and a closed terminal sends
// SIGHUP. Dusk treats each like "Quit Dusk": the event loop ends normally,
// so whatever waits for the application's aboutToQuit still runs.
#pragma once

#include <QSocketNotifier>
#include <array>
#include <csignal>
#include <functional>
#include <memory>

namespace dusk::backend {

class QuitSignals final {
public:
    // onSignal runs on the main thread, inside the event loop.
    explicit QuitSignals(std::function<void()> onSignal);
    ~QuitSignals();
    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;
    QuitSignals(QuitSignals&&) = delete;
    QuitSignals& operator=(QuitSignals&&) = delete;

private:
    static constexpr std::array signals_{SIGTERM, SIGINT, SIGHUP};

    std::array<int, 2> pipe_{-1, -1};
    std::array<struct sigaction, signals_.size()> previous_{};
    std::function<void()> onSignal_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace dusk::backend
