// The part of AppleScript that System Events' appearance preferences
// understand: nested tell blocks and "set dark mode to ...". Free of Qt and
// GLib so that it can be fuzzed on its own.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace dusk::backend {

enum class DarkModeChange { Toggle, Dark, Light };

struct ScriptError {
    std::int64_t number = 0;
    std::string message;
};

// The changes a script makes, in order, or the error the script runner
// reports for it.
using ParsedScript = std::variant<std::vector<DarkModeChange>, ScriptError>;

ParsedScript parseScript(std::string_view source);

// The runner's error numbers.
inline constexpr std::int64_t syntaxError = -2741;        // errOSASyntaxError
inline constexpr std::int64_t noSuchObjectError = -1728;  // errAENoSuchObject
inline constexpr std::int64_t writeDeniedError = -10006;  // errAEWriteDenied
inline constexpr std::int64_t eventFailedError = -10000;  // errAEEventFailed

}  // namespace dusk::backend
