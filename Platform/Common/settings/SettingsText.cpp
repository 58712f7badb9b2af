// The settings file's text, the same on every desktop: read and written
// here, stored by each backend in its own way (SettingsFile.h).
#include <charconv>

#include "settings/SettingsFile.h"

namespace dusk::backend {
namespace {

// A line's blanks; lines end at '\n', a file edited elsewhere may add '\r'.
constexpr std::string_view blanks = " \t\r";

bool validKey(std::string_view key) {
    if (key.empty()) return false;
    for (const char c : key) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                        c == '.' || c == '-';
        if (!ok) return false;
    }
    return true;
}

}  // namespace

std::string_view trim(std::string_view text, std::string_view characters) {
    const auto first = text.find_first_not_of(characters);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(characters) - first + 1);
}

std::optional<SettingsValues> parseSettings(std::string_view text) {
    SettingsValues values;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const auto line = trim(text.substr(0, end), blanks);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty() || line.front() == '#') continue;
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) return std::nullopt;
        const auto key = trim(line.substr(0, equals), blanks);
        const auto number = trim(line.substr(equals + 1), blanks);
        if (!validKey(key) || number.empty()) return std::nullopt;
        std::int64_t value = 0;
        const auto [rest, error] = std::from_chars(number.data(), number.data() + number.size(), value);
        if (error != std::errc() || rest != number.data() + number.size()) return std::nullopt;
        if (!values.emplace(std::string(key), value).second) return std::nullopt;
    }
    return values;
}

std::string formatSettings(std::string_view previous, const SettingsValues& values) {
    std::string out = previous.empty() ? "# Dusk's settings. Each line is key=signed 64-bit integer.\n" : "";
    SettingsValues unwritten = values;
    while (!previous.empty()) {
        const auto end = previous.find('\n');
        const auto line = previous.substr(0, end);
        previous.remove_prefix(end == std::string_view::npos ? previous.size() : end + 1);
        const auto body = trim(line, blanks);
        const auto equals = body.starts_with('#') ? std::string_view::npos : body.find('=');
        const auto found =
            equals == std::string_view::npos ? unwritten.end() : unwritten.find(trim(body.substr(0, equals), blanks));
        if (found == unwritten.end()) {
            out += std::string(line) + "\n";
            continue;
        }
        out += found->first + "=" + std::to_string(found->second) + "\n";
        unwritten.erase(found);
    }
    for (const auto& [key, value] : unwritten) out += key + "=" + std::to_string(value) + "\n";
    return out;
}

}  // namespace dusk::backend
