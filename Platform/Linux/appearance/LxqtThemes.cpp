#include "appearance/LxqtThemes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <memory>
#include <optional>
#include <utility>

#include "appearance/GnomeColorScheme.h"
#include "appearance/LxqtPalette.h"
#include "common/Installation.h"
#include "common/Log.h"

namespace dusk::backend::lxqt {
namespace {

QString configFile(const char* name) {
    return QString::fromStdString(configHome()) + QStringLiteral("/lxqt/") + QString::fromLatin1(name);
}

// LXQt's reading of its own settings: the user's file, then the ones the
// system gives every user.
QString lxqtValue(const QString& key) {
    QStringList files{configFile("lxqt.conf")};
    for (const QString& folder : QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation)) {
        files << folder + QStringLiteral("/lxqt/lxqt.conf");
    }
    for (const QString& folder : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
        files << folder + QStringLiteral("/lxqt/lxqt.conf");
    }
    for (const QString& file : files) {
        const QSettings settings(file, QSettings::IniFormat);
        if (settings.contains(key)) return settings.value(key).toString();
    }
    return {};
}

// lxqt.conf as LXQt writes it: through QSettings, whose save replaces the
// file whole.
SideTracker::Failure setLxqtValue(const QString& key, const QString& value) {
    const QString file = configFile("lxqt.conf");
    QDir().mkpath(QFileInfo(file).path());
    QSettings settings(file, QSettings::IniFormat);
    settings.setValue(key, value);
    settings.sync();
    if (settings.status() == QSettings::NoError) return std::nullopt;
    return file.toStdString() + " could not be saved" +
           (settings.status() == QSettings::FormatError ? ": it is not an INI file." : ".");
}

bool lxqtThemeInstalled(const std::string& theme) {
    return !theme.empty() && theme.find('/') == std::string::npos &&
           !QStandardPaths::locate(QStandardPaths::GenericDataLocation,
                                   QStringLiteral("lxqt/themes/") + QString::fromStdString(theme),
                                   QStandardPaths::LocateDirectory)
                .isEmpty();
}

// Each change of lxqt.conf, saved in place or replaced by a new file.
void watchLxqtConf(std::function<void()> changed) {
    auto* watcher = new QFileSystemWatcher(QCoreApplication::instance());
    const QString file = configFile("lxqt.conf");
    QDir().mkpath(QFileInfo(file).path());
    watcher->addPath(QFileInfo(file).path());
    if (QFile::exists(file)) watcher->addPath(file);
    const auto react = [watcher, file, changed = std::move(changed)] {
        // A replaced file is watched afresh.
        if (QFile::exists(file) && !watcher->files().contains(file)) watcher->addPath(file);
        changed();
    };
    QObject::connect(watcher, &QFileSystemWatcher::fileChanged, watcher, react);
    QObject::connect(watcher, &QFileSystemWatcher::directoryChanged, watcher, react);
}

// A file's whole text, or none where there is no file.
std::optional<QByteArray> contents(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return file.readAll();
}

SideTracker::Failure save(const QString& path, const QByteArray& text) {
    QDir().mkpath(QFileInfo(path).path());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) < 0 || !file.commit()) {
        return path.toStdString() + " could not be saved: " + file.errorString().toStdString();
    }
    return std::nullopt;
}

// The `name = value` line of a GTK settings file rewritten in place, the
// rest of the file kept; the line added where there was none.
QByteArray withGtkLine(const QByteArray& before, const QString& name, const QString& value, bool quoted,
                       const QString& section) {
    const QString text = QString::fromUtf8(before);
    QStringList lines = text.split(u'\n');
    const QString line = name + QStringLiteral(" = ") + (quoted ? u'"' + value + u'"' : value);
    bool found = false;
    for (QString& each : lines) {
        if (each.trimmed().startsWith(name) && each.contains(u'=')) {
            each = line;
            found = true;
        }
    }
    if (!found) {
        if (!section.isEmpty() && !text.contains(section)) lines.insert(0, section);
        const auto at = section.isEmpty() ? 0 : lines.indexOf(section) + 1;
        lines.insert(at, line);
    }
    return lines.join(u'\n').toUtf8();
}

QString gtk3Settings() { return QString::fromStdString(configHome()) + QStringLiteral("/gtk-3.0/settings.ini"); }

QString gtk2Settings() {
    const QString files = qEnvironmentVariable("GTK2_RC_FILES");
    return files.isEmpty() ? QDir::homePath() + QStringLiteral("/.gtkrc-2.0") : files.split(u':').front();
}

// GTK 3's file and GTK 2's, both or neither: GTK 3's goes back to what it
// was when GTK 2's cannot be saved.
SideTracker::Failure setGtkTheme(const QString& theme) {
    const QString name = QStringLiteral("gtk-theme-name");
    const auto gtk3Before = contents(gtk3Settings());
    if (auto failure = save(gtk3Settings(),
                            withGtkLine(gtk3Before.value_or(""), name, theme, false, QStringLiteral("[Settings]")))) {
        return failure;
    }
    auto failure = save(gtk2Settings(), withGtkLine(contents(gtk2Settings()).value_or(""), name, theme, true, {}));
    if (failure) {
        const bool putBack = gtk3Before ? !save(gtk3Settings(), *gtk3Before) : QFile::remove(gtk3Settings());
        if (!putBack) logError(gtk3Settings().toStdString() + " could not be put back as it was.");
    }
    return failure;
}

}  // namespace

std::vector<ThemeSetting> themeSettings() {
    // QSettings reads the [General] section as keys without a group.
    const QString themeKey = QStringLiteral("theme");
    std::vector<ThemeSetting> settings{
        {.what = "LXQt theme",
         .id = "theme in " + configFile("lxqt.conf").toStdString(),
         .read = [themeKey](
                     const ThemeSetting::Read& answered) { answered(lxqtValue(themeKey).toStdString(), std::nullopt); },
         .write =
             [themeKey](const std::string& theme, const SideTracker::Landed& landed) {
                 landed(setLxqtValue(themeKey, QString::fromStdString(theme)));
             },
         .installed = lxqtThemeInstalled,
         .follow =
             [themeKey](ThemeSetting::Changed changed) {
                 auto last = std::make_shared<QString>(lxqtValue(themeKey));
                 watchLxqtConf([themeKey, last, changed = std::move(changed)] {
                     const QString now = lxqtValue(themeKey);
                     if (now == *last) return;
                     *last = now;
                     changed(now.toStdString());
                 });
             }},
        paletteSetting(configFile("lxqt.conf"))};
    // Off unless the user turned it on in LXQt's appearance settings.
    const QSettings appearance(configFile("lxqt-config-appearance.conf"), QSettings::IniFormat);
    if (!appearance.value(QStringLiteral("ControlGTKThemeEnabled")).toBool()) return settings;
    settings.push_back(
        {.what = "GTK theme",
         .id = "gtk-theme-name in " + gtk3Settings().toStdString(),
         .read =
             [](const ThemeSetting::Read& answered) {
                 const QSettings gtk(gtk3Settings(), QSettings::IniFormat);
                 const QString theme = gtk.value(QStringLiteral("Settings/gtk-theme-name")).toString();
                 if (!theme.isEmpty()) return answered(theme.toStdString(), std::nullopt);
                 answered(gsettings::read(gnome::gtkTheme).value_or("Adwaita"), std::nullopt);
             },
         // Where lxqt-config-appearance writes it: GTK 3's and GTK 2's
         // settings files, and GNOME's key, which GTK reads on Wayland.
         .key = gnome::gtkTheme,
         .write = [](const std::string& theme,
                     const SideTracker::Landed& landed) { landed(setGtkTheme(QString::fromStdString(theme))); },
         .installed = installedForGtk()});
    return settings;
}

}  // namespace dusk::backend::lxqt
