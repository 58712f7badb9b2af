#include "appearance/PlasmaColorScheme.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRgb>
#include <QStandardPaths>
#include <QTimer>
#include <string>
#include <utility>

#include "common/BusSignal.h"
#include "common/Log.h"

namespace dusk::backend::plasma {
namespace {

const QString tool = QStringLiteral("plasma-apply-colorscheme");
// The tool starts Qt, reads every installed scheme and tells running
// programs over D-Bus: well under a second, several on a loaded machine.
// One that has not finished in 10 s is hung.
constexpr int toolDeadlineMilliseconds = 10000;

// The value of `key` in `[group]` of a KConfig file, where it has one.
std::optional<QString> entry(const QString& path, const QString& group, const QString& key) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return std::nullopt;
    const QString header = u'[' + group + u']';
    bool inGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'[')) {
            inGroup = line == header;
        } else if (inGroup && line.section(u'=', 0, 0).trimmed() == key) {
            return line.section(u'=', 1).trimmed();
        }
    }
    return std::nullopt;
}

// The window background of a scheme or of Plasma's settings: "R,G,B". Dark
// where its grey is below 192, the line Plasma's portal draws.
std::optional<bool> darkBackground(const QString& path) {
    const auto colour = entry(path, QStringLiteral("Colors:Window"), QStringLiteral("BackgroundNormal"));
    if (!colour) return std::nullopt;
    const QStringList parts = colour->split(u',');
    if (parts.size() < 3) return std::nullopt;
    return qGray(parts[0].toInt(), parts[1].toInt(), parts[2].toInt()) < 192;
}

std::string trimmed(const QByteArray& text) { return QString::fromLocal8Bit(text).trimmed().toStdString(); }

}  // namespace

std::optional<bool> prefersDark() {
    // Plasma writes the scheme's colours into kdeglobals when it applies one;
    // where it has not, the scheme named there, else Plasma's default, Breeze.
    const QStringList settings =
        QStandardPaths::locateAll(QStandardPaths::GenericConfigLocation, QStringLiteral("kdeglobals"));
    for (const QString& path : settings) {
        if (const auto dark = darkBackground(path)) return dark;
    }
    for (const QString& path : settings) {
        const auto scheme = entry(path, QStringLiteral("General"), QStringLiteral("ColorScheme"));
        if (!scheme || scheme->isEmpty()) continue;
        const QString file = QStandardPaths::locate(QStandardPaths::GenericDataLocation,
                                                    QStringLiteral("color-schemes/%1.colors").arg(*scheme));
        return darkBackground(file).value_or(false);
    }
    return false;
}

void follow(std::function<void(bool dark)> changed) {
    // KGlobalSettings' notifyChange, which Plasma sends (0: the palette) once
    // its settings file has the new colours.
    new BusSignal(QCoreApplication::instance(), {}, QStringLiteral("/KGlobalSettings"),
                  QStringLiteral("org.kde.KGlobalSettings"), QStringLiteral("notifyChange"),
                  [changed = std::move(changed)](const QDBusMessage& signal) {
                      if (signal.arguments().value(0).toInt() == 0) changed(prefersDark().value_or(false));
                  });
}

void write(bool dark, SideTracker::Landed landed) {
    const QString scheme = dark ? QStringLiteral("BreezeDark") : QStringLiteral("BreezeLight");
    const std::string name = tool.toStdString();
    if (QStandardPaths::findExecutable(tool).isEmpty()) {
        return landed(name + " is not installed (it comes with plasma-workspace).");
    }
    // Owned by the application: quitting kills a tool still running.
    auto* process = new QProcess(QCoreApplication::instance());
    auto environment = QProcessEnvironment::systemEnvironment();
    // The tool needs no window, and a command run over ssh has no display.
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process->setProcessEnvironment(environment);
    auto* deadline = new QTimer(process);
    deadline->setSingleShot(true);
    QObject::connect(deadline, &QTimer::timeout, process, &QProcess::kill);
    const auto finish = [process, landed = std::move(landed)](const SideTracker::Failure& failure) {
        process->disconnect();
        process->deleteLater();
        landed(failure);
    };
    QObject::connect(process, &QProcess::errorOccurred, process, [process, finish, name](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            finish(name + " could not be started: " + process->errorString().toStdString());
        }
    });
    QObject::connect(process, &QProcess::finished, process,
                     [process, deadline, finish, name, scheme](int exitCode, QProcess::ExitStatus status) {
                         const std::string noise = trimmed(process->readAllStandardError());
                         if (!noise.empty()) logNotice(name + " logged: " + noise);
                         if (status == QProcess::NormalExit && exitCode == 0) return finish(std::nullopt);
                         const std::string words = trimmed(process->readAllStandardOutput());
                         const std::string what = name + " " + scheme.toStdString();
                         if (!deadline->isActive() && status == QProcess::CrashExit) {
                             return finish(what + " did not finish within " +
                                           std::to_string(toolDeadlineMilliseconds / 1000) + " seconds.");
                         }
                         if (!words.empty()) return finish(what + " failed: " + words);
                         if (status == QProcess::CrashExit) return finish(what + " crashed.");
                         finish(what + " failed with exit status " + std::to_string(exitCode) + ".");
                     });
    process->start(tool, {scheme});
    deadline->start(toolDeadlineMilliseconds);
}

}  // namespace dusk::backend::plasma
