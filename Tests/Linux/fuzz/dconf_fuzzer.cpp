// dconf's databases are files anyone with the user's rights may have
// written: the reader must never crash or loop on them, and a string it
// answers must be one GSettings could hold.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "DconfDatabase.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto database =
        dusk::backend::DconfDatabase::fromBytes(std::string(reinterpret_cast<const char*>(data), size));
    if (!database) return 0;
    for (const char* key :
         {"/org/gnome/desktop/interface/color-scheme", "/org/gnome/desktop/interface/gtk-theme", "/a/b", "/a", "/"}) {
        database->locks(key);
        const auto value = database->value(key);
        if (!value) continue;
        const auto text = value->text();
        if (text &&
            (value->type != "s" || text->find('\0') != std::string::npos || text->size() + 1 != value->data.size()))
            std::abort();
    }
    return 0;
}
