// What Dusk asks of System Events to switch the appearance, and what its
// answers mean. Plain C++, so that the reading of every answer is tested off
// a Mac; Appearance.mm runs the script and hands the answer over.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "platform/Appearance.h"

namespace platform::mac {

// System Events flips its own setting: the script decides nothing.
inline constexpr std::string_view toggleScript =
    "tell application \"System Events\"\n"
    "    tell appearance preferences\n"
    "        set dark mode to not dark mode\n"
    "    end tell\n"
    "end tell";

// Any object in the dictionary that is not text or a whole number or a
// Boolean, as Foundation describes it (a range, a fraction, an error).
struct Description {
    std::string text;
};
using ScriptErrorValue = std::variant<std::string, std::int64_t, bool, Description>;

// The error-information dictionary that NSAppleScript fills when a script
// fails, by its text keys.
using ScriptErrorInfo = std::map<std::string, ScriptErrorValue, std::less<>>;

// The dictionary in the words Foundation's own description uses, as the
// unified log shows an object: keys in order, one entry a line, text quoted
// unless it is all ASCII letters and digits, anything beyond ASCII as \U
// escapes of its UTF-16 units.
std::string describe(const ScriptErrorInfo& info);

// Ends a toggle whose script ran, with the dictionary it filled, if any: a
// failure is logged and reported, success is reported as none.
void finishToggle(const std::optional<ScriptErrorInfo>& errorInfo, const Appearance::Done& done);

// Ends a toggle whose script could not even be made.
void failToMakeScript(const Appearance::Done& done);

}  // namespace platform::mac
