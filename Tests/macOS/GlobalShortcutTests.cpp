// Dusk's shortcut as a Carbon hot key: what is asked of the event manager,
// what Dusk is told back, and which presses count.
#include <gtest/gtest.h>

#include "Doubles.h"
#include "platform/GlobalShortcut.h"

namespace dusk::macos::test {
namespace {

using platform::GlobalShortcut;
using platform::Shortcut;
namespace Modifier = platform::Modifier;

constexpr platform::mac::HotKeyId dusk1{0x4455534B, 1};
const Shortcut controlOptionCommandD{2, Modifier::control | Modifier::option | Modifier::command};

std::optional<platform::BindOutcome> bindNow(const Shortcut& shortcut) {
    std::optional<platform::BindOutcome> answer;
    GlobalShortcut::bind(shortcut, [&answer](const platform::BindOutcome& outcome) { answer = outcome; });
    return answer;
}

TEST(GlobalShortcut, InstallsItsPressHandlerOnceOnFirstUseAndLogsTheStatus) {
    answerInstallWith(-50);
    GlobalShortcut::onActivated([] {});
    ASSERT_EQ(handlersInstalled(), 1);
    ASSERT_EQ(loggedLines().size(), 1U);
    EXPECT_EQ(loggedLines()[0].text, "InstallEventHandler status=-50");
    EXPECT_EQ(loggedLines()[0].level, platform::LogLevel::Default);

    // A failed installation is not tried again; registrations still go ahead.
    EXPECT_EQ(bindNow(controlOptionCommandD)->status, 0);
    GlobalShortcut::onActivated([] {});
    EXPECT_EQ(handlersInstalled(), 1);
    EXPECT_EQ(loggedLines().size(), 1U);
}

TEST(GlobalShortcut, ABindIsAFirstUseToo) {
    bindNow(controlOptionCommandD);
    EXPECT_EQ(handlersInstalled(), 1);
    ASSERT_FALSE(loggedLines().empty());
    EXPECT_EQ(loggedLines()[0].text, "InstallEventHandler status=0");
}

TEST(GlobalShortcut, RegistersExclusivelyWithCarbonsMaskUnderDusksIdentifierAndAnswersAtOnce) {
    const auto outcome = bindNow(controlOptionCommandD);
    ASSERT_TRUE(outcome) << "a Mac answers before bind returns";
    EXPECT_EQ(outcome->call, "RegisterEventHotKey");
    EXPECT_EQ(outcome->status, 0);
    EXPECT_EQ(outcome->bound, controlOptionCommandD);
    EXPECT_TRUE(outcome->reason.empty());
    ASSERT_EQ(registrations().size(), 1U);
    EXPECT_EQ(registrations()[0].keyCode, 2U);
    EXPECT_EQ(registrations()[0].carbonModifiers, 0x1900U);
    EXPECT_EQ(registrations()[0].id, dusk1);
    // kEventHotKeyExclusive: keys another application holds are refused, not
    // shared with it.
    EXPECT_EQ(registrations()[0].options, 1U);

    // Each modifier has its own mask; bits Dusk gives no meaning to (Caps
    // Lock here) reach no mask, but the shortcut in effect keeps them.
    const Shortcut shiftCommandK{40, Modifier::shift | Modifier::command | 0x10000};
    EXPECT_EQ(bindNow(shiftCommandK)->bound, shiftCommandK);
    EXPECT_EQ(registrations().back().carbonModifiers, 0x300U);
    EXPECT_EQ(bindNow({96, 0})->bound, (Shortcut{96, 0}));
    EXPECT_EQ(registrations().back().carbonModifiers, 0U);
}

TEST(GlobalShortcut, EachBindLetsGoOfTheLastFirstAndUnbindOnlyOfWhatIsHeld) {
    bindNow(controlOptionCommandD);
    // The event manager would refuse keys it still holds for Dusk.
    EXPECT_EQ(bindNow(controlOptionCommandD)->status, 0);
    ASSERT_EQ(registrations().size(), 2U);
    ASSERT_EQ(unregistered().size(), 1U);
    EXPECT_EQ(unregistered()[0], registrations()[0].handle);

    GlobalShortcut::unbind();
    ASSERT_EQ(unregistered().size(), 2U);
    EXPECT_EQ(unregistered()[1], registrations()[1].handle);
    GlobalShortcut::unbind();
    EXPECT_EQ(unregistered().size(), 2U);
}

TEST(GlobalShortcut, ARefusalLeavesNothingBound) {
    bindNow(controlOptionCommandD);
    answerRegisterWith(eventHotKeyExistsErr);
    const auto outcome = bindNow({2, Modifier::command});
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->status, eventHotKeyExistsErr);
    EXPECT_FALSE(outcome->bound);
    // The earlier shortcut went before the attempt, and is not restored.
    ASSERT_EQ(unregistered().size(), 1U);
    GlobalShortcut::unbind();
    EXPECT_EQ(unregistered().size(), 1U);
}

TEST(GlobalShortcut, MacOS15Point0And15Point1RefuseOptionAndOptionShiftAlone) {
    using platform::mac::SystemVersion;
    constexpr platform::ModifierFlags capsLock = 0x10000;
    struct Row {
        SystemVersion version;
        bool refusesOptionAlone = false;
    };
    for (const auto& row : {Row{{14, 7, 1}, false}, Row{{15, 0, 0}, true}, Row{{15, 0, 1}, true}, Row{{15, 1, 1}, true},
                            Row{{15, 2, 0}, false}, Row{{26, 0, 0}, false}}) {
        SCOPED_TRACE(std::to_string(row.version.major) + "." + std::to_string(row.version.minor));
        runOnMacOS(row.version);
        for (const auto modifiers :
             {Modifier::option, Modifier::option | Modifier::shift, Modifier::option | capsLock}) {
            EXPECT_EQ(GlobalShortcut::refusesModifiers(modifiers), row.refusesOptionAlone);
        }
        // Any other modifier with them, or none of them, is taken.
        for (const auto modifiers : {Modifier::option | Modifier::command, Modifier::control | Modifier::option,
                                     Modifier::option | Modifier::shift | Modifier::control, Modifier::shift,
                                     Modifier::command, platform::ModifierFlags{0}}) {
            EXPECT_FALSE(GlobalShortcut::refusesModifiers(modifiers));
        }
    }
}

TEST(GlobalShortcut, ARefusalOfKeysThisMacOSRefusesEveryoneSaysSo) {
    const Shortcut optionD{2, Modifier::option};
    const std::string why =
        "This version of macOS doesn't allow shortcuts that use only ⌥ or ⌥⇧. Try a combination with ⌘ or ⌃.";
    runOnMacOS({15, 1, 0});
    answerRegisterWith(eventInternalErr);
    const auto refused = bindNow(optionD);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, eventInternalErr);
    EXPECT_FALSE(refused->bound);
    EXPECT_EQ(refused->reason, why);
    EXPECT_EQ(bindNow({2, Modifier::option | Modifier::shift})->reason, why);

    // Other keys refused there, and the same keys refused elsewhere, may be
    // another application's.
    EXPECT_EQ(bindNow({2, Modifier::option | Modifier::command})->reason, "");
    runOnMacOS({15, 2, 0});
    EXPECT_EQ(bindNow(optionD)->reason, "");

    // A Mac that takes them after all is believed.
    runOnMacOS({15, 0, 0});
    answerRegisterWith(0);
    const auto taken = bindNow(optionD);
    EXPECT_EQ(taken->bound, optionD);
    EXPECT_EQ(taken->reason, "");
}

TEST(GlobalShortcut, EveryPressIsLoggedAndOnlyDusksOwnActivates) {
    int activations = 0;
    GlobalShortcut::onActivated([&activations] { ++activations; });
    const auto logged = loggedLines().size();

    platform::mac::hotKeyPressed(dusk1);
    EXPECT_EQ(activations, 1);
    platform::mac::hotKeyPressed({0x4455534B, 2});
    platform::mac::hotKeyPressed({0x41424344, 1});
    EXPECT_EQ(activations, 1);

    ASSERT_EQ(loggedLines().size(), logged + 3);
    EXPECT_EQ(loggedLines()[logged].text, "hotkey event received sig=1146442571 id=1");
    EXPECT_EQ(loggedLines()[logged + 1].text, "hotkey event received sig=1146442571 id=2");
    EXPECT_EQ(loggedLines()[logged + 2].text, "hotkey event received sig=1094861636 id=1");
    for (std::size_t i = logged; i < loggedLines().size(); ++i) {
        EXPECT_EQ(loggedLines()[i].level, platform::LogLevel::Default);
    }
}

}  // namespace
}  // namespace dusk::macos::test
