#include "appearance/ThemePairing.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace dusk::backend {
namespace {

bool endsWith(std::string_view text, std::string_view ending) {
    return text.size() >= ending.size() && text.substr(text.size() - ending.size()) == ending;
}

bool equalsIgnoringCase(std::string_view first, std::string_view second) {
    return std::ranges::equal(first, second, [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
}

std::string_view trimmedSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

}  // namespace

bool looksDark(std::string_view theme) {
    return equalsIgnoringCase(theme, "dark") ||
           (theme.size() > 5 && equalsIgnoringCase(theme.substr(theme.size() - 5), "-dark"));
}

std::vector<std::string> siblingNames(std::string_view theme, bool dark) {
    if (theme.empty()) return {};
    const std::string name(theme);
    // A pair named by its side alone, as LXQt's own themes are.
    if (name == "Light" || name == "light" || name == "Dark" || name == "dark") {
        if (dark == looksDark(name)) return {};
        const bool capital = name.front() == 'L' || name.front() == 'D';
        return {dark ? (capital ? "Dark" : "dark") : (capital ? "Light" : "light")};
    }
    if (dark) {
        for (const auto& [light, darkEnding] : {std::pair{"-Light", "-Dark"}, std::pair{"-light", "-dark"}}) {
            if (endsWith(theme, light)) {
                const std::string base = name.substr(0, name.size() - std::string_view(light).size());
                return {base + darkEnding, base + (darkEnding[1] == 'D' ? "-dark" : "-Dark")};
            }
        }
        return {name + "-dark", name + "-Dark"};
    }
    const std::string base = name.substr(0, name.size() - 5);
    if (endsWith(theme, "-Dark")) return {base + "-Light", base, base + "-light"};
    if (endsWith(theme, "-dark")) return {base, base + "-light", base + "-Light"};
    return {};
}

ThemeChoice chooseTheme(const ThemeSituation& situation, bool dark, const IsInstalled& installed) {
    using Kind = ThemeChoice::Kind;
    const std::string& current = situation.current;
    // What the user had before Dusk's own switch comes back exactly, whether
    // or not it follows any naming.
    if (!dark && situation.remembered && situation.remembered->dark == current) {
        return {Kind::Switch, situation.remembered->light};
    }
    for (const ThemePair& pair : situation.handWritten) {
        const std::string& from = dark ? pair.light : pair.dark;
        const std::string& to = dark ? pair.dark : pair.light;
        if (current == to) return {Kind::Keep, current};
        if (current == from)
            return installed(to) ? ThemeChoice{Kind::Switch, to} : ThemeChoice{Kind::NoSibling, current};
    }
    if (looksDark(current) == dark) return {Kind::Keep, current};
    for (const std::string& sibling : siblingNames(current, dark)) {
        if (installed(sibling)) return {Kind::Switch, sibling};
    }
    return {Kind::NoSibling, current};
}

std::vector<std::string> themeFolders(const std::function<std::optional<std::string>(const char*)>& environment) {
    // The XDG rules ignore a relative path, and an unset or empty variable
    // means the default.
    const auto absolute = [&](const char* name) -> std::optional<std::string> {
        auto value = environment(name);
        if (!value || value->empty() || value->front() != '/') return std::nullopt;
        return value;
    };
    std::vector<std::string> folders;
    const std::string home = environment("HOME").value_or("");
    folders.push_back(absolute("XDG_DATA_HOME").value_or(home + "/.local/share") + "/themes");
    folders.push_back(home + "/.themes");
    std::string dataDirs = environment("XDG_DATA_DIRS").value_or("");
    if (dataDirs.empty()) dataDirs = "/usr/local/share:/usr/share";
    for (std::size_t start = 0; start <= dataDirs.size();) {
        const std::size_t end = std::min(dataDirs.find(':', start), dataDirs.size());
        const std::string_view entry = std::string_view(dataDirs).substr(start, end - start);
        if (!entry.empty() && entry.front() == '/') folders.push_back(std::string(entry) + "/themes");
        start = end + 1;
    }
    return folders;
}

bool hasThemePart(const std::vector<std::string>& folders, const std::string& name, std::string_view part) {
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") return false;
    return std::ranges::any_of(folders, [&](const std::string& folder) {
        std::error_code error;
        return std::filesystem::is_directory(std::filesystem::path(folder) / name / part, error);
    });
}

std::vector<ThemePair> parseThemePairs(std::string_view text, std::vector<std::string>& problems) {
    std::vector<ThemePair> pairs;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = trimmedSpaces(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
        if (line.empty() || line.front() == '#') continue;
        const std::size_t equals = line.find('=');
        const std::string_view light = equals == std::string_view::npos ? "" : trimmedSpaces(line.substr(0, equals));
        const std::string_view dark = equals == std::string_view::npos ? "" : trimmedSpaces(line.substr(equals + 1));
        if (light.empty() || dark.empty() || light == dark) {
            problems.emplace_back(line);
            continue;
        }
        pairs.push_back({std::string(light), std::string(dark)});
    }
    return pairs;
}

}  // namespace dusk::backend
