#include <QApplication>
#include <QDBusConnection>
#include <QPainter>
#include <QPalette>
#include <QProcess>
#include <QProxyStyle>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOption>
#include <QThread>
#include <algorithm>
#include <array>
#include <vector>

#include "DconfDatabase.h"
#include "GnomeSettings.h"
#include "Internal.h"
#include "ScriptParser.h"
#include "SettingsPortal.h"
#include "SignalReceiver.h"

namespace dusk::backend {
namespace {

constexpr const char* gnomeColorSchemeKey = "/org/gnome/desktop/interface/color-scheme";

// dconf's Notify(prefix, changes, tag) names the changed keys as suffixes of
// the prefix; a name ending in '/' is a whole folder reset.
bool touchesGnomeColorScheme(const QDBusMessage& notify) {
    const QVariantList arguments = notify.arguments();
    if (notify.signature() != QLatin1String("sass")) return false;
    const QString prefix = arguments.at(0).toString();
    const QString key = QLatin1String(gnomeColorSchemeKey);
    const QStringList changes = arguments.at(1).toStringList();
    return std::any_of(changes.begin(), changes.end(), [&](const QString& change) {
        const QString name = prefix + change;
        return name == key || (name.endsWith(u'/') && key.startsWith(name));
    });
}

bool isPlasma() {
    const QString desktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
    return desktop.split(':').contains(QStringLiteral("KDE"), Qt::CaseInsensitive);
}

std::optional<std::string> applyPlasmaScheme(bool dark) {
    QProcess process;
    process.start(QStringLiteral("plasma-apply-colorscheme"),
                  {dark ? QStringLiteral("BreezeDark") : QStringLiteral("BreezeLight")});
    if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        return "plasma-apply-colorscheme could not apply the Breeze colour scheme: " +
               (process.errorString() + QString::fromUtf8(process.readAllStandardError())).toStdString();
    }
    return std::nullopt;
}

// Either source may speak first: the portal where it answers, GNOME's setting
// where it cannot (and where it is the one Dusk writes).
class ThemeObservers final {
public:
    static ThemeObservers& shared() {
        static ThemeObservers instance;
        return instance;
    }

    void add(std::weak_ptr<platform::Responder> observer, std::string selector) {
        observers_.push_back({std::move(observer), std::move(selector)});
        if (subscribed_) return;
        subscribed_ = true;
        posted_ = desktopPrefersDark();
        SettingsPortal::shared().onChange([this] { postLater(); });
    }

    // From the first time GNOME's setting speaks for the desktop, its
    // changes count too: dconf's service announces each change to the user's
    // database on the session bus, and GSettings, once a write has loaded it,
    // reports them as well.
    void followGnome() {
        if (followingGnome_) return;
        followingGnome_ = true;
        auto* receiver = new SignalReceiver(
            [this](const QDBusMessage& notify) {
                if (touchesGnomeColorScheme(notify)) postLater();
            },
            qApp);
        QDBusConnection::sessionBus().connect(QString(), QStringLiteral("/ca/desrt/dconf/Writer/user"),
                                              QStringLiteral("ca.desrt.dconf.Writer"), QStringLiteral("Notify"),
                                              receiver, SLOT(receive(QDBusMessage)));
        GnomeColorScheme::shared().onChange([this] { postLater(); });
    }

private:
    struct Observer {
        std::weak_ptr<platform::Responder> responder;
        std::string selector;
    };

    // GNOME's change arrives inside Dusk's own write: the write goes out
    // first, the redrawing follows on the next turn of the loop.
    void postLater() {
        platform::MainQueue::async([this] { post(); });
    }

    void post() {
        const bool dark = desktopPrefersDark();
        applyPalette(dark);
        // As with the notification this stands for, only a change of side is
        // news: a source that answers without changing it, or a second
        // source reporting the same change, redraws nothing.
        if (posted_ == dark) return;
        posted_ = dark;
        const auto observers = observers_;
        for (const auto& observer : observers) {
            if (const auto responder = observer.responder.lock()) responder->perform(observer.selector);
        }
    }

    std::vector<Observer> observers_;
    bool subscribed_ = false;
    bool followingGnome_ = false;
    std::optional<bool> posted_;
};

// Fusion draws a check box in the palette's base colour with a border a shade
// darker than the window: on a dark menu, box and border all but vanish
// (#1E1E20 and #222224 on #202023). In Dark, the box gets a light border, and
// a checked one the highlight colour with a white tick.
class DarkCheckBoxStyle final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        if (element != PE_IndicatorCheckBox || option->palette.color(QPalette::Base).lightness() >= 128) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        const bool checked = (option->state & State_On) != 0;
        const QColor highlight = option->palette.color(QPalette::Highlight);
        const QRectF box = QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(QPen(checked ? highlight.lighter(140) : QColor(0x8e, 0x8e, 0x93), 1));
        painter->setBrush(checked ? highlight : QColor(0x2c, 0x2c, 0x2f));
        painter->drawRoundedRect(box, 2, 2);
        if (checked) {
            QPen tick(Qt::white, std::max(1.5, box.width() / 8));
            tick.setCapStyle(Qt::RoundCap);
            tick.setJoinStyle(Qt::RoundJoin);
            painter->setPen(tick);
            const auto at = [&box](double x, double y) {
                return QPointF(box.left() + box.width() * x, box.top() + box.height() * y);
            };
            const std::array points{at(0.22, 0.52), at(0.42, 0.72), at(0.78, 0.30)};
            painter->drawPolyline(points.data(), static_cast<int>(points.size()));
        }
        painter->restore();
    }
};

// GNOME's setting as dconf keeps it on disk, read without loading GIO; once
// a write has loaded GSettings, through GSettings, which wrote it.
bool gnomePrefersDark() {
    auto& gnome = GnomeColorScheme::shared();
    if (gnome.inUse()) return gnome.prefersDark().value_or(false);
    return readDconfString(gnomeColorSchemeKey, DconfRoots::forThisUser(configHome())) == "prefer-dark";
}

}  // namespace

bool desktopPrefersDark() {
    ensureCoreApplication();
    // The tray instance runs Qt's event loop (it has a GUI application); a
    // command from a shell has none to deliver an answer later.
    const auto caller = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr ||
                                QThread::currentThread()->loopLevel() > 0
                            ? SettingsPortal::Caller::EventLoop
                            : SettingsPortal::Caller::Command;
    if (const auto dark = SettingsPortal::shared().prefersDark(caller)) return *dark;
    // Until the portal's first answer, and wherever it has none.
    if (caller == SettingsPortal::Caller::EventLoop) ThemeObservers::shared().followGnome();
    return gnomePrefersDark();
}

void applyPalette(bool dark) {
    // Fusion draws the same on every desktop, and its palette is ours to set.
    // The proxy owns Fusion, and the application the proxy, which the
    // analyzer cannot see through Qt's library.
    // NOLINTBEGIN(clang-analyzer-cplusplus.NewDeleteLeaks)
    static const bool styled = [] {
        if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) {
            QApplication::setStyle(new DarkCheckBoxStyle(fusion));
        }
        return true;
    }();
    // NOLINTEND(clang-analyzer-cplusplus.NewDeleteLeaks)
    (void)styled;
    // Setting the palette restyles every widget: only when it changes sides.
    static std::optional<bool> applied;
    if (applied == dark) return;
    applied = dark;
    if (!dark) {
        QApplication::setPalette(QApplication::style()->standardPalette());
        return;
    }
    QPalette palette;
    const QColor window(0x2b, 0x2b, 0x2e), base(0x1e, 0x1e, 0x20), text(0xf2, 0xf2, 0xf2);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3d));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::Highlight, QColor(0x35, 0x84, 0xe4));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Mid, QColor(0x55, 0x55, 0x5a));
    palette.setColor(QPalette::PlaceholderText, QColor(0x9a, 0x9a, 0x9e));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x80, 0x80, 0x84));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(0x80, 0x80, 0x84));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x80, 0x80, 0x84));
    QApplication::setPalette(palette);
}

}  // namespace dusk::backend

namespace platform {

DistributedNotificationCenter& DistributedNotificationCenter::defaultCenter() {
    static DistributedNotificationCenter center;
    return center;
}

void DistributedNotificationCenter::addObserver(std::weak_ptr<Responder> observer, std::string selector,
                                                std::string_view name, std::optional<std::string_view>) {
    // The one notification this desktop posts for Dusk.
    if (name != "AppleInterfaceThemeChangedNotification") return;
    dusk::backend::ThemeObservers::shared().add(std::move(observer), std::move(selector));
}

struct AppleScript::Impl {
    std::string source;
};

AppleScript::AppleScript(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
AppleScript::~AppleScript() = default;

std::unique_ptr<AppleScript> AppleScript::initWithSource(std::string source) {
    return std::make_unique<AppleScript>(std::make_unique<Impl>(Impl{std::move(source)}));
}

std::optional<Dictionary> AppleScript::executeAndReturnError() {
    using namespace dusk::backend;
    ensureCoreApplication();
    const auto failure = [](std::int64_t number, std::string message) {
        return Dictionary{{std::string(errorNumberKey), number}, {std::string(errorMessageKey), std::move(message)}};
    };
    const auto parsed = parseScript(impl_->source);
    if (const auto* error = std::get_if<ScriptError>(&parsed)) return failure(error->number, error->message);
    const bool plasma = isPlasma();
    auto& gnome = GnomeColorScheme::shared();
    for (const DarkModeChange change : std::get<std::vector<DarkModeChange>>(parsed)) {
        if (plasma) {
            const bool dark = change == DarkModeChange::Toggle ? !desktopPrefersDark() : change == DarkModeChange::Dark;
            if (auto error = applyPlasmaScheme(dark)) return failure(eventFailedError, *error);
            continue;
        }
        // System Events flips its own setting, so the current state comes
        // from the setting that is about to be written.
        const auto current = gnome.prefersDark();
        if (!current) return failure(noSuchObjectError, "Can't get dark mode: " + *gnome.problem() + ".");
        const bool dark = change == DarkModeChange::Toggle ? !*current : change == DarkModeChange::Dark;
        if (auto error = gnome.setPrefersDark(dark))
            return failure(eventFailedError, "Can't set dark mode: " + *error + ".");
    }
    return std::nullopt;
}

}  // namespace platform
