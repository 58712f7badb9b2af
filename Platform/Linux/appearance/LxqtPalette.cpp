#include "appearance/LxqtPalette.h"

#include <QColor>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

#include "common/Log.h"

namespace dusk::backend::lxqt {
namespace {

const QString group = QStringLiteral("Palette");

// The section as one line, its keys in order; colours hold no ';'.
std::string sectionOf(const QString& file) {
    QSettings settings(file, QSettings::IniFormat);
    settings.beginGroup(group);
    QStringList keys = settings.childKeys();
    keys.sort();
    QStringList pairs;
    for (const QString& key : keys) pairs << key + u'=' + settings.value(key).toString();
    return pairs.join(u';').toStdString();
}

SideTracker::Failure setSection(const QString& file, const std::string& line) {
    QSettings settings(file, QSettings::IniFormat);
    settings.remove(group);
    for (const QString& pair : QString::fromStdString(line).split(u';', Qt::SkipEmptyParts)) {
        const auto equals = pair.indexOf(u'=');
        if (equals > 0) settings.setValue(group + u'/' + pair.left(equals), pair.mid(equals + 1));
    }
    settings.sync();
    if (settings.status() == QSettings::NoError) return std::nullopt;
    return file.toStdString() + " could not be saved.";
}

// A palette is dark when its windows are: how LXQt's own palettes differ.
bool isDark(const std::string& line) {
    for (const QString& pair : QString::fromStdString(line).split(u';')) {
        if (pair.startsWith(QStringLiteral("window_color="))) {
            return QColor(pair.mid(pair.indexOf(u'=') + 1)).lightnessF() < 0.5;
        }
    }
    return false;  // no palette: Qt's own, which is light
}

// The Dark palette LXQt ships (lxqt-themes), where it is installed.
std::optional<std::string> lxqtDarkPalette() {
    const QString file =
        QStandardPaths::locate(QStandardPaths::GenericDataLocation, QStringLiteral("lxqt/palettes/Dark"));
    if (file.isEmpty()) return std::nullopt;
    return sectionOf(file);
}

ThemeChoice choosePalette(const ThemeSituation& situation, bool dark) {
    using Kind = ThemeChoice::Kind;
    const std::string& current = situation.current;
    if (!dark && situation.remembered && situation.remembered->dark == current) {
        return {Kind::Switch, situation.remembered->light};
    }
    if (isDark(current) == dark) return {Kind::Keep, current};
    if (!dark) return {Kind::Switch, {}};  // LXQt's default, Qt's own light palette
    if (auto palette = lxqtDarkPalette()) return {Kind::Switch, *palette};
    logNotice("LXQt's Dark palette (lxqt/palettes/Dark, from lxqt-themes) is not installed: the palette stays.");
    return {Kind::Keep, current};
}

}  // namespace

ThemeSetting paletteSetting(const QString& file) {
    return {
        .what = "LXQt palette",
        .id = "Palette in " + file.toStdString(),
        .read = [file](const ThemeSetting::Read& answered) { answered(sectionOf(file), std::nullopt); },
        .write = [file](const std::string& line, const SideTracker::Landed& landed) { landed(setSection(file, line)); },
        .choose = choosePalette};
}

}  // namespace dusk::backend::lxqt
