// Shared steps for tests on the fake desktop: start Dusk as main() does and
// look at what it logged.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "AppDelegate.h"
#include "fake/Desktop.h"

namespace dusk::test {

// What main() does, up to the point where the event loop would finish
// launching; the test then plays the event loop.
// Like main(), the caller keeps the delegate for as long as Dusk runs.
[[nodiscard]] inline std::shared_ptr<AppDelegate> launchDusk() {
    auto& app = platform::Application::sharedApplication();
    auto delegate = std::make_shared<AppDelegate>();
    app.setDelegate(delegate);
    app.setActivationPolicy(platform::ActivationPolicy::Accessory);
    fake::finishLaunching();
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

inline std::string menuTitle(std::size_t index) { return fake::openMenu().at(index).title; }

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
