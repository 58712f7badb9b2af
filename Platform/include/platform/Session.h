// The process on its desktop: the main loop and its queue, the one copy of
// Dusk per login session, and quitting.
#pragma once

#include <functional>

namespace platform {

class Session final {
public:
    Session() = delete;

    // Runs Dusk in the menu bar. `launched` is called from the loop once the
    // desktop is ready for a status item (on some desktops that means knowing
    // which side the appearance is on). Answers the exit status.
    static int run(std::function<void()> launched);

    // Runs one command, with no status item and no need for a display. The
    // command calls `finish` with its exit status when its work is done,
    // possibly from a later turn of the loop. Answers that status.
    using Finish = std::function<void(int status)>;
    static int runCommand(const std::function<void(Finish finish)>& command);

    // Runs `work` on the main thread in a later turn of the loop, in the order
    // of submission. Work that the loop will never run is dropped.
    static void post(std::function<void()> work);

    // Ends the loop. Nothing pending is waited for.
    static void quit();

    // Answers, later, whether another copy of Dusk already runs in this
    // login session. A copy that cannot tell answers false.
    static void findAnotherCopy(std::function<void(bool anotherRuns)> answer);
};

}  // namespace platform
