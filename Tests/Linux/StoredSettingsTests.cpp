// The Linux settings store: what reaches the disk, when, and what the user
// and the log are told. The store's host is played by the test (its main
// loop is a list of work the test runs), except in the last test, which runs
// the backend's own store inside a real Qt event loop.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "ScratchFiles.h"
#include "platform/SettingsStore.h"
#include "settings/StoredSettings.h"

namespace dusk::backend {
namespace {

struct Failure {
    std::string path;
    std::string reason;
    bool operator==(const Failure&) const = default;
};

class RecordingHost final : public StoredSettings::Host {
public:
    void later(std::function<void()> work) override { queued.push_back(std::move(work)); }
    void logError(std::string_view line) override { lines.emplace_back(line); }
    void saveFailed(const std::string& path, const std::string& reason) override { failures.push_back({path, reason}); }

    // One turn of the main loop: the work queued before it.
    void turn() {
        auto work = std::move(queued);
        queued.clear();
        for (auto& item : work) item();
    }

    std::vector<std::function<void()>> queued;
    std::vector<std::string> lines;
    std::vector<Failure> failures;
};

const std::string older = "hotKeyCode=40\nhotKeyModifiers=1179648\n";  // ⇧⌘K

TEST(StoredSettings, TheWritesOfOneTurnReachTheDiskTogetherInOneSave) {
    const ScratchDirectory directory("store");
    const std::string path = directory / "settings.conf";
    writeText(path, older);
    RecordingHost host;
    StoredSettings store(directory.path(), host, "20261207T111500");
    EXPECT_EQ(store.values(), (SettingsValues{{"hotKeyCode", 40}, {"hotKeyModifiers", 1179648}}));

    store.set("hotKeyCode", 38);
    store.set("hotKeyModifiers", 786432);  // ⌃⌥J
    EXPECT_EQ(readText(path), older) << "saved before the turn ended";
    EXPECT_EQ(store.values(), (SettingsValues{{"hotKeyCode", 38}, {"hotKeyModifiers", 786432}}));
    ASSERT_EQ(host.queued.size(), 1u);
    struct stat before {};
    ::stat(path.c_str(), &before);

    host.turn();
    EXPECT_EQ(parseSettings(readText(path)), (SettingsValues{{"hotKeyCode", 38}, {"hotKeyModifiers", 786432}}));
    struct stat after {};
    ::stat(path.c_str(), &after);
    EXPECT_NE(before.st_ino, after.st_ino) << "not replaced as a whole";
    EXPECT_EQ(after.st_mode & 0777, 0600u);
    EXPECT_TRUE(host.queued.empty());
    EXPECT_TRUE(host.lines.empty());
    EXPECT_TRUE(host.failures.empty());

    // The next turn's change is a save of its own.
    store.set("hotKeyCode", -1);
    store.set("hotKeyModifiers", 0);
    EXPECT_EQ(host.queued.size(), 1u);
    host.turn();
    EXPECT_EQ(parseSettings(readText(path)), (SettingsValues{{"hotKeyCode", -1}, {"hotKeyModifiers", 0}}));
}

TEST(StoredSettings, WhatIsPendingIsSavedWhenTheProcessEnds) {
    const ScratchDirectory directory("store");
    const std::string path = directory / "dusk/settings.conf";
    RecordingHost host;
    {
        StoredSettings store(directory / "dusk", host, "20261207T111500");
        EXPECT_TRUE(store.values().empty());
        store.set("hotKeyCode", 38);
        store.flush();  // the loop ended: its queued work never runs
        EXPECT_EQ(parseSettings(readText(path)), (SettingsValues{{"hotKeyCode", 38}}));
        store.set("hotKeyModifiers", 786432);
    }
    // No loop and no flush: the store's end saved it.
    EXPECT_EQ(parseSettings(readText(path)), (SettingsValues{{"hotKeyCode", 38}, {"hotKeyModifiers", 786432}}));
    host.queued.clear();  // they would find the store gone
    EXPECT_TRUE(host.failures.empty());
    EXPECT_EQ(std::filesystem::status(directory / "dusk").permissions(), std::filesystem::perms::owner_all);
}

// A directory that cannot be made (its parent is a file) fails for root too.
TEST(StoredSettings, EachFailedChangeIsReportedOnceWithTheFileAndTheReason) {
    const ScratchDirectory directory("store");
    writeText(directory / "config", "a file where a folder should be");
    const std::string path = directory / "config/dusk/settings.conf";
    RecordingHost host;
    StoredSettings store(directory / "config/dusk", host, "20261207T111500");
    EXPECT_TRUE(host.lines.empty()) << host.lines.front();

    store.set("hotKeyCode", 38);
    store.set("hotKeyModifiers", 786432);
    host.turn();
    EXPECT_EQ(host.failures, (std::vector<Failure>{{path, "Not a directory"}}));
    EXPECT_EQ(host.lines, (std::vector<std::string>{"settings not saved to " + path + ": Not a directory"}));
    // The shortcut still holds for as long as the process runs.
    EXPECT_EQ(store.values(), (SettingsValues{{"hotKeyCode", 38}, {"hotKeyModifiers", 786432}}));

    store.set("hotKeyCode", -1);
    store.set("hotKeyModifiers", 0);
    host.turn();
    EXPECT_EQ(host.failures.size(), 2u);
    // At the end, the failure is logged: there is nobody to tell.
    store.set("hotKeyCode", 2);
    store.flush();
    EXPECT_EQ(host.failures.size(), 2u);
    EXPECT_EQ(host.lines.size(), 3u);
}

TEST(StoredSettings, AnythingButASettingsFileIsKeptAsideAndDefaultsAreUsed) {
    const ScratchDirectory directory("store");
    const std::string path = directory / "settings.conf";
    struct Case {
        std::function<void()> make;
        std::string what;
    };
    for (const auto& [make, what] : std::vector<Case>{
             {[&] { writeText(path, "hotKeyCode=forty\n"); }, "is not a settings file"},
             {[&] { ::mkfifo(path.c_str(), 0600); }, "could not be read (not a regular file)"},
             {[&] {
                  ::mkfifo((directory / "elsewhere").c_str(), 0600);
                  std::filesystem::create_symlink(directory / "elsewhere", path);
              },
              "could not be read (not a regular file)"},
         }) {
        std::filesystem::remove_all(directory.path());
        std::filesystem::create_directories(directory.path());
        make();
        RecordingHost host;
        StoredSettings store(directory.path(), host, "20261207T111500");
        EXPECT_TRUE(store.values().empty()) << what;
        const std::string aside = path + ".corrupt-20261207T111500";
        std::string line = path;
        line.append(" ").append(what).append("; kept aside as ").append(aside).append(", starting from defaults");
        EXPECT_EQ(host.lines, std::vector<std::string>{line});
        EXPECT_TRUE(std::filesystem::exists(std::filesystem::symlink_status(aside))) << what;
        // The next save makes a settings file of its own.
        store.set("hotKeyCode", 38);
        host.turn();
        EXPECT_EQ(parseSettings(readText(path)), (SettingsValues{{"hotKeyCode", 38}})) << what;
        EXPECT_TRUE(host.failures.empty()) << what;
    }
}

TEST(StoredSettings, TheTemporariesOfAnUnfinishedSaveAreRemovedAtStart) {
    const ScratchDirectory directory("store");
    const std::string path = directory / "settings.conf";
    const std::string leftover = directory / ".settings.conf.dusk-unfinished-save-q7Rz0b";
    writeText(path, older);
    writeText(leftover, "hotKeyCode=38\n");
    writeText(path + ".bak001", "the user's own\n");
    RecordingHost host;
    const StoredSettings store(directory.path(), host, "20261207T111500");
    EXPECT_FALSE(std::filesystem::exists(leftover));
    EXPECT_TRUE(std::filesystem::exists(path + ".bak001"));
    EXPECT_EQ(host.lines,
              (std::vector<std::string>{"removed " + leftover + ", left behind by a save that did not finish"}));
    EXPECT_EQ(store.values().at("hotKeyCode"), 40);
}

// The backend's own settings store in a Qt event loop: a change made in the very
// turn that quits still reaches the disk, though its queued save never runs.
TEST(LinuxSettingsStore, AChangeMadeAsTheLoopQuitsIsSaved) {
    const ScratchDirectory directory("store");
    ::setenv("XDG_CONFIG_HOME", directory.path().c_str(), 1);
    int argc = 1;
    char name[] = "dusk";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    QTimer::singleShot(0, [] {
        platform::SettingsStore::setInteger("hotKeyCode", 38);
        platform::SettingsStore::setInteger("hotKeyModifiers", 786432);
        QCoreApplication::exit(0);
    });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_EQ(parseSettings(readText(directory / "dusk/settings.conf")),
              (SettingsValues{{"hotKeyCode", 38}, {"hotKeyModifiers", 786432}}));
}

}  // namespace
}  // namespace dusk::backend
