#include <memory>

#include "AppDelegate.h"
#include "platform/AppKit.h"

int main() {
    auto& app = platform::Application::sharedApplication();
    const auto delegate = std::make_shared<dusk::AppDelegate>();
    app.setDelegate(delegate);
    // A menu-bar accessory: no Dock icon, no application menu, no main window.
    app.setActivationPolicy(platform::ActivationPolicy::Accessory);
    app.run();
    return 0;
}
