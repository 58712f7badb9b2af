#include "SettingsFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>

namespace dusk::backend {
namespace {

std::string_view trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

bool validKey(std::string_view key) {
    if (key.empty()) return false;
    for (const char c : key) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                        c == '.' || c == '-';
        if (!ok) return false;
    }
    return true;
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    // Close reports the last write error on some file systems; it counts.
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

// Until the rename, a half-written file must not outlive a failure.
struct TemporaryName {
    std::string path;
    bool renamed = false;
    ~TemporaryName() {
        if (!renamed) ::unlink(path.c_str());
    }
};

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const auto written = ::write(fd, data.data(), data.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

}  // namespace

std::optional<SettingsValues> parseSettings(std::string_view text) {
    SettingsValues values;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const auto line = trim(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty() || line.front() == '#') continue;
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) return std::nullopt;
        const auto key = trim(line.substr(0, equals));
        const auto number = trim(line.substr(equals + 1));
        if (!validKey(key) || number.empty()) return std::nullopt;
        std::int64_t value = 0;
        const auto [rest, error] = std::from_chars(number.data(), number.data() + number.size(), value);
        if (error != std::errc() || rest != number.data() + number.size()) return std::nullopt;
        if (!values.emplace(std::string(key), value).second) return std::nullopt;
    }
    return values;
}

std::string formatSettings(const SettingsValues& values) {
    std::string out = "# Dusk's settings. Each line is key=signed 64-bit integer.\n";
    for (const auto& [key, value] : values) out += key + "=" + std::to_string(value) + "\n";
    return out;
}

bool writeFileAtomically(const std::string& path, std::string_view contents) {
    const auto slash = path.rfind('/');
    const std::string directory = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    TemporaryName temporary{path + ".XXXXXX"};
    FileDescriptor file(::mkostemp(temporary.path.data(), O_CLOEXEC));
    if (file.get() < 0) {
        temporary.renamed = true;  // nothing was created
        return false;
    }
    if (::fchmod(file.get(), 0600) != 0 || !writeAll(file.get(), contents) || ::fsync(file.get()) != 0 ||
        !file.close()) {
        return false;
    }
    if (::rename(temporary.path.c_str(), path.c_str()) != 0) return false;
    temporary.renamed = true;
    FileDescriptor dir(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) ::fsync(dir.get());
    return true;
}

std::optional<std::string> readFile(const std::string& path, bool& unreadable) {
    unreadable = false;
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) {
        if (errno != ENOENT) unreadable = true;
        return std::nullopt;
    }
    std::string contents;
    char buffer[4096];
    for (;;) {
        const auto n = ::read(file.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            unreadable = true;
            return std::nullopt;
        }
        if (n == 0) break;
        contents.append(buffer, static_cast<std::size_t>(n));
        // Dusk's own file is a few dozen bytes; anything this large is not it.
        if (contents.size() > (1u << 20)) {
            unreadable = true;
            return std::nullopt;
        }
    }
    return contents;
}

}  // namespace dusk::backend
