// A Qt program of someone else's beside Dusk, to see what the desktop's
// theme does to it: a window titled by its argument, plain text on the
// window's own background, 240×160. Built for Qt 6 and, where its headers
// are installed, Qt 5, which LXQt 1.2's platform theme is written for.
// Prints "ready" once shown.
#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString title = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("qt-window");
    QWidget window;
    window.setWindowTitle(title);
    window.resize(240, 160);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(new QLabel(title));
    window.show();
    QTimer ready;
    ready.setSingleShot(true);
    QObject::connect(&ready, &QTimer::timeout, [] {
        std::printf("ready\n");
        std::fflush(stdout);
    });
    ready.start(300);
    return QApplication::exec();
}
