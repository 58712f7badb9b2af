#include "appearance/ThemeMemory.h"

#include <QCoreApplication>
#include <QString>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "common/Installation.h"
#include "common/Log.h"
#include "common/Notification.h"
#include "settings/SettingsFile.h"

namespace dusk::backend::themes {
namespace {

std::string stateFolder() { return stateHome() + "/dusk"; }
std::string rememberedFile() { return stateFolder() + "/light-themes"; }
std::string toldFile() { return stateFolder() + "/no-sibling-notified"; }
std::string pairsFile() { return configHome() + "/dusk/themes.conf"; }

// The file's lines; none where what is there is no list (a FIFO, a device,
// a huge file), which is then neither read nor written.
std::optional<std::vector<std::string>> lines(const std::string& path) {
    std::string problem;
    const auto text = readRegularFile(path, problem);
    if (!problem.empty()) {
        logError(path + " is ignored: " + problem);
        return std::nullopt;
    }
    std::vector<std::string> found;
    std::string_view rest = text ? std::string_view(*text) : std::string_view();
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find('\n'), rest.size());
        if (end > 0) found.emplace_back(rest.substr(0, end));
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    return found;
}

void save(const std::string& path, const std::vector<std::string>& all) {
    std::string text;
    for (const auto& line : all) text += line + "\n";
    if (!makeDirectories(stateFolder()) || !writeFileAtomically(path, text)) {
        logError(path + " could not be saved: " + std::strerror(errno));
    }
}

// One remembered pair a line: the setting, the light theme and the dark
// one, separated by tabs, which no theme's name holds.
constexpr char separator = '\t';

}  // namespace

std::optional<ThemePair> remembered(const std::string& setting) {
    for (const auto& line : lines(rememberedFile()).value_or(std::vector<std::string>{})) {
        const std::size_t first = line.find(separator), second = line.rfind(separator);
        if (first == std::string::npos || first == second || line.substr(0, first) != setting) continue;
        return ThemePair{line.substr(first + 1, second - first - 1), line.substr(second + 1)};
    }
    return std::nullopt;
}

void remember(const std::string& setting, const ThemePair& pair) {
    auto all = lines(rememberedFile());
    if (!all) return;
    std::erase_if(*all, [&](const std::string& line) { return line.starts_with(setting + separator); });
    all->push_back(setting + separator + pair.light + separator + pair.dark);
    save(rememberedFile(), *all);
}

std::vector<ThemePair> handWritten() {
    std::string problem;
    const auto text = readRegularFile(pairsFile(), problem);
    if (!problem.empty()) logError(pairsFile() + " is ignored: " + problem);
    if (!text) return {};
    std::vector<std::string> problems;
    auto pairs = parseThemePairs(*text, problems);
    for (const auto& line : problems) {
        logError(pairsFile() + ": the line “" + line + "” is not “light theme = dark theme”; it is ignored");
    }
    return pairs;
}

void tellNoSibling(const std::string& what, const std::string& theme, bool dark) {
    const std::string side = dark ? "dark" : "light";
    const std::string named = theme.empty() ? "The default " + what : "The " + what + " “" + theme + "”";
    const std::string words = named + " has no " + side + " version installed, so it stayed as it was. Install one (" +
                              (theme.empty() ? std::string("NAME-dark for NAME") : siblingNames(theme, dark).front()) +
                              "), or write the pair in " + pairsFile() + " as “light theme = dark theme”.";
    logNotice("switched to " + std::string(dark ? "Dark" : "Light") + " but for the " + what + ": " + words);
    const std::string told = what + separator + theme + separator + side;
    auto all = lines(toldFile());
    if (!all || std::ranges::find(*all, told) != all->end()) return;
    notify(QStringLiteral("Dusk could not switch the %1").arg(QString::fromStdString(what)),
           QString::fromStdString(words), QCoreApplication::instance(), [told](uint) {
               // Read again: another notice may have been saved meanwhile.
               auto now = lines(toldFile());
               if (!now || std::ranges::find(*now, told) != now->end()) return;
               now->push_back(told);
               save(toldFile(), *now);
           });
}

}  // namespace dusk::backend::themes
