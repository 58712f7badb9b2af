#include "CommandLine.h"

#include "AppearanceToggler.h"
#include "platform/Session.h"

namespace dusk {
namespace {

using Finish = platform::Session::Finish;

constexpr std::string_view usage =
    "Usage: dusk [COMMAND]\n"
    "\n"
    "Without a command, Dusk starts in the menu bar.\n"
    "\n"
    "Commands:\n"
    "  toggle     switch between Light and Dark\n"
    "  dark       switch to Dark (nothing to do when it is Dark already)\n"
    "  light      switch to Light (nothing to do when it is Light already)\n"
    "  status     print \"dark\" or \"light\"\n"
    "  --help     print this help\n"
    "  --version  print Dusk's version\n";

void toggle(std::ostream& err, const Finish& finish) {
    AppearanceToggler::toggleReportingFailure([&err, finish](const std::optional<std::string>& failure) {
        if (!failure) return finish(CommandLine::success);
        err << "dusk: " << *failure << '\n';
        finish(CommandLine::failure);
    });
}

// Only a change is a toggle: asking for what already is succeeds quietly.
void switchTo(bool dark, std::ostream& err, const Finish& finish) {
    if (AppearanceToggler::isDarkMode() == dark) return finish(CommandLine::success);
    toggle(err, finish);
}

void status(std::ostream& out, const Finish& finish) {
    out << (AppearanceToggler::isDarkMode() ? "dark" : "light") << '\n';
    finish(CommandLine::success);
}

int help(std::ostream& out) {
    out << usage;
    return CommandLine::success;
}

int version(std::ostream& out) {
    out << "Dusk " << DUSK_VERSION << '\n';
    return CommandLine::success;
}

// Names what went wrong, then shows what would have been right.
int refuse(std::string_view problem, std::string_view argument, std::ostream& err) {
    err << "dusk: " << problem << " '" << argument << "'\n\n" << usage;
    return CommandLine::usageError;
}

}  // namespace

std::optional<int> CommandLine::run(std::span<const std::string_view> arguments, std::ostream& out, std::ostream& err) {
    if (arguments.empty()) return std::nullopt;
    const std::string_view command = arguments.front();
    // LaunchServices once passed a process serial number to applications it
    // opened; such a launch is a start in the menu bar, not a command.
    if (arguments.size() == 1 && command.starts_with("-psn_")) return std::nullopt;
    if (arguments.size() > 1) return refuse("unexpected argument", arguments[1], err);
    if (command == "--help" || command == "-h") return help(out);
    if (command == "--version") return version(out);
    // The rest ask the desktop, whose answers may come later.
    if (command == "toggle")
        return platform::Session::runCommand([&err](const Finish& finish) { toggle(err, finish); });
    if (command == "dark") return platform::Session::runCommand([&err](const Finish& f) { switchTo(true, err, f); });
    if (command == "light") return platform::Session::runCommand([&err](const Finish& f) { switchTo(false, err, f); });
    if (command == "status")
        return platform::Session::runCommand([&out](const Finish& finish) { status(out, finish); });
    return refuse("unknown command", command, err);
}

}  // namespace dusk
