// dconf's files read without dconf, checked against dconf itself: databases
// compiled by `dconf compile`, user databases written by dconf's service on
// a private session bus, and every answer compared with `dconf read` under
// the same profile. Skipped, saying so, where dconf's tools are missing.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "DconfDatabase.h"
#include "ScratchFiles.h"

namespace dusk::backend {
namespace {

const std::string colorScheme = "/org/gnome/desktop/interface/color-scheme";
const std::string schemas = "/usr/share/glib-2.0/schemas";

bool haveProgram(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

// A command's standard output, or none when it fails. Every command is
// bounded by timeout(1), so a stuck peer fails the test instead of hanging it.
std::optional<std::string> run(const std::string& environment, const std::string& command) {
    const std::string line = "env " + environment + " timeout 30 " + command + " 2>/dev/null";
    const auto close = [](FILE* pipe) { return ::pclose(pipe); };
    std::unique_ptr<FILE, decltype(close)> pipe(::popen(line.c_str(), "r"), close);
    if (!pipe) return std::nullopt;
    std::string output;
    char buffer[4096];
    while (const auto n = std::fread(buffer, 1, sizeof buffer, pipe.get())) output.append(buffer, n);
    const int status = ::pclose(pipe.release());
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return output;
}

std::string quoted(const std::string& text) { return "'" + text + "'"; }

// A folder of keyfiles (and locks) as `dconf compile` takes them.
struct Keyfiles {
    std::map<std::string, std::map<std::string, std::string>> groups;  // dir -> key -> GVariant text
    std::vector<std::string> locks;
};

std::string compile(const ScratchDirectory& scratch, const std::string& name, const Keyfiles& keyfiles) {
    const std::string source = scratch / (name + ".d");
    std::filesystem::create_directories(source + "/locks");
    std::string text;
    for (const auto& [group, keys] : keyfiles.groups) {
        text.append("[").append(group).append("]\n");
        for (const auto& [key, value] : keys) text.append(key).append("=").append(value).append("\n");
    }
    writeText(source + "/00-settings", text);
    std::string locks;
    for (const auto& lock : keyfiles.locks) locks.append(lock).append("\n");
    writeText(source + "/locks/00-locks", locks);
    std::string database = scratch / name;
    EXPECT_TRUE(run("", "dconf compile " + database + " " + source)) << "dconf compile " << name;
    return database;
}

// What `dconf read` answers, as this reader should: the text of a string,
// none for an unset key or a value of another type.
std::optional<std::string> asString(const std::string& printed) {
    if (printed.size() >= 3 && printed.front() == '\'' && printed.ends_with("'\n")) {
        return printed.substr(1, printed.size() - 3);
    }
    return std::nullopt;
}

// A session of one's own: a private configuration and runtime folder, no
// profile but the one given, nothing from /etc.
class DconfSession {
public:
    explicit DconfSession(const std::string& name) : scratch_(name) {
        std::filesystem::create_directories(scratch_ / "config");
        std::filesystem::create_directories(scratch_ / "run");
        std::filesystem::create_directories(scratch_ / "etc");
        ::chmod((scratch_ / "run").c_str(), 0700);
        roots_.sysconfDir = scratch_ / "etc";
        roots_.configHome = scratch_ / "config";
        roots_.runtimeDir = scratch_ / "run";
    }

    const ScratchDirectory& scratch() const { return scratch_; }
    DconfRoots& roots() { return roots_; }

    // The environment that makes dconf's own tools look where the roots do.
    // dconf's /etc cannot be moved: tests that rely on it being empty check.
    std::string environment() const {
        std::string environment = "-u DCONF_PROFILE XDG_CONFIG_HOME=" + roots_.configHome +
                                  " XDG_RUNTIME_DIR=" + roots_.runtimeDir + " XDG_DATA_DIRS=";
        for (std::size_t i = 0; i < roots_.dataDirs.size(); ++i) environment += (i ? ":" : "") + roots_.dataDirs[i];
        if (roots_.dataDirs.empty()) environment += "/nonexistent";
        if (roots_.profileName) environment += " DCONF_PROFILE=" + *roots_.profileName;
        return environment;
    }

    void useProfile(const std::string& text) {
        writeText(scratch_ / "profile", text);
        roots_.profileName = scratch_ / "profile";
    }

    // Writes through dconf's service on a bus of its own.
    void write(const std::string& key, const std::string& value) const {
        ASSERT_TRUE(run(environment(), "dbus-run-session -- dconf write " + key + " \"" + value + "\""))
            << key << "=" << value;
    }
    void load(const std::string& dir, const std::string& keyfile) const {
        writeText(scratch_ / "load", keyfile);
        ASSERT_TRUE(
            run(environment(), "dbus-run-session -- sh -c 'dconf load " + dir + " < " + (scratch_ / "load") + "'"));
    }

    std::optional<std::string> dconfRead(const std::string& key) const {
        const auto printed = run(environment(), "dconf read " + key);
        EXPECT_TRUE(printed) << "dconf read " << key;
        return printed ? asString(*printed) : std::nullopt;
    }

    // What GSettings makes of GNOME's colour scheme over the same files: a
    // value of the wrong type or none at all reads as the schema's default.
    // None when GLib's tools or GNOME's schemas are missing.
    std::optional<std::string> gsettingsColorScheme() const {
        static const bool available =
            haveProgram("gsettings") && std::filesystem::exists(schemas + "/org.gnome.desktop.interface.gschema.xml");
        if (!available) return std::nullopt;
        const auto printed = run(environment() + " GSETTINGS_BACKEND=dconf GSETTINGS_SCHEMA_DIR=" + schemas,
                                 "gsettings get org.gnome.desktop.interface color-scheme");
        EXPECT_TRUE(printed) << "gsettings get";
        return asString(printed.value_or("'default'\n"));
    }

    // This reader and dconf agree on the key (and, for the colour scheme,
    // GSettings does too); answers what they agree on.
    std::optional<std::string> expectAgreement(const std::string& key) const {
        auto expected = dconfRead(key);
        const auto read = readDconfString(key, roots_);
        EXPECT_EQ(read, expected) << key;
        if (key == colorScheme) {
            if (const auto gsettings = gsettingsColorScheme()) {
                EXPECT_EQ(read.value_or("default"), *gsettings);
            }
        }
        return expected;
    }

private:
    ScratchDirectory scratch_;
    DconfRoots roots_;
};

#define REQUIRE_DCONF()                                                                         \
    if (!haveProgram("dconf") || !haveProgram("dbus-run-session"))                              \
    GTEST_SKIP() << "dconf (dconf-cli, dconf-service) and dbus-run-session are needed to make " \
                    "real databases"

// Keys in many folders, so that buckets hold several items and names share
// long parent chains. Strings, integers and booleans.
Keyfiles manyKeys(int count) {
    Keyfiles keyfiles;
    keyfiles.groups["org/gnome/desktop/interface"]["color-scheme"] = quoted("prefer-dark");
    keyfiles.groups["org/gnome/desktop/interface"]["text-scaling-factor"] = "1.25";
    keyfiles.groups["org/gnome/desktop/interface"]["cursor-size"] = "48";
    // "ab" and "bA" hash alike (97·33+98 = 98·33+65), and so do the names
    // below them: only their parents tell them apart.
    keyfiles.groups["collide/ab"]["k"] = quoted("under ab");
    keyfiles.groups["collide/bA"]["k"] = quoted("under bA");
    keyfiles.groups["alone/ab"]["k"] = quoted("alone");
    for (int i = 0; i < count; ++i) {
        const std::string group = "org/example/app" + std::to_string(i % 17) + "/section" + std::to_string(i % 5);
        keyfiles.groups[group]["key-" + std::to_string(i)] =
            i % 3 == 0 ? std::to_string(i) : quoted("value " + std::to_string(i));
    }
    return keyfiles;
}

// --- The GVDB file -------------------------------------------------------------------

TEST(DconfDatabase, FindsEveryKeyOfACompiledDatabaseAndNothingElse) {
    REQUIRE_DCONF();
    const ScratchDirectory scratch("dconf-many");
    const Keyfiles keyfiles = manyKeys(600);
    const auto database = DconfDatabase::open(compile(scratch, "db", keyfiles));
    ASSERT_TRUE(database);
    for (const auto& [group, keys] : keyfiles.groups) {
        for (const auto& [key, printed] : keys) {
            const std::string path = std::string("/").append(group).append("/").append(key);
            const auto value = database->value(path);
            ASSERT_TRUE(value) << path;
            EXPECT_EQ(value->text(), asString(printed + "\n")) << path;
            EXPECT_EQ(value->type, printed.starts_with('\'')                ? "s"
                                   : printed.find('.') != std::string::npos ? "d"
                                                                            : "i")
                << path;
        }
    }
    // Folders, prefixes, neighbours and extensions of stored names are not keys.
    for (const std::string& absent : std::vector<std::string>{
             "/org/gnome/desktop/interface/", "/org/gnome/desktop/interface",
             "/org/gnome/desktop/interface/color-schem", "/org/gnome/desktop/interface/color-scheme/",
             "/org/gnome/desktop/interface/color-schemes", "/org/gnome/desktop/interfac/color-scheme",
             "org/gnome/desktop/interface/color-scheme", "/", "", "/org/example/app1/section1/key-0", "/alone/bA/k",
             colorScheme + std::string(1, '\0')}) {
        EXPECT_FALSE(database->value(absent)) << absent;
    }
    EXPECT_FALSE(database->locks(colorScheme));
}

// The values' words follow the signature's byte order; the tables are
// little-endian either way, and a string reads the same.
TEST(DconfDatabase, ReadsBothByteOrdersAndRefusesOtherHeaders) {
    REQUIRE_DCONF();
    const ScratchDirectory scratch("dconf-order");
    Keyfiles keyfiles;
    keyfiles.groups["org/gnome/desktop/interface"]["color-scheme"] = quoted("prefer-light");
    const std::string bytes = readText(compile(scratch, "db", keyfiles));
    ASSERT_EQ(bytes.substr(0, 8), "GVariant");
    std::string swapped = bytes;
    swapped.replace(0, 8, "raVGtnai");
    EXPECT_EQ(DconfDatabase::fromBytes(swapped)->value(colorScheme)->text(), "prefer-light");
    std::string versioned = bytes;
    versioned[8] = 1;
    EXPECT_FALSE(DconfDatabase::fromBytes(versioned));
    // dconf's writer marks a replaced file by zeroing its first byte.
    std::string invalidated = bytes;
    invalidated[0] = '\0';
    EXPECT_FALSE(DconfDatabase::fromBytes(invalidated));
    EXPECT_FALSE(DconfDatabase::fromBytes(bytes.substr(0, 23)));
    EXPECT_FALSE(DconfDatabase::fromBytes(""));
}

TEST(DconfDatabase, OnlyAWellFormedStringIsText) {
    EXPECT_EQ((DconfValue{"s", std::string("dark\0", 5)}.text()), "dark");
    EXPECT_EQ((DconfValue{"s", std::string("\0", 1)}.text()), "");
    EXPECT_EQ((DconfValue{"s", std::string("h\xc3\xa9\0", 4)}.text()), "h\xc3\xa9");
    for (const std::string& data :
         {std::string("dark"), std::string(), std::string("da\0rk\0", 6), std::string("\xc3\0", 2),
          std::string("\xed\xa0\x80\0", 4), std::string("\xc0\xaf\0", 3), std::string("\xf4\x90\x80\x80\0", 5)}) {
        EXPECT_FALSE((DconfValue{"s", data}.text())) << data;
    }
    EXPECT_FALSE((DconfValue{"i", std::string("\0\0\0\0", 4)}.text()));
    EXPECT_FALSE((DconfValue{"ms", std::string("dark\0", 5)}.text()));
}

// Damage anywhere in a real database: at every length and at every byte,
// the reader answers the stored value or nothing, and never crashes or
// loops (the sanitizer build and the test's timeout watch both).
TEST(DconfDatabase, ADamagedDatabaseGivesTheValueOrNothing) {
    REQUIRE_DCONF();
    const ScratchDirectory scratch("dconf-damage");
    Keyfiles keyfiles = manyKeys(40);
    for (auto& [group, keys] : keyfiles.groups) {
        for (auto& [key, value] : keys) {
            if (key != "color-scheme") value = "7";  // the only string, so no other can be mistaken for it
        }
    }
    keyfiles.locks = {colorScheme, "/org/example/app1/section1/key-1"};
    const std::string bytes = readText(compile(scratch, "db", keyfiles));
    ASSERT_EQ(DconfDatabase::fromBytes(bytes)->value(colorScheme)->text(), "prefer-dark");
    ASSERT_TRUE(DconfDatabase::fromBytes(bytes)->locks(colorScheme));
    const auto valueAt = bytes.find("prefer-dark");
    ASSERT_NE(valueAt, std::string::npos);

    const auto check = [&](const std::string& damaged, const std::string& what) {
        const auto database = DconfDatabase::fromBytes(damaged);
        if (!database) return;
        const auto text = database->value(colorScheme).value_or(DconfValue{}).text();
        if (text) {
            EXPECT_EQ(*text, "prefer-dark") << what;
        }
        database->locks(colorScheme);
        database->value("/org/example/app1/section1/key-1");
    };
    for (std::size_t length = 0; length < bytes.size(); ++length)
        check(bytes.substr(0, length), "cut at " + std::to_string(length));
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        if (at >= valueAt && at < valueAt + 11) continue;  // a changed letter is a different string
        for (const int change : {0x00, 0xff, 0x80, 0x01, 0x7f}) {
            std::string damaged = bytes;
            damaged[at] = static_cast<char>(damaged[at] ^ change);
            check(damaged, "byte " + std::to_string(at) + " ^ " + std::to_string(change));
        }
    }
}

// --- The stack of databases, against dconf read ------------------------------------

TEST(DconfStack, TheUserDatabaseWrittenByDconfsServiceReadsAsDconfReadsIt) {
    REQUIRE_DCONF();
    DconfSession session("dconf-user");
    session.useProfile("user-db:user\n");
    EXPECT_EQ(session.expectAgreement(colorScheme), std::nullopt);  // no database yet
    session.write(colorScheme, "'prefer-dark'");
    EXPECT_EQ(session.expectAgreement(colorScheme), "prefer-dark");
    // Many more keys through one load, then a change and a reset.
    std::string keyfile;
    for (int i = 0; i < 300; ++i) {
        keyfile += "[app" + std::to_string(i % 13) + "/s" + std::to_string(i % 7) + "]\nk" + std::to_string(i) + "='v" +
                   std::to_string(i) + "'\n";
    }
    session.load("/org/example/", keyfile);
    for (const int i : {0, 1, 12, 13, 150, 299}) {
        const std::string key =
            "/org/example/app" + std::to_string(i % 13) + "/s" + std::to_string(i % 7) + "/k" + std::to_string(i);
        EXPECT_EQ(session.expectAgreement(key), "v" + std::to_string(i));
    }
    EXPECT_EQ(session.expectAgreement(colorScheme), "prefer-dark");
    session.write(colorScheme, "'default'");
    EXPECT_EQ(session.expectAgreement(colorScheme), "default");
    session.write("/org/gnome/desktop/interface/cursor-size", "32");
    EXPECT_EQ(session.expectAgreement("/org/gnome/desktop/interface/cursor-size"), std::nullopt);
    EXPECT_EQ(session.expectAgreement("/org/gnome/desktop/interface/gtk-theme"), std::nullopt);
    ASSERT_TRUE(run(session.environment(), "dbus-run-session -- dconf reset " + colorScheme));
    EXPECT_EQ(session.expectAgreement(colorScheme), std::nullopt);
}

// The first database holding the key decides, unless one further down locks
// it: then the search starts at the last database that does.
TEST(DconfStack, LocksInLowerDatabasesDecideWhereTheSearchStarts) {
    REQUIRE_DCONF();
    DconfSession session("dconf-locks");
    session.write(colorScheme, "'prefer-dark'");
    Keyfiles unlocked;
    unlocked.groups["org/gnome/desktop/interface"]["color-scheme"] = quoted("prefer-light");
    Keyfiles lockedWithValue = unlocked;
    lockedWithValue.groups["org/gnome/desktop/interface"]["color-scheme"] = quoted("default");
    lockedWithValue.locks = {colorScheme};
    Keyfiles lockedWithoutValue;
    lockedWithoutValue.groups["org/gnome/desktop/interface"]["gtk-theme"] = quoted("Adwaita");
    lockedWithoutValue.locks = {colorScheme};
    Keyfiles intValue;
    intValue.groups["org/gnome/desktop/interface"]["color-scheme"] = "1";
    const ScratchDirectory& scratch = session.scratch();
    const std::string site = compile(scratch, "site", unlocked);
    const std::string locked = compile(scratch, "locked", lockedWithValue);
    const std::string lockOnly = compile(scratch, "lock-only", lockedWithoutValue);
    const std::string integer = compile(scratch, "integer", intValue);

    session.useProfile("user-db:user\nfile-db:" + site + "\n");
    EXPECT_EQ(session.expectAgreement(colorScheme), "prefer-dark");
    session.useProfile("user-db:user\nfile-db:" + locked + "\nfile-db:" + site + "\n");
    EXPECT_EQ(session.expectAgreement(colorScheme), "default");
    // The lock's own database lacks the key: the search goes on below it.
    session.useProfile("user-db:user\nfile-db:" + lockOnly + "\nfile-db:" + site + "\n");
    EXPECT_EQ(session.expectAgreement(colorScheme), "prefer-light");
    session.useProfile("user-db:user\nfile-db:" + lockOnly + "\n");
    EXPECT_EQ(session.expectAgreement(colorScheme), std::nullopt);
    // Of two locks the lower one decides.
    session.useProfile("user-db:user\nfile-db:" + locked + "\nfile-db:" + lockOnly + "\nfile-db:" + site + "\n");
    EXPECT_EQ(session.expectAgreement(colorScheme), "prefer-light");
    // A lock in the first database counts for nothing.
    session.useProfile("file-db:" + locked + "\nfile-db:" + site + "\n");
    EXPECT_EQ(session.expectAgreement(colorScheme), "default");
    session.useProfile("file-db:" + lockOnly + "\nfile-db:" + site + "\n");
    EXPECT_EQ(session.expectAgreement(colorScheme), "prefer-light");
    // A value of another type ends the search: nothing below it is read.
    session.useProfile("file-db:" + integer + "\nfile-db:" + site + "\n");
    EXPECT_EQ(session.expectAgreement(colorScheme), std::nullopt);
    EXPECT_TRUE(run(session.environment(), "dconf read " + colorScheme).value_or("").starts_with("1"));
}

// System databases under sysconfDir, by name, with their locks.
TEST(DconfStack, SystemDatabasesAreFoundUnderTheirRoot) {
    REQUIRE_DCONF();
    DconfSession session("dconf-system");
    session.write(colorScheme, "'prefer-dark'");
    Keyfiles keyfiles;
    keyfiles.groups["org/gnome/desktop/interface"]["color-scheme"] = quoted("prefer-light");
    keyfiles.locks = {colorScheme};
    std::filesystem::create_directories(session.scratch() / "etc/dconf/db");
    std::filesystem::rename(compile(session.scratch(), "site", keyfiles), session.scratch() / "etc/dconf/db/site");
    std::filesystem::create_directories(session.scratch() / "etc/dconf/profile");
    writeText(session.scratch() / "etc/dconf/profile/user", "user-db:user\nsystem-db:site\n");
    EXPECT_EQ(readDconfString(colorScheme, session.roots()), "prefer-light");
    std::filesystem::remove(session.scratch() / "etc/dconf/db/site");
    EXPECT_EQ(readDconfString(colorScheme, session.roots()), "prefer-dark");
}

// Which profile applies, as dconf chooses it: DCONF_PROFILE by path or by
// name (under /etc, then the data folders), the session's runtime profile,
// the "user" profile, and else the user database alone.
TEST(DconfStack, TheProfileIsChosenAsDconfChoosesIt) {
    REQUIRE_DCONF();
    if (std::filesystem::exists("/etc/dconf/profile/user") ||
        std::filesystem::exists("/run/dconf/user/" + std::to_string(::getuid()))) {
        GTEST_SKIP() << "this machine's own dconf profile would decide for dconf read";
    }
    DconfSession session("dconf-profile");
    session.write(colorScheme, "'prefer-dark'");
    Keyfiles keyfiles;
    keyfiles.groups["org/gnome/desktop/interface"]["color-scheme"] = quoted("prefer-light");
    keyfiles.locks = {colorScheme};
    const std::string locked = compile(session.scratch(), "locked", keyfiles);

    EXPECT_EQ(session.expectAgreement(colorScheme), "prefer-dark");  // no profile anywhere: user-db:user
    const std::string share = session.scratch() / "share";
    std::filesystem::create_directories(share + "/dconf/profile");
    session.roots().dataDirs = {session.scratch() / "empty", share};
    writeText(share + "/dconf/profile/user", "user-db:user\nfile-db:" + locked + "\n");
    EXPECT_EQ(session.expectAgreement(colorScheme), "prefer-light");  // "user" from the data folders
    std::filesystem::create_directories(session.scratch() / "run/dconf");
    writeText(session.scratch() / "run/dconf/profile", "user-db:user\n");
    EXPECT_EQ(session.expectAgreement(colorScheme), "prefer-dark");  // the runtime profile first
    const std::string name = "dusk-test-" + std::to_string(::getpid());
    writeText(share + "/dconf/profile/" + name, "user-db:user\nfile-db:" + locked + "\n");
    session.roots().profileName = name;
    EXPECT_EQ(session.expectAgreement(colorScheme), "prefer-light");  // DCONF_PROFILE over the runtime one
    session.roots().profileName = name + "-missing";
    EXPECT_EQ(session.expectAgreement(colorScheme), std::nullopt);  // a missing named profile: no database
    session.useProfile("# nothing but a comment\n");
    EXPECT_EQ(session.expectAgreement(colorScheme), std::nullopt);
    session.useProfile("  user-db:user   # the user's own\n\nbogus\nsystem-db:\nfile-db:" + locked + "\n");
    EXPECT_EQ(session.expectAgreement(colorScheme), "prefer-light");
}

// A profile that exists but cannot be read ends the search for profiles:
// dconf does not fall back to a later folder. Root reads everything, so
// both readers run as nobody.
TEST(DconfStack, AnUnreadableProfileEndsTheSearch) {
    REQUIRE_DCONF();
    if (::geteuid() != 0 || !haveProgram("setpriv")) GTEST_SKIP() << "needs root to become nobody, and setpriv";
    constexpr uid_t nobody = 65534;
    DconfSession session("dconf-unreadable");
    Keyfiles keyfiles;
    keyfiles.groups["org/gnome/desktop/interface"]["color-scheme"] = quoted("prefer-light");
    const std::string site = compile(session.scratch(), "site", keyfiles);
    const std::string name = "dusk-test-" + std::to_string(::getpid());
    for (const std::string folder : {"first", "second"}) {
        std::filesystem::create_directories(session.scratch() / (folder + "/dconf/profile"));
        session.roots().dataDirs.push_back(session.scratch() / folder);
    }
    writeText(session.scratch() / ("second/dconf/profile/" + name), "file-db:" + site + "\n");
    const std::string unreadable = session.scratch() / ("first/dconf/profile/" + name);
    writeText(unreadable, "file-db:" + site + "\n");
    ::chmod(unreadable.c_str(), 0);
    session.roots().profileName = name;
    ::chmod(session.scratch().path().c_str(), 0755);

    const auto printed = run("", "setpriv --reuid=" + std::to_string(nobody) + " --regid=" + std::to_string(nobody) +
                                     " --clear-groups env " + session.environment() + " dconf read " + colorScheme);
    ASSERT_TRUE(printed);
    EXPECT_EQ(asString(*printed), std::nullopt);
    int answer[2];
    ASSERT_EQ(::pipe(answer), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(answer[0]);
        if (::setgroups(0, nullptr) != 0 || ::setresgid(nobody, nobody, nobody) != 0 ||
            ::setresuid(nobody, nobody, nobody) != 0) {
            ::_exit(2);
        }
        const std::string read = readDconfString(colorScheme, session.roots()).value_or("(none)");
        ::_exit(::write(answer[1], read.data(), read.size()) == static_cast<ssize_t>(read.size()) ? 0 : 3);
    }
    ::close(answer[1]);
    std::string read(64, '\0');
    const auto n = ::read(answer[0], read.data(), read.size());
    ::close(answer[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(read.substr(0, static_cast<std::size_t>(std::max<ssize_t>(n, 0))), "(none)");
    // Readable, the first folder's profile applies.
    EXPECT_EQ(readDconfString(colorScheme, session.roots()), "prefer-light");
}

TEST(DconfStack, ProfileLinesAreReadAsDconfReadsThem) {
    const std::string longName = "/var/lib/" + std::string(200, 'x');
    EXPECT_EQ(parseDconfProfile("user-db:user\n\t system-db:local  \n#system-db:off\nservice-db:safe/user # why\n"
                                "file-db:" +
                                longName + "\r\nnonsense\nuser-db:\nsystemdb:x\n:x\nuser-db: spaced name"),
              (std::vector<DconfSource>{{DconfSource::Kind::user, "user"},
                                        {DconfSource::Kind::system, "local"},
                                        {DconfSource::Kind::service, "safe/user"},
                                        {DconfSource::Kind::file, longName},
                                        {DconfSource::Kind::user, " spaced name"}}));
    EXPECT_TRUE(parseDconfProfile("").empty());
    EXPECT_EQ(parseDconfProfile(std::string("user-db:a\0b\n", 12)),
              (std::vector<DconfSource>{{DconfSource::Kind::user, "a"}}));
}

// What is at a database's path is whatever anyone put there: nothing usable
// means the next database decides, and nothing ever waits.
TEST(DconfStack, AnUnusableDatabaseIsSkippedWithoutWaiting) {
    REQUIRE_DCONF();
    DconfSession session("dconf-unusable");
    Keyfiles keyfiles;
    keyfiles.groups["org/gnome/desktop/interface"]["color-scheme"] = quoted("prefer-light");
    const std::string site = compile(session.scratch(), "site", keyfiles);
    session.useProfile("user-db:user\nfile-db:" + site + "\n");
    session.write(colorScheme, "'prefer-dark'");
    const std::string user = session.roots().configHome + "/dconf/user";
    const std::string good = readText(user);
    EXPECT_EQ(session.expectAgreement(colorScheme), "prefer-dark");

    ::alarm(60);  // a read that blocks fails the test instead of hanging it
    const auto replace = [&](const std::function<void()>& make) {
        std::filesystem::remove_all(user);
        make();
    };
    replace([&] { writeText(user, ""); });
    EXPECT_EQ(session.expectAgreement(colorScheme), "prefer-light");
    replace([&] { writeText(user, "GVariant garbage, not a database at all"); });
    EXPECT_EQ(session.expectAgreement(colorScheme), "prefer-light");
    replace([&] { writeText(user, good.substr(0, good.size() / 2)); });
    EXPECT_EQ(session.expectAgreement(colorScheme), "prefer-light");
    replace([&] { std::filesystem::create_directory(user); });
    EXPECT_EQ(session.expectAgreement(colorScheme), "prefer-light");
    // dconf itself would wait on a FIFO for ever; this reader must not.
    replace([&] { ASSERT_EQ(::mkfifo(user.c_str(), 0600), 0); });
    EXPECT_EQ(readDconfString(colorScheme, session.roots()), "prefer-light");
    replace([&] { std::filesystem::create_symlink("/dev/zero", user); });
    EXPECT_EQ(readDconfString(colorScheme, session.roots()), "prefer-light");
    // dconf would read this one; no settings database is ever this large.
    replace([&] { writeText(user, good + std::string(17u << 20, '\0')); });
    EXPECT_EQ(readDconfString(colorScheme, session.roots()), "prefer-light");
    ::alarm(0);
}

}  // namespace
}  // namespace dusk::backend
