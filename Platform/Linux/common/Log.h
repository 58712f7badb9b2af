// The backend's own lines, in the same journal as Dusk's, under the category
// "desktop": what the desktop answered, in its own words.
#pragma once

#include <string_view>

namespace dusk::backend {

void logNotice(std::string_view line);
void logError(std::string_view line);

}  // namespace dusk::backend
