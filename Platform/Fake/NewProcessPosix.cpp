// A new process of Dusk on a POSIX system: a forked child, whose state
// comes back through a pipe.
#include <sys/wait.h>
#include <unistd.h>

#include "State.h"

namespace fake {

int runInNewProcess(const std::function<int()>& body) {
    int fds[2];
    if (::pipe(fds) != 0) return -1;
    const pid_t child = ::fork();
    if (child < 0) return -1;
    if (child == 0) {
        ::close(fds[0]);
        // A new process starts from what the last one saved.
        desktop().settings = desktop().savedSettings;
        const int status = body();
        const auto state = persistentState();
        for (std::size_t written = 0; written < state.size();) {
            const auto n = ::write(fds[1], state.data() + written, state.size() - written);
            if (n <= 0) break;
            written += static_cast<std::size_t>(n);
        }
        ::close(fds[1]);
        ::_exit(status);
    }
    ::close(fds[1]);
    std::string received;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        received.append(buffer, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!received.empty()) restorePersistentState(received);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace fake
