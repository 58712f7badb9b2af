// Asks the portal for Light or Dark the way a command run from a shell does,
// with no event loop: prints "dark", "light", or "none" when the portal gave
// no answer Dusk trusts within its short wait.
#include <QCoreApplication>
#include <cstdio>

#include "SettingsPortal.h"

int main(int argc, char* argv[]) {
    const QCoreApplication application(argc, argv);
    const auto dark =
        dusk::backend::SettingsPortal::shared().prefersDark(dusk::backend::SettingsPortal::Caller::Command);
    std::puts(!dark ? "none" : *dark ? "dark" : "light");
    return 0;
}
