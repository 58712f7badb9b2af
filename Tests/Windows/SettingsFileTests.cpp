// The settings file's operations in Win32, in a fresh folder under %TEMP%:
// atomic saves, damaged files kept aside, leftovers of a save that died.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "common/Text.h"
#include "settings/SettingsFile.h"
#include "settings/StoredSettings.h"

using namespace dusk::backend;

namespace {

class Folder : public ::testing::Test {
protected:
    Folder() {
        wchar_t temporary[MAX_PATH];
        ::GetTempPathW(MAX_PATH, temporary);
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = narrow(temporary) + "dusk-test-" + test->name() + "-" + std::to_string(::GetCurrentProcessId());
        path = pathInside(folder, "settings.conf");
        EXPECT_TRUE(makeDirectories(folder));
    }
    ~Folder() override {
        WIN32_FIND_DATAW found{};
        const HANDLE search = ::FindFirstFileW(wide(folder + "\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do ::DeleteFileW(wide(folder + "\\" + narrow(found.cFileName)).c_str());
            while (::FindNextFileW(search, &found));
            ::FindClose(search);
        }
        ::RemoveDirectoryW(wide(folder).c_str());
    }

    std::string read(const std::string& file) const {
        std::string problem;
        return readRegularFile(file, problem).value_or("<none: " + problem + ">");
    }
    void write(const std::string& file, const std::string& text) const {
        std::ofstream(std::filesystem::path(wide(file)), std::ios::binary) << text;
    }
    bool exists(const std::string& file) const {
        return ::GetFileAttributesW(wide(file).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    std::string folder;
    std::string path;
};

}  // namespace

TEST_F(Folder, ASaveReplacesTheFileWholeAndLeavesNothingBeside) {
    write(path, "old");
    ASSERT_TRUE(writeFileAtomically(path, "hotKeyCode=2\n"));
    EXPECT_EQ(read(path), "hotKeyCode=2\n");
    EXPECT_TRUE(removeUnfinishedSaves(path).empty());
    EXPECT_EQ(path, folder + "\\settings.conf");
}

TEST_F(Folder, ASaveIntoAFolderThatIsNotThereFailsWithErrno) {
    errno = 0;
    EXPECT_FALSE(writeFileAtomically(pathInside(folder + "\\missing", "settings.conf"), "x=1\n"));
    EXPECT_EQ(errno, ENOENT);
}

TEST_F(Folder, MakingFoldersMakesEachLevelAndAcceptsWhatIsThere) {
    const std::string deep = folder + "\\a\\b";
    ASSERT_TRUE(makeDirectories(deep));
    EXPECT_TRUE(makeDirectories(deep));
    EXPECT_TRUE(writeFileAtomically(pathInside(deep, "settings.conf"), "x=1\n"));
    ::DeleteFileW(wide(pathInside(deep, "settings.conf")).c_str());
    ::RemoveDirectoryW(wide(deep).c_str());
    ::RemoveDirectoryW(wide(folder + "\\a").c_str());
}

TEST_F(Folder, OnlyTheLeftoversOfDusksOwnSavesAreRemoved) {
    const std::string leftover = path + ".dusk-unfinished-save4242";
    write(leftover, "half");
    for (const char* kept : {".dusk-unfinished-save-mine", ".bak", ".dusk-unfinished-save"})
        write(path + kept, "user's");
    EXPECT_EQ(removeUnfinishedSaves(path), std::vector<std::string>{leftover});
    EXPECT_FALSE(exists(leftover));
    for (const char* kept : {".dusk-unfinished-save-mine", ".bak", ".dusk-unfinished-save"}) {
        EXPECT_TRUE(exists(path + kept)) << kept;
    }
}

TEST_F(Folder, ADamagedFileIsMovedAsideAndAnEarlierOneIsNeverReplaced) {
    write(path, "first");
    EXPECT_EQ(moveAside(path, "20260101T000000"), path + ".corrupt-20260101T000000");
    write(path, "second");
    EXPECT_EQ(moveAside(path, "20260101T000000"), path + ".corrupt-20260101T000000-2");
    EXPECT_EQ(read(path + ".corrupt-20260101T000000"), "first");
    EXPECT_EQ(read(path + ".corrupt-20260101T000000-2"), "second");
    EXPECT_FALSE(exists(path));
}

TEST_F(Folder, ReadingTellsNothingThereFromSomethingUnreadable) {
    std::string problem = "stale";
    EXPECT_EQ(readRegularFile(path, problem), std::nullopt);
    EXPECT_EQ(problem, "");
    ASSERT_TRUE(makeDirectories(path));
    EXPECT_EQ(readRegularFile(path, problem), std::nullopt);
    EXPECT_EQ(problem, "not a regular file");
    ::RemoveDirectoryW(wide(path).c_str());
    write(path, std::string((1 << 20) + 1, 'x'));
    EXPECT_EQ(readRegularFile(path, problem), std::nullopt);
    EXPECT_EQ(problem, "larger than 1 MiB");
    EXPECT_EQ(readRegularFile("NUL", problem), std::nullopt) << "a device is never read";
    EXPECT_EQ(problem, "not a regular file");
}

namespace {

struct Host final : StoredSettings::Host {
    void later(std::function<void()> work) override { queued.push_back(std::move(work)); }
    void logError(std::string_view line) override { errors.emplace_back(line); }
    void saveFailed(const std::string& where, const std::string&) override { failedAt.push_back(where); }
    void runQueued() {
        auto work = std::move(queued);
        for (auto& each : work) each();
    }
    std::vector<std::function<void()>> queued;
    std::vector<std::string> errors;
    std::vector<std::string> failedAt;
};

}  // namespace

TEST_F(Folder, TheStoreSavesOneTurnsWritesTogetherInLinuxsFormatKeepingTheUsersLines) {
    write(path, "# mine\nhotKeyCode=2\n");
    Host host;
    {
        StoredSettings store(folder, host, "stamp");
        EXPECT_EQ(store.values().at("hotKeyCode"), 2);
        store.set("hotKeyCode", 40);
        store.set("hotKeyModifiers", 1835008);
        EXPECT_EQ(host.queued.size(), 1u) << "one save for the turn";
        host.runQueued();
    }
    EXPECT_EQ(read(path), "# mine\nhotKeyCode=40\nhotKeyModifiers=1835008\n");
    EXPECT_TRUE(host.errors.empty());
}

TEST_F(Folder, TheStoreKeepsADamagedFileAsideAndStartsFromNothing) {
    write(path, "hotKeyCode=two\n");
    Host host;
    const StoredSettings store(folder, host, "stamp");
    EXPECT_TRUE(store.values().empty());
    EXPECT_EQ(read(path + ".corrupt-stamp"), "hotKeyCode=two\n");
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.errors[0],
              path + " is not a settings file; kept aside as " + path + ".corrupt-stamp, starting from defaults");
}
