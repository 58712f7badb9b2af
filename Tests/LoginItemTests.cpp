// "Launch at Login": the check mark always shows what the platform reports.
#include <gtest/gtest.h>

#include "DuskTest.h"

namespace dusk::test {
namespace {

using platform::AppServiceStatus;
using platform::ControlStateValue;

ControlStateValue checkMark() { return fake::openMenu().at(3).state; }

TEST(LaunchAtLogin, EachStatusChoosesRegisterOrUnregisterAndTheMarkFollows) {
    struct Row {
        AppServiceStatus status;
        ControlStateValue before;
        bool registers;
        ControlStateValue after;
    };
    const std::vector<Row> rows{
        {AppServiceStatus::NotRegistered, ControlStateValue::Off, true, ControlStateValue::On},
        {AppServiceStatus::Enabled, ControlStateValue::On, false, ControlStateValue::Off},
        {AppServiceStatus::RequiresApproval, ControlStateValue::Off, true, ControlStateValue::On},
        {AppServiceStatus::NotFound, ControlStateValue::Off, true, ControlStateValue::On},
    };
    const auto app = launchDusk();
    for (const auto& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.status));
        fake::setLoginItemStatus(row.status);
        EXPECT_EQ(checkMark(), row.before);
        const int registers = fake::loginRegisterCalls();
        const int unregisters = fake::loginUnregisterCalls();
        fake::chooseMenuItem("Launch at Login");
        EXPECT_EQ(fake::loginRegisterCalls() - registers, row.registers ? 1 : 0);
        EXPECT_EQ(fake::loginUnregisterCalls() - unregisters, row.registers ? 0 : 1);
        // Set at the end of the action, before the menu opens again.
        EXPECT_EQ(fake::statusItem()->impl().menu->impl().items.at(3)->impl().state, row.after);
        EXPECT_EQ(checkMark(), row.after);
    }
    EXPECT_TRUE(fake::alerts().empty());
}

TEST(LaunchAtLogin, TheMarkIsSetWhenTheMenuIsBuilt) {
    fake::setLoginItemStatus(AppServiceStatus::Enabled);
    const auto app = launchDusk();
    EXPECT_EQ(fake::statusItem()->impl().menu->impl().items.at(3)->impl().state, ControlStateValue::On);
}

TEST(LaunchAtLogin, ARegistrationAwaitingApprovalShowsNoMarkAndNoAlert) {
    const auto app = launchDusk();
    fake::onLoginRegister({std::nullopt, AppServiceStatus::RequiresApproval});
    fake::chooseMenuItem("Launch at Login");
    EXPECT_EQ(fake::loginRegisterCalls(), 1);
    EXPECT_TRUE(fake::alerts().empty());
    EXPECT_EQ(checkMark(), ControlStateValue::Off);
}

TEST(LaunchAtLogin, AFailureExplainsItselfAndLeavesTheMarkAsItWas) {
    const auto app = launchDusk();
    const auto logged = fake::logLines().size();
    fake::onLoginRegister({platform::Error{"SMAppServiceErrorDomain", 1, "Operation not permitted"}, std::nullopt});
    fake::otherAppComesForward();
    fake::chooseMenuItem("Launch at Login");
    ASSERT_EQ(fake::alerts().size(), 1u);
    const auto& shown = fake::alerts()[0];
    EXPECT_TRUE(shown.alert.madeFromError);
    EXPECT_EQ(shown.alert.messageText, "Operation not permitted");
    EXPECT_EQ(shown.alert.informativeText,
              "Launch at Login only works when Dusk is run from the built Dusk.app bundle.");
    EXPECT_TRUE(shown.alert.buttons.empty());
    EXPECT_TRUE(shown.appActiveWhenShown);
    EXPECT_EQ(fake::logLines().size(), logged);
    EXPECT_EQ(checkMark(), ControlStateValue::Off);
}

TEST(LaunchAtLogin, AFailedUnregisterKeepsTheMark) {
    fake::setLoginItemStatus(AppServiceStatus::Enabled);
    const auto app = launchDusk();
    fake::onLoginUnregister({platform::Error{"SMAppServiceErrorDomain", 2, "Not permitted now"}, std::nullopt});
    fake::chooseMenuItem("Launch at Login");
    EXPECT_EQ(fake::alerts().at(0).alert.messageText, "Not permitted now");
    EXPECT_EQ(checkMark(), ControlStateValue::On);
}

TEST(LaunchAtLogin, AChangeMadeInSystemSettingsShowsAtTheNextOpening) {
    fake::setLoginItemStatus(AppServiceStatus::Enabled);
    const auto app = launchDusk();
    EXPECT_EQ(checkMark(), ControlStateValue::On);
    fake::setLoginItemStatus(AppServiceStatus::NotRegistered);
    EXPECT_EQ(checkMark(), ControlStateValue::Off);
}

TEST(LaunchAtLogin, TheRegistrationOutlivesTheProcess) {
    inNewProcess([] {
        const auto app = launchDusk();
        fake::chooseMenuItem("Launch at Login");
    });
    EXPECT_EQ(fake::loginItemStatus(), AppServiceStatus::Enabled);
    inNewProcess([] {
        const auto app = launchDusk();
        EXPECT_EQ(checkMark(), ControlStateValue::On);
    });
}

}  // namespace
}  // namespace dusk::test
