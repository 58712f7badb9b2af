#include "appearance/PlasmaColorScheme.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <string>
#include <utility>

#include "common/Log.h"

namespace dusk::backend {
namespace {

const QString tool = QStringLiteral("plasma-apply-colorscheme");

// The tool starts Qt, reads every installed scheme and tells running
// programs over D-Bus: well under a second, several on a loaded machine.
// One that has not finished in 10 s is hung.
constexpr int deadlineMilliseconds = 10000;

std::string trimmed(const QByteArray& text) { return QString::fromLocal8Bit(text).trimmed().toStdString(); }

}  // namespace

bool onPlasma() {
    const QString desktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
    return desktop.split(u':').contains(QStringLiteral("KDE"), Qt::CaseInsensitive);
}

void applyPlasmaScheme(bool dark, std::function<void(const std::optional<std::string>& failure)> applied) {
    const QString scheme = dark ? QStringLiteral("BreezeDark") : QStringLiteral("BreezeLight");
    if (QStandardPaths::findExecutable(tool).isEmpty()) {
        return applied(tool.toStdString() + " is not installed (it comes with plasma-workspace).");
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
    const auto finish = [process, applied = std::move(applied)](const std::optional<std::string>& failure) {
        process->disconnect();
        process->deleteLater();
        applied(failure);
    };
    QObject::connect(process, &QProcess::errorOccurred, process, [process, finish](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            finish(tool.toStdString() + " could not be started: " + process->errorString().toStdString());
        }
    });
    QObject::connect(process, &QProcess::finished, process,
                     [process, deadline, finish, scheme](int exitCode, QProcess::ExitStatus status) {
                         const std::string noise = trimmed(process->readAllStandardError());
                         if (!noise.empty()) logNotice(tool.toStdString() + " logged: " + noise);
                         if (status == QProcess::NormalExit && exitCode == 0) return finish(std::nullopt);
                         const std::string words = trimmed(process->readAllStandardOutput());
                         const std::string what = tool.toStdString() + " " + scheme.toStdString();
                         if (!deadline->isActive() && status == QProcess::CrashExit) {
                             return finish(what + " did not finish within " +
                                           std::to_string(deadlineMilliseconds / 1000) + " seconds.");
                         }
                         if (!words.empty()) return finish(what + " failed: " + words);
                         if (status == QProcess::CrashExit) return finish(what + " crashed.");
                         finish(what + " failed with exit status " + std::to_string(exitCode) + ".");
                     });
    process->start(tool, {scheme});
    deadline->start(deadlineMilliseconds);
}

}  // namespace dusk::backend
