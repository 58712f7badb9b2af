// The settings file's operations in Win32: a save is a temporary file
// beside the settings file, flushed, and moved over it with
// MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH. Failures set errno
// from the Win32 error, which is what the shared store reports.
#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "common/Handles.h"
#include "common/Text.h"
#include "settings/SettingsFile.h"

namespace dusk::backend {
namespace {

// The errno the C runtime gives the same Win32 error.
void setErrnoFrom(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            errno = ENOENT;
            break;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
            errno = EACCES;
            break;
        case ERROR_ALREADY_EXISTS:
        case ERROR_FILE_EXISTS:
            errno = EEXIST;
            break;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            errno = ENOSPC;
            break;
        case ERROR_DIRECTORY:
            errno = ENOTDIR;
            break;
        default:
            errno = EIO;
    }
}

bool failed() {
    setErrnoFrom(::GetLastError());
    return false;
}

// The temporary file of a save is named after the settings file, with a
// suffix no person gives a backup: only those are removed as leftovers.
constexpr wchar_t unfinishedSuffix[] = L".dusk-unfinished-save";

std::wstring folderOf(const std::wstring& path) {
    const auto separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? L"." : path.substr(0, separator);
}

}  // namespace

std::string pathInside(const std::string& directory, std::string_view name) {
    return directory + "\\" + std::string(name);
}

bool writeFileAtomically(const std::string& path, std::string_view contents) {
    const std::wstring target = wide(path);
    const std::wstring temporary = target + unfinishedSuffix + std::to_wstring(::GetCurrentProcessId());
    {
        const UniqueHandle file = dusk::backend::file(
            ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return failed();
        DWORD written = 0;
        const bool complete =
            ::WriteFile(file.get(), contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr) &&
            written == contents.size() && ::FlushFileBuffers(file.get());
        if (!complete) {
            const DWORD error = ::GetLastError();
            ::DeleteFileW(temporary.c_str());
            setErrnoFrom(error);
            return false;
        }
    }
    if (!::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = ::GetLastError();
        ::DeleteFileW(temporary.c_str());
        setErrnoFrom(error);
        return false;
    }
    return true;
}

bool makeDirectories(const std::string& path) {
    const std::wstring full = wide(path);
    // Past the drive or the server and share of a UNC path.
    std::size_t from = full.starts_with(L"\\\\") ? full.find(L'\\', full.find(L'\\', 2) + 1) : full.find(L'\\');
    while (from != std::wstring::npos) {
        from = full.find_first_of(L"\\/", from + 1);
        const std::wstring prefix = full.substr(0, from);
        if (!::CreateDirectoryW(prefix.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) return failed();
    }
    return true;
}

std::optional<std::string> readRegularFile(const std::string& path, std::string& problem, std::size_t limitMiB) {
    problem.clear();
    const UniqueHandle file =
        dusk::backend::file(::CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_ACCESS_DENIED && (::GetFileAttributesW(wide(path).c_str()) & FILE_ATTRIBUTE_DIRECTORY)) {
            problem = "not a regular file";
        } else if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
            problem = errorText(error);
        }
        return std::nullopt;
    }
    // A device or a pipe under the name could block or never end.
    if (::GetFileType(file.get()) != FILE_TYPE_DISK) {
        problem = "not a regular file";
        return std::nullopt;
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) {
        problem = errorText(::GetLastError());
        return std::nullopt;
    }
    if (static_cast<unsigned long long>(size.QuadPart) > (limitMiB << 20)) {
        problem = "larger than " + std::to_string(limitMiB) + " MiB";
        return std::nullopt;
    }
    std::string contents(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!::ReadFile(file.get(), contents.data(), static_cast<DWORD>(contents.size()), &read, nullptr)) {
        problem = errorText(::GetLastError());
        return std::nullopt;
    }
    contents.resize(read);
    return contents;
}

std::optional<std::string> moveAside(const std::string& path, std::string_view stamp) {
    const std::string first = path + ".corrupt-" + std::string(stamp);
    for (int number = 1; number <= 1000; ++number) {
        const std::string candidate = number == 1 ? first : first + "-" + std::to_string(number);
        // Without MOVEFILE_REPLACE_EXISTING a name that is taken is refused.
        if (::MoveFileExW(wide(path).c_str(), wide(candidate).c_str(), MOVEFILE_WRITE_THROUGH)) return candidate;
        const DWORD error = ::GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) {
            setErrnoFrom(error);
            return std::nullopt;
        }
    }
    errno = EEXIST;
    return std::nullopt;
}

std::vector<std::string> removeUnfinishedSaves(const std::string& path) {
    const std::wstring target = wide(path);
    const std::wstring folder = folderOf(target);
    std::vector<std::string> removed;
    WIN32_FIND_DATAW found{};
    const std::wstring pattern = target + unfinishedSuffix + L"*";
    const HANDLE first = ::FindFirstFileW(pattern.c_str(), &found);
    if (first == INVALID_HANDLE_VALUE) return removed;
    const UniqueFind search(first);
    do {
        const std::wstring_view name = found.cFileName;
        const auto process =
            name.substr(std::min(name.size(), name.rfind(unfinishedSuffix) + std::size(unfinishedSuffix) - 1));
        const bool ours = !process.empty() && process.find_first_not_of(L"0123456789") == std::wstring_view::npos;
        if (!ours || (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
            continue;
        const std::wstring leftover = folder + L"\\" + found.cFileName;
        if (::DeleteFileW(leftover.c_str())) removed.push_back(narrow(leftover));
    } while (::FindNextFileW(search.get(), &found));
    return removed;
}

}  // namespace dusk::backend
