// A desktop that has the last word on the keys (a shortcuts portal) moving
// or dropping the registered shortcut after registration.
#include <gtest/gtest.h>

#include "DuskTest.h"
#include "HotKeyManager.h"

namespace dusk::test {
namespace {

constexpr std::uint32_t controlOptionCommand = 0x1900;
constexpr std::uint32_t controlShift = 0x1200;
constexpr std::uint32_t keyL = 37, keyF5 = 96;

TEST(HotKeyBinding, KeysTheDesktopMovesTheShortcutToAreShownStoredAndPressed) {
    const auto app = launchDusk();
    EXPECT_EQ(fake::rebindHotKey(std::pair{keyL, controlOptionCommand}), platform::noErr);
    const HotKey moved{keyL, Modifier::required};
    EXPECT_EQ(HotKeyManager::shared().registered(), moved);
    EXPECT_EQ(Settings::hotKey(), moved);
    EXPECT_EQ(loggedTexts().back(), "hot key binding changed by the desktop: ⌃⌥⌘L");
    EXPECT_EQ(menuTitle(1), "Hotkey: ⌃⌥⌘L…");
    EXPECT_FALSE(fake::pressHotKey(2, controlOptionCommand));
    EXPECT_EQ(fake::pressHotKey(keyL, controlOptionCommand), platform::noErr);
    fake::drainMainQueue();
    EXPECT_EQ(fake::scriptsRun().size(), 1u);
    // The same registration, moved: the manager did not register again.
    EXPECT_EQ(fake::registrations().size(), 1u);
    EXPECT_EQ(fake::unregisterCalls(), 0);
}

TEST(HotKeyBinding, EveryModifierTheDesktopNamesIsKept) {
    const auto app = launchDusk();
    fake::rebindHotKey(std::pair{keyF5, controlShift});
    EXPECT_EQ(Settings::hotKey(), (HotKey{keyF5, Modifier::control | Modifier::shift}));
    EXPECT_EQ(menuTitle(1), "Hotkey: ⌃⇧F5…");
    fake::rebindHotKey(std::pair{keyF5, 0x100u | 0x800u});
    EXPECT_EQ(Settings::hotKey(), (HotKey{keyF5, Modifier::option | Modifier::command}));
}

TEST(HotKeyBinding, KeysTheDesktopDropsLeaveTheShortcutStoredButNotRegistered) {
    const auto app = launchDusk();
    EXPECT_EQ(fake::rebindHotKey(std::nullopt), platform::noErr);
    EXPECT_FALSE(HotKeyManager::shared().registered());
    EXPECT_EQ(Settings::hotKey(), Settings::defaultHotKey);
    EXPECT_EQ(loggedTexts().back(), "hot key binding changed by the desktop: no keys");
    EXPECT_EQ(menuTitle(1), "Hotkey: ⌃⌥⌘D (not registered)…");
    // The registration stays, so the desktop may give keys back to it; and
    // the recorder still lets go of it.
    fake::rebindHotKey(std::pair{2u, controlOptionCommand});
    EXPECT_EQ(menuTitle(1), "Hotkey: ⌃⌥⌘D…");
    fake::chooseMenuItem("Hotkey: ⌃⌥⌘D…");
    EXPECT_TRUE(fake::registrations().empty());
}

TEST(HotKeyBinding, AChangeForAnotherHotKeyOrWithNothingRegisteredIsIgnored) {
    constexpr platform::OSType dusk = 0x4455534B;
    const std::pair keys{keyL, controlOptionCommand};
    Settings::setHotKey(std::nullopt);
    const auto app = launchDusk();
    auto lines = fake::logLines().size();
    EXPECT_EQ(fake::deliverHotKeyBindingChange({dusk, 1}, keys), platform::noErr);
    EXPECT_EQ(fake::logLines().size(), lines);
    EXPECT_EQ(Settings::hotKey(), std::nullopt);
    EXPECT_FALSE(HotKeyManager::shared().registered());

    Settings::setHotKey(Settings::defaultHotKey);
    ASSERT_TRUE(HotKeyManager::shared().registerHotKey(Settings::defaultHotKey));
    lines = fake::logLines().size();
    EXPECT_EQ(fake::deliverHotKeyBindingChange({dusk, 2}, keys), platform::noErr);
    EXPECT_EQ(fake::deliverHotKeyBindingChange({0x41424344, 1}, keys), platform::noErr);
    EXPECT_EQ(fake::logLines().size(), lines);
    EXPECT_EQ(HotKeyManager::shared().registered(), Settings::defaultHotKey);
    EXPECT_EQ(Settings::hotKey(), Settings::defaultHotKey);
}

}  // namespace
}  // namespace dusk::test
