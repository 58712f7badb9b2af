// The application's one logger. Dusk writes its lines with the unified log's
// placeholders and renders them itself, so every platform's log receives the
// same finished text.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

namespace dusk {

// One argument per placeholder: %{public}d, %{public}u, %{public}s and
// %{bool,public}d.
using LogArgument = std::variant<std::int32_t, std::uint32_t, std::string, bool>;

std::string renderLogLine(std::string_view format, std::initializer_list<LogArgument> arguments);

class Log final {
public:
    void notice(std::string_view format, std::initializer_list<LogArgument> arguments = {}) const;
    void error(std::string_view format, std::initializer_list<LogArgument> arguments = {}) const;
};

const Log& log();

}  // namespace dusk
