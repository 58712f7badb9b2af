#include "CommandLine.h"

#include "AppearanceToggler.h"

namespace dusk {
namespace {

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

int toggle(std::ostream& err) {
    if (const auto failure = AppearanceToggler::toggleReportingFailure()) {
        err << "dusk: " << *failure << '\n';
        return CommandLine::failure;
    }
    return CommandLine::success;
}

// Only a change is a toggle: asking for what already is succeeds quietly.
int switchTo(bool dark, std::ostream& err) {
    return AppearanceToggler::isDarkMode() == dark ? CommandLine::success : toggle(err);
}

int status(std::ostream& out) {
    out << (AppearanceToggler::isDarkMode() ? "dark" : "light") << '\n';
    return CommandLine::success;
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
    if (command == "toggle") return toggle(err);
    if (command == "dark") return switchTo(true, err);
    if (command == "light") return switchTo(false, err);
    if (command == "status") return status(out);
    if (command == "--help" || command == "-h") return help(out);
    if (command == "--version") return version(out);
    return refuse("unknown command", command, err);
}

}  // namespace dusk
