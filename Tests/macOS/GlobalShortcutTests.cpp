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
