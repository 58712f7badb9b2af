#include <iostream>
#include <memory>
#include <string_view>
#include <vector>

#include "AppDelegate.h"
#include "CommandLine.h"
#include "platform/AppKit.h"

int main(int argc, char** argv) {
    // A command does its work and ends; it never puts a second item in the
    // menu bar, so it needs no application object at all.
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    if (const auto status = dusk::CommandLine::run(arguments, std::cout, std::cerr)) return *status;

    auto& app = platform::Application::sharedApplication();
    const auto delegate = std::make_shared<dusk::AppDelegate>();
    app.setDelegate(delegate);
    // A menu-bar accessory: no Dock icon, no application menu, no main window.
    app.setActivationPolicy(platform::ActivationPolicy::Accessory);
    app.run();
    return 0;
}
