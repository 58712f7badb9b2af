// How Dusk tells the user to bind `dusk toggle` where no application may
// have a global shortcut: in the words of the compositor at the other end of
// the Wayland socket, found by the process's own name, here a forked child
// that names itself as each compositor does.
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

#include <cstdlib>
#include <cstring>
#include <string>

#include "shortcuts/CompositorKeys.h"

namespace dusk::backend {
namespace {

namespace Modifier = platform::Modifier;

// A process named `name` listening on a Wayland socket of the same name in
// a runtime folder of its own, set as this process's session.
class FakeCompositor {
public:
    explicit FakeCompositor(const char* name) {
        char folder[] = "/tmp/dusk-compositor-XXXXXX";
        runtime_ = ::mkdtemp(folder);
        const std::string path = runtime_ + "/" + name;
        int ready[2];
        EXPECT_EQ(::pipe(ready), 0);
        child_ = ::fork();
        if (child_ == 0) {
            ::prctl(PR_SET_NAME, name);
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
            if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || ::listen(fd, 4) != 0)
                ::_exit(1);
            (void)!::write(ready[1], "r", 1);
            for (;;) ::pause();
        }
        char byte = 0;
        EXPECT_EQ(::read(ready[0], &byte, 1), 1);
        ::close(ready[0]);
        ::close(ready[1]);
        ::setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
        ::setenv("WAYLAND_DISPLAY", name, 1);
    }

    ~FakeCompositor() {
        ::kill(child_, SIGKILL);
        ::waitpid(child_, nullptr, 0);
        std::system(("rm -rf '" + runtime_ + "'").c_str());
    }

    FakeCompositor(const FakeCompositor&) = delete;
    FakeCompositor& operator=(const FakeCompositor&) = delete;

private:
    std::string runtime_;
    pid_t child_ = 0;
};

class CompositorKeys : public testing::Test {
protected:
    void SetUp() override {
        // The keymap is the system's keyboard configuration, as on Wayland.
        ::unsetenv("DISPLAY");
        ::setenv("XKB_DEFAULT_LAYOUT", "us", 1);
    }
};

const platform::Shortcut controlOptionCommandD{2, Modifier::control | Modifier::option | Modifier::command};

TEST_F(CompositorKeys, SwayAndHyprlandGetALineForTheirConfigurationWithTheKeys) {
    {
        const FakeCompositor sway("sway");
        EXPECT_EQ(howToBindInTheCompositor(controlOptionCommandD),
                  "In sway, add this line to ~/.config/sway/config and reload sway: "
                  "bindsym Ctrl+Mod1+Mod4+d exec dusk toggle");
        EXPECT_EQ(howToBindInTheCompositor({37, Modifier::shift | Modifier::command}),
                  "In sway, add this line to ~/.config/sway/config and reload sway: "
                  "bindsym Shift+Mod4+l exec dusk toggle");
    }
    const FakeCompositor hyprland("Hyprland");
    EXPECT_EQ(
        howToBindInTheCompositor(controlOptionCommandD),
        "In Hyprland, add this line to ~/.config/hypr/hyprland.conf: bind = CTRL ALT SUPER, d, exec, dusk toggle");
}

TEST_F(CompositorKeys, WestonAndOthersAreToldWhatTheyCanDo) {
    {
        const FakeCompositor weston("weston");
        EXPECT_EQ(howToBindInTheCompositor(controlOptionCommandD),
                  "weston runs no command on a key: run `dusk toggle` in a terminal to switch.");
    }
    // Named by the process, not by what the session's variables claim.
    ::setenv("XDG_CURRENT_DESKTOP", "sway", 1);
    const FakeCompositor other("labwc");
    EXPECT_EQ(howToBindInTheCompositor(controlOptionCommandD),
              "Bind the command `dusk toggle` to a key in your compositor's settings.");
    ::unsetenv("XDG_CURRENT_DESKTOP");
}

}  // namespace
}  // namespace dusk::backend
