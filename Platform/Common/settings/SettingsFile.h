// Dusk's settings file: one "key=value" line per signed 64-bit integer, the
// same file on every desktop. Its text is read and written in portable C++
// (SettingsText.cpp), kept free of any toolkit so the reader can be fuzzed on
// its own; the file operations below are each backend's, in the words of its
// own system (SettingsFile.cpp beside the backend).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dusk::backend {

using SettingsValues = std::map<std::string, std::int64_t, std::less<>>;

// None when the text is not a settings file: a line that is neither blank,
// a comment nor key=integer, a duplicate key, or a number out of range.
std::optional<SettingsValues> parseSettings(std::string_view text);
// A settings file holding `values`, written over the `previous` one: the
// lines of its keys take their new values, every other line (a comment, a
// blank) stays, and new keys follow at the end.
std::string formatSettings(std::string_view previous, const SettingsValues& values);

// `name` inside `directory`, with the system's separator.
std::string pathInside(const std::string& directory, std::string_view name);

// Writes `contents` to `path` so that a crash at any moment leaves either
// the old file or the new one: a temporary file beside it, flushed to the
// disk, renamed over it, and the directory flushed. A link to a regular file
// stays, and the file it links to is replaced. False on failure, with errno
// saying why.
bool writeFileAtomically(const std::string& path, std::string_view contents);

// mkdir -p, each new level private to the user. False with errno on failure.
bool makeDirectories(const std::string& path);

// `text` without the `characters` it starts or ends with.
std::string_view trim(std::string_view text, std::string_view characters);

// The bytes of the regular file at `path` (links followed). None when there
// is nothing there (no such file, or a file where a folder should be), or when what is there cannot be read; then
// `problem` says why in a few words. A FIFO or a device is never opened for reading: it could block forever or answer
// with endless data. A file larger than `limitMiB` is refused as well.
std::optional<std::string> readRegularFile(const std::string& path, std::string& problem, std::size_t limitMiB = 1);

// Renames `path` to "<path>.corrupt-<stamp>", or to "<path>.corrupt-<stamp>-2",
// "-3"... when that name is taken: an earlier damaged file is never replaced.
// Answers the new name; none with errno on failure.
std::optional<std::string> moveAside(const std::string& path, std::string_view stamp);

// Removes the temporary files that writeFileAtomically leaves beside `path`
// (or the file it links to) when the process dies in the middle of a save,
// and nothing else. Answers their names.
std::vector<std::string> removeUnfinishedSaves(const std::string& path);

}  // namespace dusk::backend
