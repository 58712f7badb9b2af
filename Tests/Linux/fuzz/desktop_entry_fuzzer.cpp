// The autostart entry is read back from a folder the user and other programs
// write to: its reader must never crash, an entry pointed at a program must
// start that program whatever the template held, and the program Dusk's own
// entry starts, whatever its path, is read back as that path.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "settings/DesktopEntry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    static_cast<void>(dusk::backend::execProgram(dusk::backend::desktopEntryKeys(text)["Exec"]));
    if (dusk::backend::execProgram(dusk::backend::desktopEntryKeys(dusk::backend::autostartEntry(text))["Exec"]) !=
        text) {
        std::abort();
    }
    const std::string program = "/opt/d \"u\" $k/dusk";
    const auto pointed = dusk::backend::pointedAt(text, program);
    if (!pointed) return 0;
    // Every line that started dusk now starts the program.
    std::string_view rest = *pointed;
    while (!rest.empty()) {
        const auto end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        if (line == "Exec=dusk" || line.starts_with("Exec=dusk ")) std::abort();
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    }
    return 0;
}
