// Which button an alert's modal answer names.
#include <gtest/gtest.h>

#include "ModalResponse.h"

namespace dusk::macos::test {
namespace {

using platform::mac::buttonChosen;

TEST(ButtonChosen, CountsFromTheFirstButtonAndTakesAnyOtherWayOutAsTheLast) {
    EXPECT_EQ(buttonChosen(1000, 2), 0U);
    EXPECT_EQ(buttonChosen(1001, 2), 1U);
    // NSModalResponseStop and NSModalResponseAbort, and a number past the buttons.
    EXPECT_EQ(buttonChosen(-1000, 2), 1U);
    EXPECT_EQ(buttonChosen(-1001, 3), 2U);
    EXPECT_EQ(buttonChosen(1003, 3), 2U);
    // With none added, the alert's one default button.
    EXPECT_EQ(buttonChosen(1000, 0), 0U);
    EXPECT_EQ(buttonChosen(-1000, 0), 0U);
}

}  // namespace
}  // namespace dusk::macos::test
