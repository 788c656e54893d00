#include "platform/runtime.h"
#include "tests/support/LocaleScope.h"

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
    EXPECT_EQ(ExeName(), QStringLiteral("test_platform"));
}

TEST(RuntimeNumbers, TextsInTheUsersLocale) {
    const LocaleScope turkish(Turkish());
    EXPECT_EQ(ToNumber(QStringLiteral("1,5")), 1.5);
    EXPECT_EQ(ToNumber(QStringLiteral("  400 ")), 400.0);
    EXPECT_EQ(ToNumber(QStringLiteral("-5")), -5.0);
    EXPECT_EQ(ToNumber(QStringLiteral("1e3")), 1000.0);
    EXPECT_EQ(ToNumber(QStringLiteral("1.000")), 1000.0);  // a full stop groups thousands here
    EXPECT_FALSE(ToNumber(QStringLiteral("1.5")));
    for (const char* text : {"", "   ", "abc", "4OO", "12,3,4", "inf", "nan", "1e999", "0x10"})
        EXPECT_FALSE(IsNumeric(QString::fromLatin1(text))) << text;

    const LocaleScope c(QLocale::c());
    EXPECT_EQ(ToNumber(QStringLiteral("1.5")), 1.5);
    EXPECT_FALSE(ToNumber(QStringLiteral("1,5")));
}

TEST(RuntimeNumbers, NumbersPassThroughAndEmptyIsZero) {
    EXPECT_EQ(ToNumber(QVariant(639.987f)), double(639.987f));
    EXPECT_EQ(ToNumber(QVariant::fromValue<qint16>(-3)), -3.0);
    EXPECT_EQ(ToNumber(QVariant(true)), -1.0);
    EXPECT_EQ(ToNumber(QVariant()), 0.0);
    EXPECT_FALSE(ToNumber(QVariant(QByteArray("12"))));
    EXPECT_TRUE(IsNumeric(QVariant(2.5)));
}

TEST(RuntimeNumbers, CLngRoundsHalvesToEvenAndChecksTheRange) {
    const LocaleScope turkish(Turkish());
    EXPECT_EQ(CLng(QStringLiteral("2,5")), 2);
    EXPECT_EQ(CLng(QStringLiteral("3,5")), 4);
    EXPECT_EQ(CLng(QStringLiteral("75")), 75);
    EXPECT_EQ(CLng(QVariant(-2.5)), -2);
    EXPECT_EQ(CLng(QStringLiteral("2147483647")), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(CLng(QStringLiteral("-2147483648,4")), std::numeric_limits<int32_t>::min());
    const auto number = [](const QVariant& v) {
        try {
            CLng(v);
        } catch (const RuntimeError& e) {
            return e.number();
        }
        return 0;
    };
    EXPECT_EQ(number(QStringLiteral("2147483647,5")), err::Overflow);  // rounds up to 2^31
    EXPECT_EQ(number(QStringLiteral("-2147483649")), err::Overflow);
    EXPECT_EQ(number(QStringLiteral("")), err::TypeMismatch);
    EXPECT_EQ(number(QStringLiteral("abc")), err::TypeMismatch);
    EXPECT_THROW(CDbl(QStringLiteral("x")), RuntimeError);
}


