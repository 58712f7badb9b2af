// The Linux backend's file formats and tables, checked against independent
// readers (GLib's desktop-entry and shell parsers) and against the facts of
// the X11 keyboard.
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

#include "DesktopEntry.h"
#include "KeyCodes.h"
#include "ScratchFiles.h"
#include "ScriptParser.h"
#include "SettingsFile.h"

namespace dusk::backend {
namespace {

// --- Settings file ----------------------------------------------------------------

TEST(SettingsFile, KeepsEveryValueAndTellsAStoredZeroFromAnAbsentKey) {
    const SettingsValues values{{"hotKeyCode", 0},
                                {"hotKeyModifiers", std::numeric_limits<std::int64_t>::min()},
                                {"other", std::numeric_limits<std::int64_t>::max()}};
    const auto read = parseSettings(formatSettings(values));
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
    const std::string older = formatSettings({{"hotKeyCode", 2}, {"hotKeyModifiers", 1835008}});
    const std::string newer = formatSettings({{"hotKeyCode", 40}, {"hotKeyModifiers", 1179648}});
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

TEST(SettingsFile, OnlyTheTemporariesOfUnfinishedSavesAreRemoved) {
    const ScratchDirectory directory("leftovers");
    const std::string path = directory / "settings.conf";
    for (const std::string name :
         {"settings.conf", "settings.conf.Ab3dE9", "settings.conf.000000", "settings.conf.Ab3dE",
          "settings.conf.Ab3dE9x", "settings.conf.corrupt-20261207T111500", "settings.conf.ab-de9",
          "other.conf.Ab3dE9"}) {
        writeText(directory / name, "x");
    }
    std::filesystem::create_directory(directory / "settings.conf.Dir123");
    std::filesystem::create_symlink(directory / "settings.conf", directory / "settings.conf.Lnk123");
    const auto removed = removeUnfinishedSaves(path);
    EXPECT_EQ(std::set<std::string>(removed.begin(), removed.end()),
              (std::set<std::string>{directory / "settings.conf.Ab3dE9", directory / "settings.conf.000000"}));
    EXPECT_EQ(directory.names(),
              (std::set<std::string>{"settings.conf", "settings.conf.Ab3dE", "settings.conf.Ab3dE9x",
                                     "settings.conf.corrupt-20261207T111500", "settings.conf.ab-de9",
                                     "other.conf.Ab3dE9", "settings.conf.Dir123", "settings.conf.Lnk123"}));
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
        const bool saved = writeFileAtomically(path, formatSettings({{"hotKeyCode", 40}}));
        ::_exit(!saved && errno == EFBIG ? 0 : 1);
    }
    int status = 0;
    ::waitpid(writer, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the save did not fail with EFBIG";
    EXPECT_EQ(directory.names(), std::set<std::string>{"settings.conf"});
    EXPECT_EQ(readText(path), "hotKeyCode=2\n");
}

// --- Script runner --------------------------------------------------------------

TEST(ScriptParser, UnderstandsWhatSystemEventsAppearancePreferencesUnderstand) {
    using Changes = std::vector<DarkModeChange>;
    const auto changes = [](std::string_view source) {
        const auto parsed = parseScript(source);
        const auto* error = std::get_if<ScriptError>(&parsed);
        EXPECT_EQ(error, nullptr) << source << ": " << (error ? error->message : "");
        return error ? Changes{} : std::get<Changes>(parsed);
    };
    EXPECT_EQ(changes("tell application \"System Events\"\n    tell appearance preferences\n"
                      "        set dark mode to not dark mode\n    end tell\nend tell"),
              Changes{DarkModeChange::Toggle});
    EXPECT_EQ(changes("tell app \"System Events\" to tell appearance preferences to set dark mode to true"),
              Changes{DarkModeChange::Dark});
    EXPECT_EQ(changes("-- comment\nTELL APPLICATION \"System Events\"\r\nTell Appearance Preferences\n"
                      "set dark mode to false # why not\nset dark mode to ¬\n  true\nend\nend tell\n"),
              (Changes{DarkModeChange::Light, DarkModeChange::Dark}));
    EXPECT_EQ(changes(""), Changes{});
}

TEST(ScriptParser, FailsAsTheRealRunnerWouldWithItsErrorNumbers) {
    const auto error = [](std::string_view source) {
        const auto parsed = parseScript(source);
        const auto* failure = std::get_if<ScriptError>(&parsed);
        EXPECT_NE(failure, nullptr) << source;
        return failure ? *failure : ScriptError{};
    };
    EXPECT_EQ(error("tell application \"Finder\" to set dark mode to true").message,
              "Can't get application \"Finder\".");
    EXPECT_EQ(error("tell application \"Finder\" to set dark mode to true").number, noSuchObjectError);
    EXPECT_EQ(error("tell application \"System Events\"\ntell appearance preferences\nset dark mode to true\n").number,
              syntaxError);
    EXPECT_EQ(error("tell application \"System Events\" to set dark mode to true").number, writeDeniedError);
    EXPECT_EQ(error("set dark mode to maybe").number, syntaxError);
    EXPECT_EQ(error("tell application \"System Events").number, syntaxError);
    EXPECT_EQ(error("tell appearance preferences to set dark mode to true").number, noSuchObjectError);
    std::string deep;
    for (int i = 0; i < 10000; ++i) deep += "tell application \"System Events\"\n";
    EXPECT_EQ(error(deep).number, syntaxError);
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
    }
}

TEST(DesktopEntry, ReadsTheMainGroupUnescaped) {
    const auto keys =
        desktopEntryKeys("# c\n[Desktop Entry]\nHidden = true\nName=A\\sB\\\\\n[Desktop Action x]\nHidden=false\n");
    EXPECT_EQ(keys.at("Hidden"), "true");
    EXPECT_EQ(keys.at("Name"), "A B\\");
}

// --- Key table ---------------------------------------------------------------

TEST(KeyCodes, EveryListedKeyRoundTripsAndNoTwoShareACode) {
    // An X keycode is one key; a virtual key may have more than one place
    // (F13 and Print), the first of them its own.
    std::set<std::uint16_t> virtualKeys;
    std::set<std::uint8_t> xKeycodes;
    for (const auto& [virtualKey, xKeycode] : keyTable()) {
        EXPECT_EQ(virtualKeyForXKeycode(xKeycode), virtualKey) << int(xKeycode);
        EXPECT_TRUE(xKeycodes.insert(xKeycode).second) << int(xKeycode);
        const auto places = xKeycodesForVirtualKey(virtualKey);
        EXPECT_NE(std::find(places.begin(), places.end(), xKeycode), places.end()) << virtualKey;
        if (virtualKeys.insert(virtualKey).second) {
            EXPECT_EQ(xKeycodeForVirtualKey(virtualKey), xKeycode) << virtualKey;
        }
    }
    for (const auto virtualKey : virtualKeys) {
        EXPECT_EQ(xKeycodeForVirtualKey(virtualKey), xKeycodesForVirtualKey(virtualKey).front()) << virtualKey;
    }
}

TEST(KeyCodes, PrintScrollLockAndPauseAreF13ToF15AsOnAMac) {
    // Evdev's SYSRQ, SCROLLLOCK and PAUSE, and F13 to F15 themselves.
    EXPECT_EQ(virtualKeyForXKeycode(99 + 8), 105);
    EXPECT_EQ(virtualKeyForXKeycode(70 + 8), 107);
    EXPECT_EQ(virtualKeyForXKeycode(119 + 8), 113);
    EXPECT_EQ(xKeycodesForVirtualKey(105), (std::vector<std::uint8_t>{183 + 8, 99 + 8}));
    EXPECT_EQ(xKeycodesForVirtualKey(107), (std::vector<std::uint8_t>{184 + 8, 70 + 8}));
    EXPECT_EQ(xKeycodesForVirtualKey(113), (std::vector<std::uint8_t>{185 + 8, 119 + 8}));
}

TEST(KeyCodes, TheIsoAndJisKeysHaveTheCodesAMacGivesThem) {
    // On Apple's ISO keyboards the key left of 1 is kVK_ISO_Section (10) and
    // the key beside the left Shift is kVK_ANSI_Grave (50).
    EXPECT_EQ(virtualKeyForXKeycode(41 + 8), 10);  // KEY_GRAVE, left of 1
    EXPECT_EQ(virtualKeyForXKeycode(86 + 8), 50);  // KEY_102ND, beside left Shift
    // kVK_JIS_Yen, _Underscore, _KeypadComma, _Eisu and _Kana; an Apple
    // keyboard's Eisu and Kana arrive as LANG2 and LANG1 (Hanja, Hangeul).
    EXPECT_EQ(virtualKeyForXKeycode(124 + 8), 0x5D);
    EXPECT_EQ(virtualKeyForXKeycode(89 + 8), 0x5E);
    EXPECT_EQ(virtualKeyForXKeycode(95 + 8), 0x5F);
    EXPECT_EQ(virtualKeyForXKeycode(94 + 8), 0x66);
    EXPECT_EQ(virtualKeyForXKeycode(123 + 8), 0x66);
    EXPECT_EQ(virtualKeyForXKeycode(93 + 8), 0x68);
    EXPECT_EQ(virtualKeyForXKeycode(122 + 8), 0x68);
    // Keys a Mac has no code for stay out, so nothing unnameable is stored:
    // Menu (COMPOSE), Henkan, Zenkaku/Hankaku.
    for (const int evdev : {127, 92, 85}) EXPECT_FALSE(virtualKeyForXKeycode(evdev + 8)) << evdev;
}

TEST(KeyCodes, CoversTheAnsiAndIsoKeyboardsAtTheirX11Keycodes) {
    // Letters, digits and punctuation of ANSI, the ISO extra key, Return,
    // Tab, Space, both deletes, Escape, arrows, Home/End/Page keys, F1-F20
    // and the keypad.
    for (std::uint16_t key = 0; key <= 50; ++key) EXPECT_TRUE(xKeycodeForVirtualKey(key)) << key;
    for (const int key : {51, 53,  115, 116, 117, 119, 121, 123, 124, 125, 126, 122, 120, 99, 118, 96, 97,
                          98, 100, 101, 109, 103, 111, 105, 107, 113, 106, 64,  79,  80,  90, 65,  67, 69,
                          71, 75,  76,  78,  81,  82,  83,  84,  85,  86,  87,  88,  89,  91, 92}) {
        EXPECT_TRUE(xKeycodeForVirtualKey(static_cast<std::uint32_t>(key))) << key;
    }
    // Fixed points of the evdev keymap every X server uses today.
    EXPECT_EQ(xKeycodeForVirtualKey(2), 40);     // D
    EXPECT_EQ(xKeycodeForVirtualKey(40), 45);    // K
    EXPECT_EQ(xKeycodeForVirtualKey(16), 29);    // Y, which German keyboards label Z
    EXPECT_EQ(xKeycodeForVirtualKey(53), 9);     // Escape
    EXPECT_EQ(xKeycodeForVirtualKey(36), 36);    // Return
    EXPECT_EQ(xKeycodeForVirtualKey(122), 67);   // F1
    EXPECT_EQ(xKeycodeForVirtualKey(90), 198);   // F20
    EXPECT_EQ(xKeycodeForVirtualKey(123), 113);  // Left
    EXPECT_FALSE(xKeycodeForVirtualKey(0xFFFF));
    EXPECT_FALSE(virtualKeyForXKeycode(0));
}

}  // namespace
}  // namespace dusk::backend
