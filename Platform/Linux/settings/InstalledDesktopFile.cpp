// Run by the install step once the prefix is final: writes Dusk's desktop
// file with every Exec line starting the installed program by its absolute
// path, so that launchers find it where <prefix>/bin is not on PATH. The
// quoting is the program's own, the same its autostart entry uses.
//
//   dusk-desktop-file TEMPLATE PROGRAM OUTPUT
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "settings/DesktopEntry.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fputs("usage: dusk-desktop-file TEMPLATE PROGRAM OUTPUT\n", stderr);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::string entry((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto rewritten = dusk::backend::pointedAt(entry, argv[2]);
    if (!in || !rewritten) {
        std::fprintf(stderr, "dusk-desktop-file: %s has no Exec=dusk line to point at %s\n", argv[1], argv[2]);
        return 1;
    }
    std::ofstream out(argv[3], std::ios::binary | std::ios::trunc);
    out << *rewritten;
    return out.flush() ? 0 : 1;
}
