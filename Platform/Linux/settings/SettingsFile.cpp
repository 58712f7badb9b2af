#include "settings/SettingsFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace dusk::backend {
namespace {

// Cleaning up after a failure must not change the errno that explains it.
class ErrnoKeeper {
public:
    ErrnoKeeper() : saved_(errno) {}
    ~ErrnoKeeper() { errno = saved_; }
    ErrnoKeeper(const ErrnoKeeper&) = delete;
    ErrnoKeeper& operator=(const ErrnoKeeper&) = delete;

private:
    int saved_;
};

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        const ErrnoKeeper keep;
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
        const ErrnoKeeper keep;
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

// Where a save of a file goes. Where the file is a link to a regular file,
// as a dotfiles manager keeps settings, the save replaces the file it links
// to, so the link stays. The temporary file beside it is named "." + the
// file's name + ".dusk-unfinished-save-" + mkostemp's six letters or digits:
// no person names a backup so, and nothing else is removed as a leftover.
struct SavePlace {
    std::string target;
    std::string directory;
    std::string temporaryPrefix;
};

SavePlace savePlace(const std::string& path) {
    SavePlace place{path, {}, {}};
    struct stat status {};
    if (::lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode) && ::stat(path.c_str(), &status) == 0 &&
        S_ISREG(status.st_mode)) {
        const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
        if (resolved) place.target = resolved.get();
    }
    const auto slash = place.target.rfind('/');
    place.directory = slash == std::string::npos ? "." : (slash == 0 ? "/" : place.target.substr(0, slash));
    place.temporaryPrefix = "." + place.target.substr(slash + 1) + ".dusk-unfinished-save-";
    return place;
}

bool isTemporaryName(std::string_view name, std::string_view prefix) {
    return name.size() == prefix.size() + 6 && name.starts_with(prefix) &&
           std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

bool renameWithoutReplacing(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // Some file systems (older NFS, many FUSE ones) cannot refuse inside a
    // rename; a new hard link refuses an existing name everywhere.
    if (::link(from.c_str(), to.c_str()) != 0) return false;
    return ::unlink(from.c_str()) == 0;
}

}  // namespace

std::string pathInside(const std::string& directory, std::string_view name) {
    return directory + "/" + std::string(name);
}

bool writeFileAtomically(const std::string& path, std::string_view contents) {
    const SavePlace place = savePlace(path);
    TemporaryName temporary{place.directory + "/" + place.temporaryPrefix + "XXXXXX"};
    FileDescriptor file(::mkostemp(temporary.path.data(), O_CLOEXEC));
    if (file.get() < 0) {
        temporary.renamed = true;  // nothing was created
        return false;
    }
    if (::fchmod(file.get(), 0600) != 0 || !writeAll(file.get(), contents) || ::fsync(file.get()) != 0 ||
        !file.close()) {
        return false;
    }
    if (::rename(temporary.path.c_str(), place.target.c_str()) != 0) return false;
    temporary.renamed = true;
    FileDescriptor dir(::open(place.directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) ::fsync(dir.get());
    return true;
}

bool makeDirectories(const std::string& path) {
    for (std::size_t slash = 1; slash != std::string::npos;) {
        slash = path.find('/', slash + 1);
        const std::string prefix = path.substr(0, slash);
        if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return true;
}

std::optional<std::string> readRegularFile(const std::string& path, std::string& problem, std::size_t limitMiB) {
    problem.clear();
    // Opening a device can have effects of its own, so look before opening.
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        if (errno != ENOENT && errno != ENOTDIR) problem = std::strerror(errno);
        return std::nullopt;
    }
    constexpr const char* notRegular = "not a regular file";
    if (!S_ISREG(status.st_mode)) {
        problem = notRegular;
        return std::nullopt;
    }
    // Something else may take the name between the look and the open: the
    // open must not wait for a FIFO's writer, and the look is made again.
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.get() < 0) {
        if (errno != ENOENT) problem = std::strerror(errno);
        return std::nullopt;
    }
    if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        problem = notRegular;
        return std::nullopt;
    }
    // Read straight into place, with room for the file as it is now and one
    // byte more to see it end; a file that grows meanwhile gets more room.
    // Whatever the caller expects, anything over the limit is not it.
    const std::size_t limit = limitMiB << 20;
    std::string contents(std::min(static_cast<std::size_t>(status.st_size), limit) + 1, '\0');
    std::size_t length = 0;
    for (;;) {
        if (length > limit) {
            problem = "larger than " + std::to_string(limitMiB) + " MiB";
            return std::nullopt;
        }
        if (length == contents.size()) contents.resize(std::min(2 * contents.size(), limit + 1));
        const auto n = ::read(file.get(), contents.data() + length, contents.size() - length);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            problem = std::strerror(errno);
            return std::nullopt;
        }
        if (n == 0) break;
        length += static_cast<std::size_t>(n);
    }
    contents.resize(length);
    return contents;
}

std::optional<std::string> moveAside(const std::string& path, std::string_view stamp) {
    const std::string first = path + ".corrupt-" + std::string(stamp);
    for (int number = 1; number <= 1000; ++number) {
        const std::string candidate = number == 1 ? first : first + "-" + std::to_string(number);
        if (renameWithoutReplacing(path, candidate)) return candidate;
        if (errno != EEXIST) return std::nullopt;
    }
    return std::nullopt;
}

std::vector<std::string> removeUnfinishedSaves(const std::string& path) {
    const SavePlace place = savePlace(path);
    std::vector<std::string> removed;
    const auto close = [](DIR* open) { ::closedir(open); };
    const std::unique_ptr<DIR, decltype(close)> listing(::opendir(place.directory.c_str()), close);
    if (!listing) return removed;
    const int fd = ::dirfd(listing.get());
    while (const dirent* entry = ::readdir(listing.get())) {
        struct stat status {};
        if (!isTemporaryName(entry->d_name, place.temporaryPrefix) ||
            ::fstatat(fd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(status.st_mode)) {
            continue;
        }
        if (::unlinkat(fd, entry->d_name, 0) == 0) removed.push_back(place.directory + "/" + entry->d_name);
    }
    return removed;
}

}  // namespace dusk::backend
