#include "windows/OpenWindow.h"

#include <malloc.h>

#include <QPixmapCache>

#include "platform/Session.h"

namespace dusk::backend {
namespace {

int& openWindows() {
    static int count = 0;
    return count;
}

// The pieces the style drew and cached, and the heap pages the widgets,
// layouts and backing stores freed, which glibc otherwise keeps for
// allocations that will not come. Qt's font engines and font database
// stay: Qt has no supported call that drops them.
void releaseWindowMemory() {
    if (openWindows() > 0) return;
    QPixmapCache::clear();
    malloc_trim(0);
}

}  // namespace

OpenWindow::OpenWindow() { ++openWindows(); }

// The widget's children and backing store go after its members, so the
// release waits for the next turn of the loop.
OpenWindow::~OpenWindow() {
    if (--openWindows() == 0) platform::Session::post(releaseWindowMemory);
}

}  // namespace dusk::backend
