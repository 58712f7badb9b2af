#include "Log.h"

#include <cstddef>
#include <type_traits>

namespace dusk {
namespace {

constexpr std::string_view subsystem = "app.dusk.Dusk";
constexpr std::string_view category = "hotkey";

// Property-list style: bare words stay bare, anything else is quoted.
bool needsQuotes(std::string_view text) {
    if (text.empty()) return true;
    for (const char c : text) {
        const bool bare = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                          c == '.' || c == '$' || c == '/';
        if (!bare) return true;
    }
    return false;
}

std::string quoted(std::string_view text) {
    if (!needsQuotes(text)) return std::string(text);
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out + '"';
}

std::string describeValue(const platform::Value& value) {
    return std::visit(
        [](const auto& v) -> std::string {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::string>) {
                return quoted(v);
            } else if constexpr (std::is_same_v<T, bool>) {
                return v ? "1" : "0";
            } else {
                return quoted(std::to_string(v));
            }
        },
        value);
}

std::string render(const LogArgument& argument, bool asBoolean) {
    return std::visit(
        [asBoolean](const auto& v) -> std::string {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::string>) {
                return v;
            } else if constexpr (std::is_same_v<T, platform::Dictionary>) {
                return describe(v);
            } else if constexpr (std::is_same_v<T, bool>) {
                if (asBoolean) return v ? "true" : "false";
                return v ? "1" : "0";
            } else {
                return std::to_string(v);
            }
        },
        argument);
}

}  // namespace

std::string describe(const platform::Dictionary& dictionary) {
    std::string out = "{\n";
    for (const auto& [key, value] : dictionary) out += "    " + quoted(key) + " = " + describeValue(value) + ";\n";
    return out + "}";
}

std::string renderLogLine(std::string_view format, std::initializer_list<LogArgument> arguments) {
    std::string out;
    const auto* next = arguments.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 >= format.size()) {
            out += format[i];
            continue;
        }
        if (format[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        std::string_view annotation;
        std::size_t conversion = i + 1;
        if (format[conversion] == '{') {
            const auto close = format.find('}', conversion);
            if (close == std::string_view::npos) {
                out += format.substr(i);
                break;
            }
            annotation = format.substr(conversion + 1, close - conversion - 1);
            conversion = close + 1;
        }
        if (conversion >= format.size()) {
            out += format.substr(i);
            break;
        }
        if (next == arguments.end()) {
            out += "<missing>";
        } else {
            out += render(*next++, annotation.find("bool") != std::string_view::npos);
        }
        i = conversion;
    }
    return out;
}

Log::Log() : logger_(std::string(subsystem), std::string(category)) {}

void Log::notice(std::string_view format, std::initializer_list<LogArgument> arguments) const {
    logger_.log(platform::LogLevel::Default, renderLogLine(format, arguments));
}

void Log::error(std::string_view format, std::initializer_list<LogArgument> arguments) const {
    logger_.log(platform::LogLevel::Error, renderLogLine(format, arguments));
}

const Log& log() {
    static const Log instance;
    return instance;
}

}  // namespace dusk
