// The Desktop Entry rules Dusk needs: for its autostart entry, and for the
// desktop file the install step points at the installed program.
#pragma once

#include <map>
#include <optional>
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

// The program an Exec value (unescaped) starts: its first argument, with
// the quoting and "%%" of execArgument undone.
std::string execProgram(std::string_view exec);

// The autostart entry that starts `program` when the user logs in.
std::string autostartEntry(std::string_view program);

// `entry` with every Exec line that starts "dusk" (the main one and each
// action's) starting `program` by its path instead, arguments kept; none
// when no line starts dusk.
std::optional<std::string> pointedAt(std::string_view entry, std::string_view program);

}  // namespace dusk::backend
