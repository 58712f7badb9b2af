// "Launch at Login": the check mark always shows what the desktop reports.
#include <gtest/gtest.h>

#include "DuskTest.h"

namespace dusk::test {
namespace {

using platform::LoginItemStatus;

bool checkMark() { return fake::openMenu().at(3).checked; }

TEST(LaunchAtLogin, EachStatusChoosesEnableOrDisableAndTheMarkFollows) {
    struct Row {
        LoginItemStatus status;
        bool checkedBefore;
        bool enables;
    };
    const auto dusk = launchDusk();
    for (const auto& row :
         {Row{LoginItemStatus::NotRegistered, false, true}, Row{LoginItemStatus::Enabled, true, false},
          Row{LoginItemStatus::RequiresApproval, false, true}, Row{LoginItemStatus::NotFound, false, true}}) {
        SCOPED_TRACE(static_cast<int>(row.status));
        fake::setLoginItemStatus(row.status);
        EXPECT_EQ(checkMark(), row.checkedBefore);
        const int enables = fake::loginEnableCalls();
        const int disables = fake::loginDisableCalls();
        fake::chooseMenuItem("Launch at Login");
        EXPECT_EQ(fake::loginEnableCalls() - enables, row.enables ? 1 : 0);
        EXPECT_EQ(fake::loginDisableCalls() - disables, row.enables ? 0 : 1);
        EXPECT_EQ(checkMark(), row.enables);
    }
    EXPECT_TRUE(fake::alerts().empty());
}

void expectApprovalAlert(const fake::ShownAlert& shown) {
    EXPECT_EQ(shown.alert.messageText, "Dusk needs your approval to launch at login");
    EXPECT_EQ(shown.alert.informativeText,
              "Open System Settings › General › Login Items and allow Dusk, and it will launch when you log in.");
    EXPECT_EQ(shown.alert.buttons, (std::vector<std::string>{"Open System Settings", "Cancel"}));
}

TEST(LaunchAtLogin, AnEnableAwaitingApprovalOffersTheSettingsPageAndShowsNoMark) {
    const auto dusk = launchDusk();
    fake::onLoginEnable({std::nullopt, LoginItemStatus::RequiresApproval});
    fake::answerNextAlertWith(1);
    fake::chooseMenuItem("Launch at Login");
    EXPECT_EQ(fake::loginApprovalSettingsOpened(), 0);
    fake::chooseMenuItem("Launch at Login");
    EXPECT_EQ(fake::loginApprovalSettingsOpened(), 1);

    EXPECT_EQ(fake::loginEnableCalls(), 2);
    ASSERT_EQ(fake::alerts().size(), 2u);
    for (const auto& shown : fake::alerts()) expectApprovalAlert(shown);
    EXPECT_FALSE(checkMark());
}

// ServiceManagement may refuse to register again what the user has not
// approved: where Dusk runs from is not the trouble then.
TEST(LaunchAtLogin, AFailureWhileApprovalIsAwaitedOffersTheSettingsPageToo) {
    fake::setLoginItemStatus(LoginItemStatus::RequiresApproval);
    const auto dusk = launchDusk();
    fake::onLoginEnable({"Operation not permitted", std::nullopt});
    fake::chooseMenuItem("Launch at Login");
    ASSERT_EQ(fake::alerts().size(), 1u);
    expectApprovalAlert(fake::alerts()[0]);
    EXPECT_EQ(fake::loginApprovalSettingsOpened(), 1);
    EXPECT_FALSE(checkMark());
}

TEST(LaunchAtLogin, AFailureExplainsItselfAndLeavesTheMarkAsItWas) {
    const auto dusk = launchDusk();
    fake::onLoginEnable({"Operation not permitted", std::nullopt});
    fake::chooseMenuItem("Launch at Login");
    EXPECT_FALSE(checkMark());
    fake::setLoginItemStatus(LoginItemStatus::Enabled);
    fake::onLoginDisable({"Not permitted now", std::nullopt});
    fake::chooseMenuItem("Launch at Login");
    EXPECT_TRUE(checkMark());

    ASSERT_EQ(fake::alerts().size(), 2u);
    for (const auto& [shown, message] :
         {std::pair{fake::alerts()[0], "Operation not permitted"}, std::pair{fake::alerts()[1], "Not permitted now"}}) {
        EXPECT_EQ(shown.alert.messageText, message);
        EXPECT_EQ(shown.alert.informativeText,
                  "Launch at Login only works when Dusk is run from the built Dusk.app bundle.");
        EXPECT_TRUE(shown.alert.buttons.empty());
    }
    // Only the launch's registration was logged.
    EXPECT_EQ(fake::logLines().size(), 1u);
}

TEST(LaunchAtLogin, AChangeMadeInTheDesktopsSettingsShowsAtTheNextOpening) {
    fake::setLoginItemStatus(LoginItemStatus::Enabled);
    const auto dusk = launchDusk();
    EXPECT_TRUE(checkMark());
    fake::setLoginItemStatus(LoginItemStatus::NotRegistered);
    EXPECT_FALSE(checkMark());
}

TEST(LaunchAtLogin, TheRegistrationOutlivesTheProcess) {
    inNewProcess([] {
        const auto dusk = launchDusk();
        fake::chooseMenuItem("Launch at Login");
    });
    EXPECT_EQ(fake::loginItemStatus(), LoginItemStatus::Enabled);
    inNewProcess([] {
        const auto dusk = launchDusk();
        EXPECT_TRUE(checkMark());
    });
}

}  // namespace
}  // namespace dusk::test
