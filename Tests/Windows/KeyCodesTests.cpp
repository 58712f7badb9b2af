#include <gtest/gtest.h>

#include "shortcuts/KeyCodes.h"

TEST(KeyCodes, Placeholder) { EXPECT_EQ(dusk::backend::macKeyCodeAt(0x20), 2u); }
