// Lengths from outside a container's range are refused before any slot is
// handed out.

#include <gtest/gtest.h>

#include <cstdint>

#include "VoARException.h"
#include "VoObjectStack.h"

using namespace VoTrack;

namespace {

struct TItem
{
    int32_t value = 0;
};

TEST(ObjectStackBoundsTest, NegativeReserveIsRefusedAndChangesNothing)
{
    VoObjectStack<TItem> stack(8);
    stack.reserve(3);
    stack.getArray()[0]->value = 11;
    EXPECT_THROW(stack.reserve(-1), VoARException);
    EXPECT_THROW(stack.reserve(INT32_MIN), VoARException);
    EXPECT_EQ(stack.getLength(), 3);
    stack.clear();
    // The next push is slot 0, not one before the array.
    EXPECT_EQ(stack.pushNew(), stack.getArray()[0]);
    EXPECT_EQ(stack.getArray()[0]->value, 11);
}

}  // namespace
