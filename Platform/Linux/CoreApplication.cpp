#include <QCoreApplication>

#include "Internal.h"

namespace dusk::backend {

void ensureCoreApplication() {
    if (QCoreApplication::instance() != nullptr) return;
    // Qt keeps argc and argv for the application object's lifetime.
    static int argc = 1;
    static char name[] = "dusk";
    static char* argv[] = {name, nullptr};
    static const QCoreApplication application(argc, argv);
}

}  // namespace dusk::backend
