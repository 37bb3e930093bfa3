#include <gtest/gtest.h>

#include "TVoARIntPoint_t.h"
#include "VoARException.h"
#include "VoARIntPointStack.h"
#include "VoArray.h"
#include "VoObjectStack.h"

using namespace VoTrack;

namespace {

// Counts live instances so tests can see when the stack creates elements.
struct CountedElement
{
    static int live;
    int value = 0;
    CountedElement() { live++; }
    ~CountedElement() { live--; }
};
int CountedElement::live = 0;

class ObjectStackTest : public ::testing::Test
{
protected:
    void SetUp() override { CountedElement::live = 0; }
};

}  // namespace

TEST_F(ObjectStackTest, CreatesEachElementAtItsFirstPush)
{
    VoObjectStack<CountedElement> stack(100);
    EXPECT_EQ(CountedElement::live, 0);
    stack.pushNew();
    EXPECT_EQ(CountedElement::live, 1);
    stack.clear();
    stack.pushNew();
    EXPECT_EQ(CountedElement::live, 1) << "a push after clear reuses the element";
    stack.pushNew();
    EXPECT_EQ(CountedElement::live, 2);
    EXPECT_EQ(stack.getCreatedCount(), 2);
}

TEST_F(ObjectStackTest, ElementsLieInOneBlockAndNeverMove)
{
    VoObjectStack<CountedElement> stack(300);
    CountedElement* first = stack.pushNew();
    stack.reserve(299);
    CountedElement* const* items = stack.getArray();
    EXPECT_EQ(items[0], first) << "creating more elements moves none";
    for (int32_t i = 0; i < 299; i++) {
        ASSERT_EQ(items[i], first + i) << "slot " << i;
    }
}

TEST_F(ObjectStackTest, PushFillsEveryCapacitySlotThenThrowsWithoutChange)
{
    VoObjectStack<CountedElement> stack(100);
    for (int i = 0; i < 100; i++) {
        stack.pushNew()->value = i;
    }
    EXPECT_THROW(stack.pushNew(), VoARException);
    EXPECT_EQ(stack.getLength(), 100);
    EXPECT_EQ(stack.getArray()[99]->value, 99);
}

TEST_F(ObjectStackTest, ClearReusesTheSameObjectsWithTheirContents)
{
    VoObjectStack<CountedElement> stack(10);
    CountedElement* first = stack.pushNew();
    first->value = 42;
    stack.clear();
    EXPECT_EQ(stack.getLength(), 0);
    CountedElement* again = stack.pushNew();
    EXPECT_EQ(again, first);
    EXPECT_EQ(again->value, 42);
}

TEST_F(ObjectStackTest, PopReturnsTheTopAndThrowsWhenEmpty)
{
    VoObjectStack<CountedElement> stack(10);
    EXPECT_THROW(stack.pop(), VoARException);
    stack.pushNew();
    CountedElement* top = stack.pushNew();
    EXPECT_EQ(stack.pop(), top);
    EXPECT_EQ(stack.getLength(), 1);
}

TEST_F(ObjectStackTest, ReserveCreatesUpToLengthAndShrinksWithoutCreating)
{
    VoObjectStack<CountedElement> stack(1000);
    stack.reserve(5);
    EXPECT_EQ(CountedElement::live, 5);
    EXPECT_EQ(stack.getLength(), 5);
    stack.reserve(3);
    EXPECT_EQ(CountedElement::live, 5);
    EXPECT_EQ(stack.getLength(), 3);
    stack.reserve(69);
    EXPECT_EQ(CountedElement::live, 69);
}

TEST_F(ObjectStackTest, ReserveAcceptsAtMostCapacityMinusOne)
{
    VoObjectStack<CountedElement> stack(32768);
    EXPECT_NO_THROW(stack.reserve(32767));
    EXPECT_EQ(CountedElement::live, 32767);
    stack.reserve(2);
    EXPECT_THROW(stack.reserve(32768), VoARException);
    EXPECT_EQ(stack.getLength(), 2) << "a refused reserve leaves the stack unchanged";
}

TEST_F(ObjectStackTest, DestructorDeletesEveryCreatedElement)
{
    {
        VoObjectStack<CountedElement> stack(200);
        stack.reserve(100);
        stack.clear();
    }
    EXPECT_EQ(CountedElement::live, 0);
}

TEST(TypedStackTest, ElementsStartZeroFilled)
{
    VoARIntPointStack stack(4);
    const TVoARIntPoint_t* point = stack.pushNew();
    EXPECT_EQ(point->x, 0);
    EXPECT_EQ(point->y, 0);
}

TEST(VoArrayTest, RenewReplacesTheArrayWithTheNewLength)
{
    VoArray<int> array(3);
    EXPECT_EQ(array.length, 3);
    array.renew(7);
    EXPECT_EQ(array.length, 7);
    array.items[6] = 1;
    EXPECT_EQ(array.items[6], 1);
}
