// Shared steps for tests on the fake desktop: start Dusk as main() does, and
// read back what it logged and shows.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "AppDelegate.h"
#include "HotKey.h"
#include "fake/Desktop.h"
#include "platform/Session.h"

namespace dusk::test {

// Shortcuts the tests press, record and refuse.
inline constexpr HotKey controlOptionCommandD = Settings::defaultHotKey;
inline constexpr HotKey shiftCommandK{40, Modifier::shift | Modifier::command};
inline constexpr HotKey controlOptionCommandL{37, Modifier::required};
inline constexpr std::uint32_t escape = 53;
inline constexpr std::uint32_t f5 = 96;

// What main() does when no command is given: the fake's loop launches Dusk,
// runs what the launch queued and returns. Like main(), the caller keeps the
// delegate for as long as Dusk runs.
[[nodiscard]] inline std::shared_ptr<AppDelegate> launchDusk() {
    auto delegate = std::make_shared<AppDelegate>();
    EXPECT_EQ(platform::Session::run([delegate] { delegate->applicationDidFinishLaunching(); }), 0);
    return delegate;
}

inline std::vector<std::string> loggedTexts() {
    std::vector<std::string> texts;
    for (const auto& line : fake::logLines()) texts.push_back(line.text);
    return texts;
}

inline bool logged(const std::string& text) {
    const auto texts = loggedTexts();
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

inline std::size_t countLogged(const std::string& prefix) {
    const auto texts = loggedTexts();
    return static_cast<std::size_t>(
        std::count_if(texts.begin(), texts.end(), [&prefix](const auto& text) { return text.starts_with(prefix); }));
}

// Opens the menu, as the user would, and reads one of its titles.
inline std::string menuTitle(std::size_t index) { return fake::openMenu().at(index).title; }
inline std::string hotKeyItemTitle() { return menuTitle(1); }

inline void openRecorder() { fake::chooseMenuItem(hotKeyItemTitle()); }
inline std::string recorderText() { return fake::recorderWindow().value().content.recorderText; }

inline void press(const HotKey& hotKey) { fake::typeKey(hotKey.keyCode, hotKey.modifiers); }

// Runs `body` as its own Dusk process; its expectations count in this test.
template <typename Body>
void inNewProcess(Body body) {
    const int status = fake::runInNewProcess([&body] {
        body();
        return ::testing::Test::HasFailure() ? 1 : 0;
    });
    EXPECT_EQ(status, 0) << "the process's own expectations failed (see above)";
}

}  // namespace dusk::test
