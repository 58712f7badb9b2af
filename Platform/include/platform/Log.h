// The platform's log, where Dusk's lines go: the unified log on a Mac, the
// journal on Linux. Lines arrive finished; every value in them is public.
#pragma once

#include <string_view>

namespace platform {

enum class LogLevel { Default, Error };

void writeLog(LogLevel level, std::string_view line);

}  // namespace platform
