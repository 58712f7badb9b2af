// The settings file and the desktop entries, checked against independent
// readers (GLib's desktop-entry and shell parsers) and against kills and
// failures at every step of a save.
#include <glib.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "ScratchFiles.h"
#include "settings/DesktopEntry.h"
#include "settings/SettingsFile.h"

namespace dusk::backend {
namespace {

// --- Settings file ----------------------------------------------------------------

TEST(SettingsFile, KeepsEveryValueAndTellsAStoredZeroFromAnAbsentKey) {
    const SettingsValues values{{"hotKeyCode", 0},
                                {"hotKeyModifiers", std::numeric_limits<std::int64_t>::min()},
                                {"other", std::numeric_limits<std::int64_t>::max()}};
    const auto read = parseSettings(formatSettings("", values));
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, values);
    EXPECT_TRUE(read->contains("hotKeyCode"));
    EXPECT_FALSE(parseSettings("# nothing stored\n\n")->contains("hotKeyCode"));
}

TEST(SettingsFile, RefusesAnythingThatIsNotASettingsFile) {
    for (const std::string& text : std::vector<std::string>{
             "hotKeyCode=forty\n", "hotKeyCode\n", "=4\n", "hotKeyCode=\n", "hotKeyCode=9223372036854775808\n",
             "hotKeyCode=1\nhotKeyCode=2\n", "hot key=1\n", std::string("hotKeyCode=1\0\n", 14), "hotKeyCode=0x10\n"}) {
        EXPECT_FALSE(parseSettings(text)) << text;
    }
    EXPECT_EQ(parseSettings(" hotKeyCode = -1 \r\n")->at("hotKeyCode"), -1);
}

// A crash at any moment of a save leaves the old file or the new one.
TEST(SettingsFile, AWriterKilledAtAnyMomentLeavesTheOldOrTheNewFile) {
    const auto directory = std::filesystem::temp_directory_path() / ("dusk-atomic-" + std::to_string(::getpid()));
    std::filesystem::create_directories(directory);
    const std::string path = directory / "settings.conf";
    const std::string older = formatSettings("", {{"hotKeyCode", 2}, {"hotKeyModifiers", 1835008}});
    const std::string newer = formatSettings("", {{"hotKeyCode", 40}, {"hotKeyModifiers", 1179648}});
    ASSERT_TRUE(writeFileAtomically(path, older));
    std::mt19937 random(12345);
    for (int round = 0; round < 60; ++round) {
        const pid_t writer = ::fork();
        ASSERT_GE(writer, 0);
        if (writer == 0) {
            for (int i = 0;; ++i) writeFileAtomically(path, i % 2 == 0 ? newer : older);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
        ::kill(writer, SIGKILL);
        ::waitpid(writer, nullptr, 0);
        std::string problem;
        const auto contents = readRegularFile(path, problem);
        ASSERT_TRUE(contents) << problem;
        EXPECT_TRUE(*contents == older || *contents == newer) << "round " << round << ": " << *contents;
    }
    std::filesystem::remove_all(directory);
}

// Opening a FIFO for reading waits for a writer that never comes; a device
// may answer forever. Neither may stop Dusk at start.
TEST(SettingsFile, ReadsOnlyRegularFilesAndNeverWaits) {
    const ScratchDirectory directory("read");
    ASSERT_EQ(::mkfifo((directory / "fifo").c_str(), 0600), 0);
    std::filesystem::create_symlink(directory / "fifo", directory / "link-to-fifo");
    std::filesystem::create_symlink("/dev/zero", directory / "link-to-device");
    std::filesystem::create_directory(directory / "directory");
    std::filesystem::create_symlink(directory / "nowhere", directory / "dangling");
    writeText(directory / "regular", "hotKeyCode=40\n");
    std::filesystem::create_symlink(directory / "regular", directory / "link-to-regular");

    ::alarm(10);  // a read that blocks fails the test instead of hanging it
    for (const std::string name : {"fifo", "link-to-fifo", "link-to-device", "directory"}) {
        std::string problem;
        EXPECT_FALSE(readRegularFile(directory / name, problem)) << name;
        EXPECT_EQ(problem, "not a regular file") << name;
    }
    for (const std::string name : {"missing", "dangling", "regular/below"}) {
        std::string problem = "stale";
        EXPECT_FALSE(readRegularFile(directory / name, problem)) << name;
        EXPECT_EQ(problem, "") << name;
    }
    std::string problem;
    EXPECT_EQ(readRegularFile(directory / "link-to-regular", problem), "hotKeyCode=40\n");
    ::alarm(0);
}

// The whole file up to the caller's limit, even where the size the file
// system reports is wrong (procfs says 0), and nothing beyond the limit.
TEST(SettingsFile, ReadsWholeFilesUpToTheLimit) {
    const ScratchDirectory directory("limit");
    std::string text(std::size_t{1} << 20, 'x');
    text.back() = 'y';
    writeText(directory / "at-limit", text);
    writeText(directory / "over-limit", text + "z");
    std::string problem;
    EXPECT_EQ(readRegularFile(directory / "at-limit", problem), text);
    EXPECT_FALSE(readRegularFile(directory / "over-limit", problem));
    EXPECT_EQ(problem, "larger than 1 MiB");
    EXPECT_EQ(readRegularFile(directory / "over-limit", problem, 2), text + "z");
    const auto status = readRegularFile("/proc/self/status", problem);
    ASSERT_TRUE(status) << problem;
    EXPECT_TRUE(status->starts_with("Name:")) << *status;
    EXPECT_NE(status->find("\nPid:"), std::string::npos);
}

TEST(SettingsFile, ADamagedFileIsNeverMovedOverAnEarlierOne) {
    const ScratchDirectory directory("aside");
    const std::string path = directory / "settings.conf";
    std::vector<std::string> asides;
    for (int round = 0; round < 3; ++round) {
        writeText(path, "damaged " + std::to_string(round));
        const auto aside = moveAside(path, "20261207T111500");
        ASSERT_TRUE(aside) << std::strerror(errno);
        asides.push_back(*aside);
    }
    EXPECT_EQ(asides, (std::vector<std::string>{path + ".corrupt-20261207T111500", path + ".corrupt-20261207T111500-2",
                                                path + ".corrupt-20261207T111500-3"}));
    for (int round = 0; round < 3; ++round) EXPECT_EQ(readText(asides[round]), "damaged " + std::to_string(round));
    EXPECT_FALSE(std::filesystem::exists(path));
    // A FIFO moves aside like a file, unopened.
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    const auto fifo = moveAside(path, "20261207T111501");
    ASSERT_TRUE(fifo);
    EXPECT_TRUE(std::filesystem::is_fifo(*fifo));
}

// The user's own copies beside the file are theirs, whatever their names.
TEST(SettingsFile, OnlyTheTemporariesOfUnfinishedSavesAreRemoved) {
    const ScratchDirectory directory("leftovers");
    const std::string path = directory / "settings.conf";
    const std::string save = ".settings.conf.dusk-unfinished-save-";
    for (const std::string& name : std::vector<std::string>{
             "settings.conf", save + "Ab3dE9", save + "000000", save + "Ab3dE", save + "Ab3dE9x", save + "ab-de9",
             "settings.conf.Ab3dE9", "settings.conf.backup", "settings.conf.bak001", "settings.conf.ORIG12",
             "settings.conf.corrupt-20261207T111500", ".other.conf.dusk-unfinished-save-Ab3dE9"}) {
        writeText(directory / name, "x");
    }
    std::filesystem::create_directory(directory / (save + "Dir123"));
    std::filesystem::create_symlink(directory / "settings.conf", directory / (save + "Lnk123"));
    auto kept = directory.names();
    const auto removed = removeUnfinishedSaves(path);
    EXPECT_EQ(std::set<std::string>(removed.begin(), removed.end()),
              (std::set<std::string>{directory / (save + "Ab3dE9"), directory / (save + "000000")}));
    kept.erase(save + "Ab3dE9");
    kept.erase(save + "000000");
    EXPECT_EQ(directory.names(), kept);
}

// A dotfiles manager keeps the file elsewhere and links to it: a save
// replaces that file, beside it, and the link stays a link. Lines Dusk does
// not own survive the save.
TEST(SettingsFile, ASaveThroughALinkReplacesTheLinkedFileAndKeepsTheUsersLines) {
    const ScratchDirectory directory("linked");
    std::filesystem::create_directory(directory / "dotfiles");
    const std::string linked = directory / "dotfiles/settings.conf";
    const std::string path = directory / "settings.conf";
    const std::string mine = "# my shortcut\n\nhotKeyCode = 40\r\nmine=7\n# end\n";
    writeText(linked, mine);
    std::filesystem::create_symlink("dotfiles/settings.conf", path);
    const SettingsValues values{{"hotKeyCode", 38}, {"hotKeyModifiers", 786432}, {"mine", 7}};
    const std::string saved = formatSettings(mine, values);
    EXPECT_EQ(saved, "# my shortcut\n\nhotKeyCode=38\nmine=7\n# end\nhotKeyModifiers=786432\n");
    ASSERT_TRUE(writeFileAtomically(path, saved)) << std::strerror(errno);
    EXPECT_TRUE(std::filesystem::is_symlink(path));
    EXPECT_EQ(readText(linked), saved);
    EXPECT_EQ(directory.names(), (std::set<std::string>{"dotfiles", "settings.conf"}));
    EXPECT_EQ(parseSettings(formatSettings("", values)), values);
    // Its leftovers are found beside the linked file.
    writeText(directory / "dotfiles/.settings.conf.dusk-unfinished-save-Ab3dE9", "x");
    EXPECT_EQ(removeUnfinishedSaves(path),
              std::vector<std::string>{directory / "dotfiles/.settings.conf.dusk-unfinished-save-Ab3dE9"});
}

// What the store reports to the user is errno after the save: cleaning up
// the temporary file must not change it, nor leave the file behind.
TEST(SettingsFile, AFailedSaveSaysWhyAndLeavesNothingBehind) {
    const ScratchDirectory directory("failed");
    const std::string path = directory / "settings.conf";
    writeText(path, "hotKeyCode=2\n");
    errno = 0;
    EXPECT_FALSE(writeFileAtomically(directory / "missing/settings.conf", "x"));
    EXPECT_EQ(errno, ENOENT);

    // A file size limit fails the write after the temporary exists, as a
    // full disk does, with no privileges needed.
    const pid_t writer = ::fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4, 4};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const bool saved = writeFileAtomically(path, formatSettings("", {{"hotKeyCode", 40}}));
        ::_exit(!saved && errno == EFBIG ? 0 : 1);
    }
    int status = 0;
    ::waitpid(writer, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the save did not fail with EFBIG";
    EXPECT_EQ(directory.names(), std::set<std::string>{"settings.conf"});
    EXPECT_EQ(readText(path), "hotKeyCode=2\n");
}

// --- Autostart entry -------------------------------------------------------------

// What a desktop's launcher does with the Exec line: the key file's
// unescaping, "%%" to "%", then the shell-style argument split.
std::string launchedProgram(const std::string& execValue) {
    const std::string entry = "[Desktop Entry]\nType=Application\nName=Dusk\nExec=" + execValue + "\n";
    g_autoptr(GKeyFile) keyFile = g_key_file_new();
    EXPECT_TRUE(g_key_file_load_from_data(keyFile, entry.c_str(), entry.size(), G_KEY_FILE_NONE, nullptr));
    g_autofree gchar* exec = g_key_file_get_string(keyFile, "Desktop Entry", "Exec", nullptr);
    std::string expanded;
    for (const char* c = exec; *c != '\0'; ++c) {
        if (c[0] == '%' && c[1] == '%') ++c;
        expanded += *c;
    }
    gint argc = 0;
    g_auto(GStrv) argv = nullptr;
    EXPECT_TRUE(g_shell_parse_argv(expanded.c_str(), &argc, &argv, nullptr)) << expanded;
    EXPECT_EQ(argc, 1) << expanded;
    return argc > 0 ? argv[0] : "";
}

TEST(DesktopEntry, ExecStartsExactlyTheGivenPath) {
    for (const std::string& path : std::vector<std::string>{
             "/usr/bin/dusk", "/home/a b/Dusk apps/bin/dusk", "/opt/it's \"Dusk\"/dusk", "/tmp/$HOME/`id`/dusk",
             "/tmp/100%/%f/dusk", "/tmp/back\\slash\\\\/dusk", "/tmp/new\nline/tab\t/dusk", "/tmp/;|&<>*?#()~/dusk"}) {
        EXPECT_EQ(launchedProgram(execArgument(path)), path);
        // Dusk reads its own entry back as the launcher does.
        EXPECT_EQ(execProgram(desktopEntryKeys(autostartEntry(path)).at("Exec")), path);
    }
    EXPECT_EQ(execProgram("dusk --flag"), "dusk");
}

TEST(DesktopEntry, ReadsTheMainGroupUnescaped) {
    const auto keys =
        desktopEntryKeys("# c\n[Desktop Entry]\nHidden = true\nName=A\\sB\\\\\n[Desktop Action x]\nHidden=false\n");
    EXPECT_EQ(keys.at("Hidden"), "true");
    EXPECT_EQ(keys.at("Name"), "A B\\");
    EXPECT_EQ(desktopEntryKeys("[Desktop Entry]\r\nHidden=true\r\n").at("Hidden"), "true");
}

// The arguments a launcher runs for a group's Exec key.
std::vector<std::string> execArguments(const std::string& entry, const char* group) {
    g_autoptr(GKeyFile) keyFile = g_key_file_new();
    EXPECT_TRUE(g_key_file_load_from_data(keyFile, entry.c_str(), entry.size(), G_KEY_FILE_NONE, nullptr));
    g_autofree gchar* exec = g_key_file_get_string(keyFile, group, "Exec", nullptr);
    gint argc = 0;
    g_auto(GStrv) argv = nullptr;
    EXPECT_TRUE(g_shell_parse_argv(exec != nullptr ? exec : "", &argc, &argv, nullptr)) << entry;
    return argv != nullptr ? std::vector<std::string>(argv, argv + argc) : std::vector<std::string>{};
}

TEST(DesktopEntry, TheInstalledFileAndTheAutostartEntryStartTheProgramWithItsArguments) {
    const std::string program = "/opt/it's \"Dusk\" $HOME/bin/dusk";
    const auto installed = pointedAt(
        "[Desktop Entry]\nName=Dusk\nExec=dusk\nActions=toggle;\nX-Exec=dusktop\n\n"
        "[Desktop Action toggle]\nExec=dusk toggle\n",
        program);
    ASSERT_TRUE(installed);
    EXPECT_EQ(execArguments(*installed, "Desktop Entry"), std::vector<std::string>{program});
    EXPECT_EQ(execArguments(*installed, "Desktop Action toggle"), (std::vector<std::string>{program, "toggle"}));
    // Only the lines that start dusk change.
    EXPECT_NE(installed->find("\nX-Exec=dusktop\n"), std::string::npos);
    EXPECT_FALSE(pointedAt("[Desktop Entry]\nExec=other\n", program));
    EXPECT_EQ(execArguments(autostartEntry(program), "Desktop Entry"), std::vector<std::string>{program});
}

}  // namespace
}  // namespace dusk::backend
