// Where Dusk's status item lives on this desktop, decided again whenever a
// tray comes or goes: a StatusNotifierItem whenever a watcher runs on the
// session bus, an XEmbed icon where the display has only an XEmbed tray, and
// a word to the user where there is neither.
#pragma once

#include <QColor>
#include <QDBusServiceWatcher>
#include <QIcon>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <memory>
#include <optional>

#include "platform/StatusItem.h"
#include "tray/StatusNotifierItem.h"
#include "tray/TrayNotice.h"

class QSystemTrayIcon;

namespace dusk::backend {

// Dusk's sun and moon, drawn for it and shipped inside it as symbolic SVGs;
// their theme names let a tray host pick the installed copies by name.
struct SymbolImage {
    QString resource;
    QString iconName;

    explicit SymbolImage(platform::Symbol symbol);
    // The symbol in one colour: the given one, else the palette's text.
    QImage render(QSize size, std::optional<QColor> colour = std::nullopt) const;
    QIcon icon(std::optional<QColor> colour = std::nullopt) const;
};

class MenuModel;

class XEmbedTrayWatch;

class Tray final : public QObject {
    Q_OBJECT

public:
    Tray();
    ~Tray() override;

    void setMenu(MenuModel* menu);
    // The item shows itself with its first symbol.
    void setSymbol(const SymbolImage& symbol);
    void setToolTip(const QString& text);

    // Another copy was started while this one runs: the user is told that
    // Dusk is already here, and where; nothing where no tray is made yet.
    static void announceRunning();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    // Connected by name to the watcher's signal.
    void hostRegistered();

private:  // NOLINT(readability-redundant-access-specifiers): slots need their own section
    void watcherOwnerChanged(const QString& owner);
    void askWhetherHostRegistered();
    void update();
    void updateStatusNotifierIcon();
    void updateXEmbedIcon();
    bool statusNotifierHost() const;
    void checkThereIsATray();
    void announceOnceTheTrayIsKnown();
    void askWhoRunsTheWatcher();
    void measurePanelNowAndOnceItHasPainted();
    void measurePanel();
    void measureXEmbedBackground();
    std::optional<QColor> pixmapColour() const;

    StatusNotifierItem item_;
    QDBusServiceWatcher watcherWatch_;
    QString watcherOwner_;
    // Whether the bus has said who runs the watcher, if anyone.
    bool watcherKnown_ = false;
    // Until the watcher answers, assume it has a host: most do.
    bool hostRegistered_ = true;
    uint watcherPid_ = 0;
    bool drawsNamedIconsAsTheyAre_ = false;
    // What the tray paints behind Dusk's icon, where it could be seen.
    std::optional<QColor> panelBackground_;
    std::optional<QColor> xembedBackground_;
    std::unique_ptr<XEmbedTrayWatch> xembed_;
    std::unique_ptr<QSystemTrayIcon> xembedIcon_;
    QPointer<MenuModel> menu_;
    std::optional<SymbolImage> symbol_;
    QString toolTip_;
    TrayNotice notice_;
    QTimer noticeTimer_;
    bool noticeTold_ = false;
    // Another copy was started, and the user is yet to hear of this one.
    bool announcing_ = false;
};

}  // namespace dusk::backend
