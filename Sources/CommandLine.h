// What the user can ask of Dusk without its menu: a command, carried out
// through the same toggle as the menu's, that ends with an exit status.
#pragma once

#include <optional>
#include <ostream>
#include <span>
#include <string_view>

namespace dusk {

class CommandLine final {
public:
    CommandLine() = delete;

    // Exit statuses, as shells and scripts read them.
    static constexpr int success = 0;
    static constexpr int failure = 1;
    static constexpr int usageError = 2;

    // Carries out the command the arguments name (the program's name not
    // among them), writing answers to `out` and failures to `err`, and
    // answers the exit status. None when there is no command: Dusk is to
    // start in the menu bar.
    static std::optional<int> run(std::span<const std::string_view> arguments, std::ostream& out, std::ostream& err);
};

}  // namespace dusk
