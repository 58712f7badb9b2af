#include "settings/DesktopEntry.h"

namespace dusk::backend {

std::string execArgument(std::string_view argument) {
    std::string quoted = "\"";
    for (const char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        // A field code would be expanded even inside quotes.
        if (c == '%') quoted += '%';
        quoted += c;
    }
    quoted += '"';
    std::string value;
    for (const char c : quoted) {
        switch (c) {
            case '\\':
                value += "\\\\";
                break;
            case '\n':
                value += "\\n";
                break;
            case '\t':
                value += "\\t";
                break;
            case '\r':
                value += "\\r";
                break;
            default:
                value += c;
        }
    }
    return value;
}

std::map<std::string, std::string> desktopEntryKeys(std::string_view text) {
    std::map<std::string, std::string> keys;
    bool inMainGroup = false;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        // An entry written on another system may end its lines with CRLF.
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        if (line.front() == '[') {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        const auto equals = line.find('=');
        if (!inMainGroup || equals == std::string_view::npos) continue;
        auto key = line.substr(0, equals);
        while (!key.empty() && key.back() == ' ') key.remove_suffix(1);
        auto raw = line.substr(equals + 1);
        while (!raw.empty() && raw.front() == ' ') raw.remove_prefix(1);
        std::string value;
        for (std::size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] != '\\' || i + 1 == raw.size()) {
                value += raw[i];
                continue;
            }
            switch (raw[++i]) {
                case 's':
                    value += ' ';
                    break;
                case 'n':
                    value += '\n';
                    break;
                case 't':
                    value += '\t';
                    break;
                case 'r':
                    value += '\r';
                    break;
                default:
                    value += raw[i];
            }
        }
        keys.insert_or_assign(std::string(key), std::move(value));
    }
    return keys;
}

std::string execProgram(std::string_view exec) {
    while (exec.starts_with(' ')) exec.remove_prefix(1);
    const bool quoted = exec.starts_with('"');
    std::string program;
    for (std::size_t i = quoted ? 1 : 0; i < exec.size(); ++i) {
        if (quoted ? exec[i] == '"' : exec[i] == ' ') break;
        if ((quoted && exec[i] == '\\') || (exec[i] == '%' && i + 1 < exec.size() && exec[i + 1] == '%')) {
            if (++i == exec.size()) break;
        }
        program += exec[i];
    }
    return program;
}

std::string autostartEntry(std::string_view program) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Dusk\n"
           "Comment=Switch between Light and Dark appearance\n"
           "Exec=" +
           execArgument(program) +
           "\n"
           "Icon=dusk-moon-symbolic\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

std::optional<std::string> pointedAt(std::string_view entry, std::string_view program) {
    std::string rewritten;
    bool found = false;
    while (!entry.empty()) {
        const auto end = entry.find('\n');
        const std::string_view line = entry.substr(0, end == std::string_view::npos ? entry.size() : end + 1);
        entry.remove_prefix(line.size());
        constexpr std::string_view exec = "Exec=dusk";
        const bool startsDusk = line.starts_with(exec) &&
                                (line.size() == exec.size() || line[exec.size()] == ' ' || line[exec.size()] == '\n');
        if (!startsDusk) {
            rewritten += line;
            continue;
        }
        found = true;
        rewritten += "Exec=" + execArgument(program);
        rewritten += line.substr(exec.size());
    }
    if (!found) return std::nullopt;
    return rewritten;
}

}  // namespace dusk::backend
