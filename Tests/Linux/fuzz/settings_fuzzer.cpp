// The settings reader takes whatever is on disk: it must never crash, and
// whatever it accepts must survive being written and read back, alone or
// written over the text it came from with a value changed and one added.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "settings/SettingsFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    auto values = dusk::backend::parseSettings(text);
    if (!values) return 0;
    const auto again = dusk::backend::parseSettings(dusk::backend::formatSettings({}, *values));
    if (!again || *again != *values) std::abort();
    if (!values->empty()) values->begin()->second = -values->begin()->second / 2;
    values->insert_or_assign("hotKeyCode.new", 12);
    const auto over = dusk::backend::parseSettings(dusk::backend::formatSettings(text, *values));
    if (!over || *over != *values) std::abort();
    return 0;
}
