// The backend inside its own message loop: posted work, one copy, the
// appearance changed by another program, and a hot key another program
// holds. Each test gives the loop a deadline.
#include <gtest/gtest.h>

#include "appearance/Personalize.h"
#include "common/Handles.h"
#include "platform/Appearance.h"
#include "platform/GlobalShortcut.h"
#include "platform/Session.h"

using platform::Session;

namespace {

constexpr int timedOut = 99;

// Runs `body` in a command's loop; the loop ends with `timedOut` if the body
// has not finished within ten seconds.
int inLoop(const std::function<void(Session::Finish)>& body) {
    return Session::runCommand([&body](Session::Finish finish) {
        static Session::Finish deadline;
        deadline = finish;
        ::SetTimer(nullptr, 0, 10000, [](HWND, UINT, UINT_PTR, DWORD) { deadline(timedOut); });
        body(finish);
    });
}

const platform::Shortcut ctrlAltWinD{2, 0x1C0000};

}  // namespace

TEST(Session, PostedWorkRunsLaterInOrderAndTheCommandsStatusIsTheExitStatus) {
    std::string ran;
    const int status = inLoop([&ran](Session::Finish finish) {
        Session::post([&ran] { ran += "1"; });
        Session::post([&ran, finish] {
            ran += "2";
            finish(7);
        });
        ran += "0";
    });
    EXPECT_EQ(status, 7);
    EXPECT_EQ(ran, "012");
}

TEST(Session, AnotherCopyIsOneHoldingTheSessionsMutex) {
    const dusk::backend::UniqueHandle other(::CreateMutexW(nullptr, FALSE, L"Local\\app.dusk.Dusk"));
    ASSERT_TRUE(other);
    std::optional<bool> answer;
    EXPECT_EQ(inLoop([&answer](Session::Finish finish) {
                  Session::findAnotherCopy([&answer, finish](bool another) {
                      answer = another;
                      finish(0);
                  });
                  EXPECT_FALSE(answer) << "answered later, not at once";
              }),
              0);
    EXPECT_EQ(answer, true);
}

TEST(Appearance, AChangeAnotherProgramWritesIsHeardAndDusksOwnLandsAfterItsBroadcast) {
    ASSERT_EQ(dusk::backend::writeSide(false), std::nullopt);
    EXPECT_EQ(inLoop([](Session::Finish finish) {
                  EXPECT_FALSE(platform::Appearance::isDark());
                  platform::Appearance::onChange([finish] {
                      if (platform::Appearance::isDark()) finish(0);
                  });
                  // As Settings would, without a word to Dusk.
                  dusk::backend::writeSide(true);
              }),
              0);
    bool done = false;
    EXPECT_EQ(inLoop([&done](Session::Finish finish) {
                  ASSERT_TRUE(platform::Appearance::isDark());
                  platform::Appearance::toggle([&done, finish](const auto& failure) {
                      EXPECT_EQ(failure, std::nullopt);
                      done = true;
                      finish(platform::Appearance::isDark() ? 1 : 0);
                  });
                  EXPECT_FALSE(done) << "the broadcast goes out before the toggle is done";
                  EXPECT_FALSE(platform::Appearance::isDark()) << "the side Dusk switched to, at once";
              }),
              0);
    EXPECT_FALSE(dusk::backend::appsAreDark());
    EXPECT_FALSE(dusk::backend::taskbarIsDark());
}

TEST(HotKey, BindsCtrlAltWinDAndReportsKeysAnotherProgramHoldsAsHeld) {
    platform::BindOutcome outcome;
    platform::GlobalShortcut::bind(ctrlAltWinD, [&outcome](const platform::BindOutcome& answer) { outcome = answer; });
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.bound, ctrlAltWinD);
    EXPECT_EQ(outcome.call, "RegisterHotKey vk=0x44 mods=0x400B");
    platform::GlobalShortcut::unbind();

    // Another program's hot key: one on a thread with no window stands in.
    ASSERT_TRUE(::RegisterHotKey(nullptr, 1, MOD_CONTROL | MOD_ALT | MOD_WIN | MOD_NOREPEAT, 'D'));
    platform::GlobalShortcut::bind(ctrlAltWinD, [&outcome](const platform::BindOutcome& answer) { outcome = answer; });
    EXPECT_EQ(outcome.status, ERROR_HOTKEY_ALREADY_REGISTERED);
    EXPECT_EQ(outcome.bound, std::nullopt);
    EXPECT_EQ(outcome.reason, "") << "the core says another application may hold the keys";
    ::UnregisterHotKey(nullptr, 1);
}
