#include "Log.h"

#include <cstddef>
#include <type_traits>

#include "platform/Log.h"

namespace dusk {
namespace {

std::string render(const LogArgument& argument, bool asBoolean) {
    return std::visit(
        [asBoolean](const auto& v) -> std::string {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::string>) {
                return v;
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

void Log::notice(std::string_view format, std::initializer_list<LogArgument> arguments) const {
    platform::writeLog(platform::LogLevel::Default, renderLogLine(format, arguments));
}

void Log::error(std::string_view format, std::initializer_list<LogArgument> arguments) const {
    platform::writeLog(platform::LogLevel::Error, renderLogLine(format, arguments));
}

const Log& log() {
    static const Log instance;
    return instance;
}

}  // namespace dusk
