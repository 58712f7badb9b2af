// The recorder window and the hot key menu item, as the user meets them.
#include <gtest/gtest.h>

#include "DuskTest.h"
#include "HotKeyManager.h"
#include "HotKeyRecorderView.h"

namespace dusk::test {
namespace {

constexpr std::uint32_t controlOptionCommand = 0x1900;

std::shared_ptr<platform::Window> openRecorder() {
    fake::chooseMenuItem(menuTitle(1));
    const auto windows = fake::openWindows();
    return windows.empty() ? nullptr : windows.back();
}

std::string currentShortcutText(const platform::Window& window) {
    // The third arranged view of the main stack.
    const auto& stack = window.impl().contentView->impl().subviews.at(0);
    return stack->impl().subviews.at(2)->impl().text;
}

TEST(RecorderWindow, CarriesEveryValueOfItsViewTree) {
    const auto app = launchDusk();
    fake::otherAppComesForward();
    const auto window = openRecorder();
    ASSERT_TRUE(window);
    const auto& w = window->impl();
    EXPECT_EQ(w.contentRect.width, 340);
    EXPECT_EQ(w.contentRect.height, 170);
    EXPECT_EQ(w.styleMask, 3u);
    EXPECT_EQ(w.backing, platform::BackingStoreType::Buffered);
    EXPECT_FALSE(w.defer);
    EXPECT_EQ(w.title, "Dusk Hotkey");
    EXPECT_FALSE(w.releasedWhenClosed);
    EXPECT_EQ(w.level, platform::WindowLevel::Floating);
    EXPECT_TRUE(w.centered);
    EXPECT_TRUE(w.key);
    EXPECT_EQ(w.delegate.lock(), app);
    EXPECT_TRUE(fake::appIsActive());

    const auto& content = w.contentView->impl();
    EXPECT_EQ(content.kind, platform::ViewKind::Plain);
    ASSERT_EQ(content.subviews.size(), 1u);
    const auto* stack = content.subviews[0].get();
    const auto& s = stack->impl();
    EXPECT_EQ(s.kind, platform::ViewKind::Stack);
    EXPECT_EQ(s.orientation, platform::UserInterfaceLayoutOrientation::Vertical);
    EXPECT_EQ(s.stackAlignment, platform::LayoutAttribute::CenterX);
    EXPECT_EQ(s.spacing, 10);
    EXPECT_EQ(s.edgeInsets.top, 16);
    EXPECT_EQ(s.edgeInsets.left, 20);
    EXPECT_EQ(s.edgeInsets.bottom, 16);
    EXPECT_EQ(s.edgeInsets.right, 20);
    EXPECT_FALSE(s.translatesAutoresizingMaskIntoConstraints);
    std::vector<platform::LayoutAttribute> pinned;
    for (const auto& [constraint, active] : fake::constraintsOf(stack)) {
        EXPECT_TRUE(active);
        EXPECT_EQ(constraint.second->view, w.contentView.get());
        EXPECT_EQ(constraint.first.attribute, constraint.second->attribute);
        pinned.push_back(constraint.first.attribute);
    }
    using enum platform::LayoutAttribute;
    EXPECT_EQ(pinned, (std::vector{Top, Bottom, Leading, Trailing}));

    ASSERT_EQ(s.subviews.size(), 4u);
    const auto& prompt = s.subviews[0]->impl();
    EXPECT_EQ(prompt.text, "Press the shortcut you want to use to toggle Light/Dark mode.");
    EXPECT_EQ(prompt.alignment, platform::TextAlignment::Center);
    EXPECT_EQ(prompt.maximumNumberOfLines, 2);
    EXPECT_EQ(prompt.preferredMaxLayoutWidth, 300);
    EXPECT_EQ(prompt.font, platform::Font::systemFontOfSize(12));
    EXPECT_EQ(prompt.textColor, platform::Color::secondaryLabelColor());

    auto* recorder = s.subviews[1].get();
    EXPECT_NE(dynamic_cast<HotKeyRecorderView*>(recorder), nullptr);
    EXPECT_FALSE(recorder->impl().translatesAutoresizingMaskIntoConstraints);
    std::vector<std::pair<platform::LayoutAttribute, double>> size;
    for (const auto& [constraint, active] : fake::constraintsOf(recorder)) {
        if (constraint.first.view != recorder || constraint.second) continue;
        EXPECT_TRUE(active);
        size.emplace_back(constraint.first.attribute, constraint.constant);
    }
    EXPECT_EQ(size, (std::vector<std::pair<platform::LayoutAttribute, double>>{{Height, 44}, {Width, 260}}));
    EXPECT_EQ(w.firstResponder, recorder);

    const auto& current = s.subviews[2]->impl();
    EXPECT_EQ(current.text, "Current: ⌃⌥⌘D");
    EXPECT_EQ(current.font, platform::Font::systemFontOfSize(11));
    EXPECT_EQ(current.textColor, platform::Color::tertiaryLabelColor());

    const auto& row = s.subviews[3]->impl();
    EXPECT_EQ(row.orientation, platform::UserInterfaceLayoutOrientation::Horizontal);
    EXPECT_EQ(row.spacing, 8);
    ASSERT_EQ(row.subviews.size(), 2u);
    const auto& clear = row.subviews[0]->impl();
    const auto& cancel = row.subviews[1]->impl();
    EXPECT_EQ(clear.text, "Clear Hotkey");
    EXPECT_EQ(clear.action, "clearHotKey");
    EXPECT_EQ(clear.target.lock(), app);
    EXPECT_EQ(clear.bezelStyle, platform::BezelStyle::Rounded);
    EXPECT_EQ(clear.keyEquivalent, "");
    EXPECT_EQ(cancel.text, "Cancel");
    EXPECT_EQ(cancel.action, "cancelRecorder");
    EXPECT_EQ(cancel.target.lock(), app);
    EXPECT_EQ(cancel.bezelStyle, platform::BezelStyle::Rounded);
    EXPECT_EQ(cancel.keyEquivalent, "\x1b");
}

TEST(RecorderWindow, RecordingStoresRegistersAndCloses) {
    const auto app = launchDusk();
    openRecorder();
    fake::typeKey(40, 0x120000);
    auto& defaults = platform::UserDefaults::standardUserDefaults();
    EXPECT_EQ(defaults.integerForKey("hotKeyCode"), 40);
    EXPECT_EQ(defaults.integerForKey("hotKeyModifiers"), 0x120000);
    EXPECT_TRUE(fake::openWindows().empty());
    ASSERT_EQ(fake::registrations().size(), 1u);
    EXPECT_EQ(fake::registrations()[0].keyCode, 40u);
    EXPECT_EQ(fake::registrations()[0].carbonModifiers, 0x300u);
    EXPECT_EQ(menuTitle(1), "Hotkey: ⇧⌘K…");
    EXPECT_TRUE(fake::alerts().empty());
    EXPECT_EQ(fake::pressHotKey(40, 0x300), platform::noErr);
}

TEST(RecorderWindow, WhileOpenTheOldShortcutIsCapturedNotTriggered) {
    const auto app = launchDusk();
    openRecorder();
    EXPECT_EQ(fake::pressHotKey(2, controlOptionCommand), std::nullopt);
    EXPECT_EQ(fake::pendingMainQueueItems(), 0u);
    EXPECT_EQ(menuTitle(1), "Hotkey: ⌃⌥⌘D (not registered)…");
    // Typed into the focused recorder it is recorded like any other.
    fake::typeKey(2, 0x1C0000);
    EXPECT_TRUE(fake::openWindows().empty());
    EXPECT_EQ(menuTitle(1), "Hotkey: ⌃⌥⌘D…");
    EXPECT_TRUE(fake::scriptsRun().empty());
    EXPECT_TRUE(platform::UserDefaults::standardUserDefaults().objectForKey("hotKeyCode"));
}

TEST(RecorderWindow, EveryWayOfClosingRestoresTheRegistration) {
    const auto app = launchDusk();
    const std::vector<std::pair<std::string, std::function<void()>>> ways{
        {"Cancel button", [] { fake::clickButton("Cancel"); }},
        {"Escape in the recorder", [] { fake::typeKey(53); }},
        {"Escape as the Cancel button's key equivalent",
         [] {
             fake::openWindows().back()->makeFirstResponder(nullptr);
             fake::typeKey(53);
         }},
        {"close button", [] { fake::pressCloseButton(); }},
        {"cancelRecorder", [&app] { app->perform("cancelRecorder"); }},
    };
    for (const auto& [name, close] : ways) {
        SCOPED_TRACE(name);
        openRecorder();
        ASSERT_TRUE(fake::registrations().empty());
        close();
        EXPECT_TRUE(fake::openWindows().empty());
        ASSERT_EQ(fake::registrations().size(), 1u);
        EXPECT_EQ(fake::registrations()[0].keyCode, 2u);
        EXPECT_EQ(menuTitle(1), "Hotkey: ⌃⌥⌘D…");
    }
    EXPECT_TRUE(fake::alerts().empty());
    EXPECT_FALSE(platform::UserDefaults::standardUserDefaults().objectForKey("hotKeyCode"));
}

TEST(RecorderWindow, ChoosingTheItemAgainBringsTheSameWindowForward) {
    const auto app = launchDusk();
    const auto first = openRecorder();
    Settings::setHotKey(HotKey{40, 0x100000});
    fake::otherAppComesForward();
    fake::chooseMenuItem(menuTitle(1));
    EXPECT_EQ(fake::openWindows(), std::vector{first});
    EXPECT_TRUE(fake::appIsActive());
    EXPECT_EQ(currentShortcutText(*first), "Current: ⌃⌥⌘D");
}

TEST(RecorderWindow, ClearHotkeyLeavesNothingRegisteredAcrossRestarts) {
    inNewProcess([] {
        const auto app = launchDusk();
        openRecorder();
        fake::clickButton("Clear Hotkey");
        EXPECT_TRUE(fake::openWindows().empty());
        EXPECT_TRUE(fake::registrations().empty());
        EXPECT_EQ(menuTitle(1), "Set Hotkey…");
        const auto window = openRecorder();
        ASSERT_TRUE(window);
        EXPECT_EQ(currentShortcutText(*window), "No hotkey set");
    });
    inNewProcess([] {
        const auto app = launchDusk();
        EXPECT_TRUE(fake::registrations().empty());
        EXPECT_EQ(menuTitle(1), "Set Hotkey…");
    });
}

TEST(RecorderWindow, ARefusedRecordingAlertsWhileTheWindowIsStillOpen) {
    const auto app = launchDusk();
    fake::holdInOtherApp(40, 0x100);
    openRecorder();
    fake::typeKey(40, 0x100000);
    ASSERT_EQ(fake::alerts().size(), 1u);
    EXPECT_EQ(fake::alerts()[0].alert.messageText, "Couldn't register ⌘K");
    EXPECT_EQ(fake::alerts()[0].openWindowTitles, std::vector<std::string>{"Dusk Hotkey"});
    EXPECT_TRUE(fake::openWindows().empty());
    EXPECT_EQ(Settings::hotKey(), (HotKey{40, 0x100000}));
    EXPECT_EQ(menuTitle(1), "Hotkey: ⌘K (not registered)…");
    // The silent retry on closing was made and logged, not shown.
    EXPECT_EQ(fake::alerts().size(), 1u);
    EXPECT_EQ(loggedTexts().back(), "RegisterEventHotKey ⌘K code=40 mods=256 status=-9878");
}

TEST(RecorderWindow, PlainKeysAreRefusedAndFunctionKeysAccepted) {
    const auto app = launchDusk();
    const auto window = openRecorder();
    fake::typeKey(40);
    EXPECT_EQ(fake::beeps(), 1);
    EXPECT_TRUE(fake::findLabel(*window, "Add ⌘, ⌥, or ⌃"));
    EXPECT_EQ(fake::openWindows().size(), 1u);
    fake::typeKey(96);
    EXPECT_TRUE(fake::openWindows().empty());
    EXPECT_EQ(Settings::hotKey(), (HotKey{96, 0}));
    EXPECT_EQ(menuTitle(1), "Hotkey: F5…");
}

TEST(RecorderWindow, TheStoredDefaultShowsAsCurrentAndRegistered) {
    const auto app = launchDusk();
    EXPECT_EQ(menuTitle(1), "Hotkey: ⌃⌥⌘D…");
    const auto window = openRecorder();
    EXPECT_EQ(currentShortcutText(*window), "Current: ⌃⌥⌘D");
}

TEST(RecorderWindow, AStoredShortcutWithStrayBitsReadsAsNotRegistered) {
    // Registered with the same Carbon mask, but not the shortcut stored.
    Settings::setHotKey(HotKey{2, 0x1C0000 | 0x10000});
    const auto app = launchDusk();
    HotKeyManager::shared().registerHotKey({2, 0x1C0000});
    EXPECT_EQ(menuTitle(1), "Hotkey: ⌃⌥⌘D (not registered)…");
}

TEST(RecorderWindow, WithTheDelegateGoneARecordingIsOnlyStored) {
    auto app = launchDusk();
    const auto window = openRecorder();
    app.reset();
    fake::typeKey(40, 0x100000);
    EXPECT_EQ(Settings::hotKey(), (HotKey{40, 0x100000}));
    EXPECT_TRUE(fake::registrations().empty());
    EXPECT_EQ(fake::openWindows(), std::vector{window});
    fake::typeKey(53);
    EXPECT_EQ(fake::openWindows(), std::vector{window});
}

}  // namespace
}  // namespace dusk::test
