#include "ToggleScript.h"

#include <array>
#include <type_traits>

#include "platform/Log.h"

namespace platform::mac {
namespace {

static_assert(toggleScript.size() == 125, "System Events is sent exactly this script");

// Foundation's NSAppleScriptErrorNumber and NSAppleScriptErrorMessage are
// these very strings.
constexpr std::string_view errorNumberKey = "NSAppleScriptErrorNumber";
constexpr std::string_view errorMessageKey = "NSAppleScriptErrorMessage";
// The answer when the user has not let Dusk send Apple events to System Events.
constexpr std::int64_t automationNotPermitted = -1743;

template <typename T>
const T* entry(const ScriptErrorInfo& info, std::string_view key) {
    const auto found = info.find(key);
    return found == info.end() ? nullptr : std::get_if<T>(&found->second);
}

bool isAsciiAlphanumeric(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// The next code point of UTF-8 text, moving past it. A byte that starts no
// valid sequence stands for itself, as Latin-1 would read it.
char32_t nextCodePoint(std::string_view text, std::size_t& at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0x80         ? 1
                               : lead >> 5 == 0x6  ? 2
                               : lead >> 4 == 0xE  ? 3
                               : lead >> 3 == 0x1E ? 4
                                                   : 0;
    if (length <= 1 || at + length > text.size()) {
        ++at;
        return lead;
    }
    char32_t codePoint = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto continuation = static_cast<unsigned char>(text[at + i]);
        if (continuation >> 6 != 0x2) {
            ++at;
            return lead;
        }
        codePoint = codePoint << 6 | (continuation & 0x3F);
    }
    at += length;
    return codePoint;
}

void appendUnicodeEscape(std::string& out, char32_t unit) {
    constexpr std::array<char, 16> hex{'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};
    out += "\\U";
    for (int shift = 12; shift >= 0; shift -= 4) out += hex[(unit >> shift) & 0xF];
}

std::string quoted(std::string_view text) {
    bool bare = !text.empty();
    for (const char c : text) bare = bare && isAsciiAlphanumeric(c);
    if (bare) return std::string(text);
    std::string out = "\"";
    for (std::size_t at = 0; at < text.size();) {
        const char32_t codePoint = nextCodePoint(text, at);
        if (codePoint == '"' || codePoint == '\\') {
            out += '\\';
            out += static_cast<char>(codePoint);
        } else if (codePoint == '\n') {
            out += "\\n";
        } else if (codePoint < 0x80) {
            out += static_cast<char>(codePoint);
        } else if (codePoint < 0x10000) {
            appendUnicodeEscape(out, codePoint);
        } else {
            appendUnicodeEscape(out, 0xD800 + ((codePoint - 0x10000) >> 10));
            appendUnicodeEscape(out, 0xDC00 + ((codePoint - 0x10000) & 0x3FF));
        }
    }
    return out + '"';
}

std::string describeValue(const ScriptErrorValue& value) {
    return std::visit(
        [](const auto& v) -> std::string {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::string>) {
                return quoted(v);
            } else if constexpr (std::is_same_v<T, bool>) {
                return v ? "1" : "0";
            } else if constexpr (std::is_same_v<T, Description>) {
                return quoted(v.text);
            } else {
                // A negative number is quoted like any text with a minus sign.
                return quoted(std::to_string(v));
            }
        },
        value);
}

AppearanceFailure failureOf(const ScriptErrorInfo& info) {
    const auto* number = entry<std::int64_t>(info, errorNumberKey);
    const auto* message = entry<std::string>(info, errorMessageKey);
    const std::int64_t errorNumber = number != nullptr ? *number : 0;
    return {errorNumber == automationNotPermitted,
            (message != nullptr ? *message : std::string("Unknown error")) + " (" + std::to_string(errorNumber) + ")"};
}

}  // namespace

std::string describe(const ScriptErrorInfo& info) {
    std::string out = "{\n";
    for (const auto& [key, value] : info) out += "    " + quoted(key) + " = " + describeValue(value) + ";\n";
    return out + "}";
}

void finishToggle(const std::optional<ScriptErrorInfo>& errorInfo, const Appearance::Done& done) {
    if (errorInfo) writeLog(LogLevel::Error, "AppleScript failed: " + describe(*errorInfo));
    if (!done) return;
    if (errorInfo) return done(failureOf(*errorInfo));
    done(std::nullopt);
}

void failToMakeScript(const Appearance::Done& done) {
    // Without a script there is no error dictionary to log; the user still
    // hears that nothing changed.
    if (done) done(AppearanceFailure{false, "The script that asks System Events to switch could not be made."});
}

}  // namespace platform::mac
