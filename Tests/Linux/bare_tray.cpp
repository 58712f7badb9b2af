// The least a Qt 6 tray application can be: one tray icon with a tooltip, and
// an event loop. The benchmark starts it beside Dusk, in the same session and
// the same rounds, as the floor for start-up time and resident memory.
#include <QApplication>
#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QSystemTrayIcon>

int main(int argc, char** argv) {
    const QApplication app(argc, argv);
    QPixmap pixmap(22, 22);
    pixmap.fill(QColor(0x40, 0x40, 0x40));
    QSystemTrayIcon tray{QIcon(pixmap)};
    tray.setToolTip(QStringLiteral("Bare tray"));
    tray.show();
    return QApplication::exec();
}
