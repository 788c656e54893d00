#include "platform/runtime.h"

#include <gtest/gtest.h>
#include <limits>

using namespace platform;

TEST(Runtime, RoundTakesHalvesToEven) {
    EXPECT_EQ(Round(2.5), 2);
    EXPECT_EQ(Round(3.5), 4);
    EXPECT_EQ(Round(-2.5), -2);
    EXPECT_EQ(Round(67.5), 68);
    EXPECT_EQ(Round(102.5), 102);
    EXPECT_EQ(Round(2.4999), 2);
}

TEST(Runtime, CheckedArithmeticRaisesOverflow) {
    EXPECT_EQ(CheckedMul(1000, 1000), 1000000);
    try {
        CheckedMul(std::numeric_limits<int32_t>::max(), 2);
        FAIL() << "no error";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), err::Overflow);
        EXPECT_EQ(e.source(), ExeName());
    }
    EXPECT_THROW(CheckedAdd(std::numeric_limits<int32_t>::max(), 1), RuntimeError);
}

TEST(Runtime, ExeNameIsTheExecutableWithoutExtension) {
    EXPECT_EQ(ExeName(), QStringLiteral("test_runtime"));
}
