#include "DconfDatabase.h"

#include <unistd.h>

#include <cstdlib>
#include <utility>

#include "SettingsFile.h"

namespace dusk::backend {
namespace {

// The file: "GVariant" (or each word byte-swapped, when the values were
// written big-endian), a version of 0, options, then the root table's
// start and end. The tables themselves are always little-endian.
constexpr std::size_t headerSize = 24;
constexpr std::size_t rootPointer = 16;
constexpr std::string_view signature = "GVariant";
constexpr std::string_view swappedSignature = "raVGtnai";

// An item: hash, parent, key start, key size (16 bits), type, unused, then
// the value's start and end.
constexpr std::size_t itemSize = 24;
constexpr std::size_t itemParent = 4;
constexpr std::size_t itemKeyStart = 8;
constexpr std::size_t itemKeySize = 12;
constexpr std::size_t itemType = 14;
constexpr std::size_t itemValue = 16;
constexpr std::uint32_t noParent = 0xffffffffU;

// dconf's user database is tens of kilobytes; a system one rarely more.
constexpr std::size_t largestDatabaseMiB = 16;

// The hash GVDB files are built with: djb's, over signed chars.
std::uint32_t hashOf(std::string_view key) {
    std::uint32_t hash = 5381;
    for (const char c : key) hash = hash * 33 + static_cast<std::uint32_t>(static_cast<signed char>(c));
    return hash;
}

bool isValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        std::uint32_t code = 0;
        std::uint32_t smallest = 0;
        if (lead < 0x80) {
            length = 1;
            code = lead;
        } else if ((lead & 0xe0U) == 0xc0) {
            length = 2;
            code = lead & 0x1fU;
            smallest = 0x80;
        } else if ((lead & 0xf0U) == 0xe0) {
            length = 3;
            code = lead & 0x0fU;
            smallest = 0x800;
        } else if ((lead & 0xf8U) == 0xf0) {
            length = 4;
            code = lead & 0x07U;
            smallest = 0x10000;
        } else {
            return false;
        }
        if (text.size() - i < length) return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xc0U) != 0x80) return false;
            code = (code << 6) | (next & 0x3fU);
        }
        if (code < smallest || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) return false;
        i += length;
    }
    return true;
}

std::optional<DconfSource> sourceFromLine(std::string_view line) {
    line = line.substr(0, line.find('\0'));
    // dconf strips all of ASCII's white space.
    line = trim(line.substr(0, line.find('#')), " \t\n\r\f\v");
    const auto colon = line.find(':');
    if (colon == std::string_view::npos || colon + 1 == line.size()) return std::nullopt;
    const std::string_view kind = line.substr(0, colon);
    std::string name(line.substr(colon + 1));
    if (kind == "user-db") return DconfSource{DconfSource::Kind::user, std::move(name)};
    if (kind == "service-db") return DconfSource{DconfSource::Kind::service, std::move(name)};
    if (kind == "system-db") return DconfSource{DconfSource::Kind::system, std::move(name)};
    if (kind == "file-db") return DconfSource{DconfSource::Kind::file, std::move(name)};
    return std::nullopt;
}

// A profile file's text; none when it cannot be read, and then `missing`
// tells whether there was simply no file.
std::optional<std::string> readProfile(const std::string& path, bool& missing) {
    std::string problem;
    auto text = readRegularFile(path, problem);
    missing = !text && problem.empty();
    return text;
}

// A profile by name: the first of sysconfDir's and the data folders' that
// exists. A file that exists but cannot be read ends the search, as in dconf.
std::optional<std::string> findProfile(const DconfRoots& roots, const std::string& name) {
    std::vector<std::string> folders{roots.sysconfDir};
    folders.insert(folders.end(), roots.dataDirs.begin(), roots.dataDirs.end());
    for (const auto& folder : folders) {
        bool missing = false;
        auto text = readProfile(folder + "/dconf/profile/" += name, missing);
        if (!missing) return text;
    }
    return std::nullopt;
}

std::optional<std::string> databasePath(const DconfSource& source, const DconfRoots& roots) {
    switch (source.kind) {
        case DconfSource::Kind::user:
            return roots.configHome + "/dconf/" + source.name;
        case DconfSource::Kind::service:
            // The service makes this copy when asked over the bus; until it has,
            // there is nothing to read here.
            if (roots.runtimeDir.empty()) return std::nullopt;
            return roots.runtimeDir + "/dconf-service/" + source.name;
        case DconfSource::Kind::system:
            return roots.sysconfDir + "/dconf/db/" + source.name;
        case DconfSource::Kind::file:
            return source.name;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> DconfValue::text() const {
    if (type != "s" || data.empty() || data.back() != '\0') return std::nullopt;
    std::string_view characters(data.data(), data.size() - 1);
    if (characters.find('\0') != std::string_view::npos || !isValidUtf8(characters)) return std::nullopt;
    return std::string(characters);
}

DconfDatabase::DconfDatabase(std::string bytes) : bytes_(std::move(bytes)) {
    root_ = tableAt(rootPointer);
    if (const auto locks = find(root_, ".locks", 'H')) locks_ = tableAt(itemOffset(root_, *locks) + itemValue);
}

std::optional<DconfDatabase> DconfDatabase::fromBytes(std::string bytes) {
    if (bytes.size() < headerSize) return std::nullopt;
    const std::string_view start(bytes.data(), signature.size());
    if (start != signature && start != swappedSignature) return std::nullopt;
    // The version word is read little-endian whatever the signature says.
    if (bytes[8] != 0 || bytes[9] != 0 || bytes[10] != 0 || bytes[11] != 0) return std::nullopt;
    return DconfDatabase(std::move(bytes));
}

std::optional<DconfDatabase> DconfDatabase::open(const std::string& path) {
    // Read, not mapped: a file truncated under a mapping would kill the
    // reader with SIGBUS.
    std::string problem;
    auto bytes = readRegularFile(path, problem, largestDatabaseMiB);
    if (!bytes) return std::nullopt;
    return fromBytes(std::move(*bytes));
}

std::uint32_t DconfDatabase::word(std::size_t offset) const {
    std::uint32_t value = 0;
    for (std::size_t i = 4; i-- > 0;) value = (value << 8) | static_cast<unsigned char>(bytes_[offset + i]);
    return value;
}

std::optional<DconfDatabase::Span> DconfDatabase::span(std::size_t pointer, std::size_t alignment) const {
    const std::size_t start = word(pointer);
    const std::size_t end = word(pointer + 4);
    if (start > end || end > bytes_.size() || start % alignment != 0) return std::nullopt;
    return Span{start, end - start};
}

// A table whose header or sizes do not fit the file has no items, so that
// nothing is found in it.
DconfDatabase::Table DconfDatabase::tableAt(std::size_t pointer) const {
    const auto header = span(pointer, 4);
    if (!header || header->size < 8) return {};
    // The top bits of the first word are the bloom filter's shift. The
    // filter only speeds up misses, and GVDB's builder leaves it empty.
    const std::size_t bloomWords = word(header->start) & ((1U << 27) - 1);
    const std::uint32_t bucketCount = word(header->start + 4);
    std::size_t left = header->size - 8;
    if (bloomWords * 4 > left) return {};
    left -= bloomWords * 4;
    if (std::size_t{bucketCount} * 4 > left) return {};
    left -= std::size_t{bucketCount} * 4;
    if (left % itemSize != 0) return {};
    Table table;
    table.buckets = header->start + 8 + bloomWords * 4;
    table.bucketCount = bucketCount;
    table.items = table.buckets + std::size_t{bucketCount} * 4;
    table.itemCount = static_cast<std::uint32_t>(left / itemSize);
    return table;
}

std::size_t DconfDatabase::itemOffset(const Table& table, std::uint32_t item) const {
    return table.items + std::size_t{item} * itemSize;
}

// Items store only the last part of their name; the rest is their parents'.
// Each step consumes at least one byte of the key, so a cycle of parents
// ends when the key runs out.
bool DconfDatabase::nameMatches(const Table& table, std::uint32_t item, std::string_view key) const {
    for (;;) {
        const std::size_t offset = itemOffset(table, item);
        const std::size_t start = word(offset + itemKeyStart);
        const std::size_t size = static_cast<unsigned char>(bytes_[offset + itemKeySize]) |
                                 static_cast<std::size_t>(static_cast<unsigned char>(bytes_[offset + itemKeySize + 1]))
                                     << 8;
        if (start + size > bytes_.size() || size > key.size()) return false;
        if (std::string_view(bytes_).substr(start, size) != key.substr(key.size() - size)) return false;
        key.remove_suffix(size);
        const std::uint32_t parent = word(offset + itemParent);
        if (key.empty() && parent == noParent) return true;
        if (parent >= table.itemCount || size == 0) return false;
        item = parent;
    }
}

std::optional<std::uint32_t> DconfDatabase::find(const Table& table, std::string_view key, char type) const {
    if (table.bucketCount == 0 || table.itemCount == 0 || key.find('\0') != std::string_view::npos) return std::nullopt;
    const std::uint32_t hash = hashOf(key);
    const std::uint32_t bucket = hash % table.bucketCount;
    std::uint32_t item = word(table.buckets + std::size_t{bucket} * 4);
    std::uint32_t end = table.itemCount;
    if (bucket + 1 < table.bucketCount) {
        const std::uint32_t next = word(table.buckets + (std::size_t{bucket} + 1) * 4);
        if (next <= table.itemCount) end = next;
    }
    for (; item < end; ++item) {
        const std::size_t offset = itemOffset(table, item);
        if (word(offset) == hash && nameMatches(table, item, key) && bytes_[offset + itemType] == type) return item;
    }
    return std::nullopt;
}

std::optional<DconfValue> DconfDatabase::value(std::string_view key) const {
    const auto item = find(root_, key, 'v');
    if (!item) return std::nullopt;
    const auto stored = span(itemOffset(root_, *item) + itemValue, 8);
    if (!stored) return std::nullopt;
    // A variant: the value's bytes, a NUL, then the value's type. Without a
    // type it holds the unit value, as GVariant reads it.
    const std::string_view variant = std::string_view(bytes_).substr(stored->start, stored->size);
    const auto separator = variant.rfind('\0');
    if (separator == std::string_view::npos) return DconfValue{"()", {}};
    return DconfValue{std::string(variant.substr(separator + 1)), std::string(variant.substr(0, separator))};
}

bool DconfDatabase::locks(std::string_view key) const {
    const auto item = find(locks_, key, 'v');
    return item && span(itemOffset(locks_, *item) + itemValue, 8);
}

std::vector<DconfSource> parseDconfProfile(std::string_view text) {
    std::vector<DconfSource> sources;
    while (!text.empty()) {
        const auto end = text.find('\n');
        if (auto source = sourceFromLine(text.substr(0, end))) sources.push_back(std::move(*source));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return sources;
}

DconfRoots DconfRoots::forThisUser(std::string configHome) {
    DconfRoots roots;
    roots.configHome = std::move(configHome);
    const char* dataDirs = std::getenv("XDG_DATA_DIRS");
    std::string_view dirs = dataDirs != nullptr && dataDirs[0] != '\0' ? dataDirs : "/usr/local/share:/usr/share";
    while (!dirs.empty()) {
        const auto colon = dirs.find(':');
        if (const auto dir = dirs.substr(0, colon); dir.starts_with('/')) roots.dataDirs.emplace_back(dir);
        dirs.remove_prefix(colon == std::string_view::npos ? dirs.size() : colon + 1);
    }
    roots.mandatoryProfile = "/run/dconf/user/" + std::to_string(::getuid());
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && runtime[0] == '/') {
        roots.runtimeDir = runtime;
    }
    if (const char* profile = std::getenv("DCONF_PROFILE")) roots.profileName = profile;
    return roots;
}

std::vector<DconfSource> dconfProfile(const DconfRoots& roots) {
    bool missing = false;
    if (!roots.mandatoryProfile.empty()) {
        if (const auto text = readProfile(roots.mandatoryProfile, missing)) return parseDconfProfile(*text);
    }
    if (roots.profileName) {
        const std::string& name = *roots.profileName;
        const auto text = name.starts_with('/') ? readProfile(name, missing) : findProfile(roots, name);
        // A named profile that cannot be opened leaves no database at all.
        return text ? parseDconfProfile(*text) : std::vector<DconfSource>{};
    }
    if (!roots.runtimeDir.empty()) {
        if (const auto text = readProfile(roots.runtimeDir + "/dconf/profile", missing))
            return parseDconfProfile(*text);
    }
    if (const auto text = findProfile(roots, "user")) return parseDconfProfile(*text);
    return {DconfSource{DconfSource::Kind::user, "user"}};
}

std::optional<std::string> readDconfString(std::string_view key, const DconfRoots& roots) {
    const auto sources = dconfProfile(roots);
    std::vector<std::optional<DconfDatabase>> databases;
    databases.reserve(sources.size());
    for (const auto& source : sources) {
        const auto path = databasePath(source, roots);
        databases.push_back(path ? DconfDatabase::open(*path) : std::nullopt);
    }
    // The lowest database in the stack that locks the key decides from its
    // place down; the first database's own locks count for nothing. Without
    // a lock the first database that holds the key decides, writable or not
    // (only changes still on their way to dconf's service would come before
    // it, and a reader of the files never sees those).
    std::size_t first = 0;
    for (std::size_t i = databases.size(); i-- > 1;) {
        if (databases[i] && databases[i]->locks(key)) {
            first = i;
            break;
        }
    }
    for (std::size_t i = first; i < databases.size(); ++i) {
        if (!databases[i]) continue;
        if (const auto value = databases[i]->value(key)) return value->text();
    }
    return std::nullopt;
}

}  // namespace dusk::backend
