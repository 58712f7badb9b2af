// Dusk's settings file: one "key=value" line per signed 64-bit integer.
// Kept free of Qt so the reader can be fuzzed on its own.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace dusk::backend {

using SettingsValues = std::map<std::string, std::int64_t, std::less<>>;

// None when the text is not a settings file: a line that is neither blank,
// a comment nor key=integer, a duplicate key, or a number out of range.
std::optional<SettingsValues> parseSettings(std::string_view text);
std::string formatSettings(const SettingsValues& values);

// Writes `contents` to `path` so that a crash at any moment leaves either
// the old file or the new one: a temporary file beside it, flushed to the
// disk, renamed over it, and the directory flushed. False on failure.
bool writeFileAtomically(const std::string& path, std::string_view contents);

// The file's bytes; none when it does not exist; `unreadable` set when it
// exists but cannot be read.
std::optional<std::string> readFile(const std::string& path, bool& unreadable);

}  // namespace dusk::backend
