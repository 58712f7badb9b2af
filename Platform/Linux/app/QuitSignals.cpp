#include "app/QuitSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace dusk::backend {
namespace {

// A handler may only do what is async-signal-safe: it hands the signal to
// the event loop through a pipe and returns.
volatile std::sig_atomic_t wakeUpDescriptor = -1;

void wakeEventLoop(int) {
    const int savedErrno = errno;
    const char byte = 1;
    // A full pipe already holds a wake-up; nothing is lost.
    [[maybe_unused]] const auto written = ::write(wakeUpDescriptor, &byte, 1);
    errno = savedErrno;
}

}  // namespace

QuitSignals::QuitSignals(std::function<void()> onSignal) : onSignal_(std::move(onSignal)) {
    if (::pipe2(pipe_.data(), O_CLOEXEC | O_NONBLOCK) != 0) return;
    notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] {
        char drained[16];
        while (::read(pipe_[0], drained, sizeof drained) > 0) {
        }
        onSignal_();
    });
    wakeUpDescriptor = pipe_[1];
    struct sigaction action {};
    action.sa_handler = wakeEventLoop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < signals_.size(); ++i) ::sigaction(signals_[i], &action, &previous_[i]);
}

QuitSignals::~QuitSignals() {
    if (!notifier_) return;
    for (std::size_t i = 0; i < signals_.size(); ++i) ::sigaction(signals_[i], &previous_[i], nullptr);
    wakeUpDescriptor = -1;
    notifier_.reset();
    ::close(pipe_[0]);
    ::close(pipe_[1]);
}

}  // namespace dusk::backend
