// dconf's settings as they lie on disk: the GVDB files it keeps them in and
// the profile that stacks those files, read without GLib or any D-Bus peer.
// Reading GNOME's appearance at start then costs a few small reads instead
// of loading GIO; writing still goes through GSettings.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dusk::backend {

// A stored value: its GVariant type string and its serialized bytes.
struct DconfValue {
    std::string type;
    std::string data;

    // The text of a string value in GVariant's normal form (NUL-terminated,
    // valid UTF-8); none for any other type or a damaged string.
    std::optional<std::string> text() const;
};

// One GVDB file, held in memory. Nothing in it is trusted: every offset and
// length is checked against the file, so a damaged or hostile file yields
// no value, never a crash or an endless walk.
class DconfDatabase final {
public:
    // None when the bytes do not start with a GVDB header of either byte order.
    static std::optional<DconfDatabase> fromBytes(std::string bytes);
    // None when there is no regular file at `path`, it cannot be read, it is
    // larger than any settings database, or it is not a GVDB file. A FIFO or
    // a device is never opened for reading.
    static std::optional<DconfDatabase> open(const std::string& path);

    // The value stored under the full key, such as "/org/gnome/desktop/interface/color-scheme".
    std::optional<DconfValue> value(std::string_view key) const;
    // Whether the database's lock table holds the key, as a system database
    // does for a setting the administrator fixed.
    bool locks(std::string_view key) const;

private:
    // A hash table inside the file: where its buckets and items start.
    struct Table {
        std::size_t buckets = 0;
        std::uint32_t bucketCount = 0;
        std::size_t items = 0;
        std::uint32_t itemCount = 0;
    };
    struct Span {
        std::size_t start = 0;
        std::size_t size = 0;
    };

    explicit DconfDatabase(std::string bytes);
    Table tableAt(std::size_t pointer) const;
    std::optional<std::uint32_t> find(const Table& table, std::string_view key, char type) const;
    bool nameMatches(const Table& table, std::uint32_t item, std::string_view key) const;
    std::optional<Span> span(std::size_t pointer, std::size_t alignment) const;
    std::size_t itemOffset(const Table& table, std::uint32_t item) const;
    std::uint32_t word(std::size_t offset) const;

    std::string bytes_;
    Table root_;
    Table locks_;
};

// A line of a dconf profile: one database in the stack.
struct DconfSource {
    enum class Kind { user, service, system, file };
    Kind kind = Kind::user;
    std::string name;

    bool operator==(const DconfSource&) const = default;
};

// The databases a profile names, in order; lines that name none are skipped,
// as dconf skips them.
std::vector<DconfSource> parseDconfProfile(std::string_view text);

// Where dconf looks, so that tests can point it anywhere.
struct DconfRoots {
    std::string sysconfDir = "/etc";         // profiles in dconf/profile/, system databases in dconf/db/
    std::vector<std::string> dataDirs;       // profiles in dconf/profile/ of each, after sysconfDir's
    std::string mandatoryProfile;            // an administrator's profile for this user, before all else
    std::string runtimeDir;                  // a session's profile in dconf/profile, service databases
    std::string configHome;                  // user databases in dconf/
    std::optional<std::string> profileName;  // DCONF_PROFILE: a name, or a path when it starts with '/'

    // This process's: the environment, /etc, /run/dconf/user/<uid>, and the
    // given XDG configuration folder.
    static DconfRoots forThisUser(std::string configHome);
};

// The databases dconf would stack for this user: the mandatory profile if
// there is one, else the named one (none at all when it cannot be opened),
// else the session's, else the "user" profile, else the user's own database.
std::vector<DconfSource> dconfProfile(const DconfRoots& roots);

// The string dconf holds for `key`, as GSettings would read it: a database
// that locks the key decides from its place in the stack down; otherwise the
// first database holding the key does. None when no database holds it, or
// the value found there is not a string: GSettings then uses the schema's
// default.
std::optional<std::string> readDconfString(std::string_view key, const DconfRoots& roots);

}  // namespace dusk::backend
