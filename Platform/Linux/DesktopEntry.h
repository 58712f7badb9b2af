// The Desktop Entry rules Dusk needs for its autostart entry.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace dusk::backend {

// One argument of an Exec key, quoted so that any path (spaces, quotes,
// "$", "%", backslashes, newlines) starts that program and nothing else:
// the argument rules first, then the string-value escapes, as the Desktop
// Entry rules layer them.
std::string execArgument(std::string_view argument);

// The keys of the [Desktop Entry] group, values unescaped; other groups are
// ignored.
std::map<std::string, std::string> desktopEntryKeys(std::string_view text);

}  // namespace dusk::backend
