// The script runner parses whatever source it is handed: it must never
// crash or run away, and every failure carries a message and an error
// number.
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <variant>

#include "ScriptParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view source(reinterpret_cast<const char*>(data), size);
    const auto parsed = dusk::backend::parseScript(source);
    if (const auto* error = std::get_if<dusk::backend::ScriptError>(&parsed)) {
        if (error->number >= 0 || error->message.empty()) std::abort();
    }
    return 0;
}
