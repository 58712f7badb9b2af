// Dusk's log on Windows is the debugger's output: DebugView, a debugger, or
// Wine's debugstr channel show it.
#include "platform/Log.h"
#include "common/Text.h"

namespace platform {

void writeLog(LogLevel level, std::string_view line) {
    const std::string_view prefix = level == LogLevel::Error ? "Dusk error: " : "Dusk: ";
    std::string text(prefix);
    text.append(line);
    text += '\n';
    ::OutputDebugStringW(dusk::backend::wide(text).c_str());
}

}  // namespace platform
