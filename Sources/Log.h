// The application's one logger. Dusk renders its Apple-style format strings
// itself, so every platform receives the same finished text.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

#include "platform/Foundation.h"

namespace dusk {

// One argument per placeholder: %{public}d, %{public}u, %{public}s,
// %{public}@ (an object, written by its description) and %{bool,public}d.
using LogArgument = std::variant<std::int32_t, std::uint32_t, std::string, bool, platform::Dictionary>;

// Renders a dictionary the way the platform describes one, keys sorted.
std::string describe(const platform::Dictionary& dictionary);

std::string renderLogLine(std::string_view format, std::initializer_list<LogArgument> arguments);

class Log final {
public:
    Log();
    void notice(std::string_view format, std::initializer_list<LogArgument> arguments = {}) const;
    void error(std::string_view format, std::initializer_list<LogArgument> arguments = {}) const;

private:
    platform::Logger logger_;
};

// Created on first use, once, whichever thread gets there first.
const Log& log();

}  // namespace dusk
