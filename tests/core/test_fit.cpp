// FitIntoBox: the whole table of sizes, ties and exact multiples, sides counted by their floors, the
// one-pixel least size, and the arithmetic's own errors.
#include "core/fit.h"

#include <gtest/gtest.h>

namespace {

struct Row {
    double width, height, boxWidth, boxHeight;
    double newWidth, newHeight;
    int status;
    const char* why;
};

class FitTable : public ::testing::TestWithParam<Row> {};

TEST_P(FitTable, GivesTheSizeAndStatus) {
    const Row& r = GetParam();
    const core::Result<core::Fit> fit = core::FitIntoBox(r.width, r.height, r.boxWidth, r.boxHeight);
    ASSERT_TRUE(fit.ok()) << r.why;
    EXPECT_EQ(fit->width, r.newWidth) << r.why;
    EXPECT_EQ(fit->height, r.newHeight) << r.why;
    EXPECT_EQ(fit->status, r.status) << r.why;
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, FitTable,
    ::testing::Values(Row{300, 200, 400, 400, 300, 200, 0, "smaller both ways: kept"},
                      Row{1024, 768, 400, 400, 400, 300, 1, "the width bounds it"},
                      Row{400, 300, 400, 400, 400, 300, 1, "an equal width is not smaller"},
                      Row{300, 500, 400, 400, 240, 400, 1, "only the box's height bounds it"},
                      Row{800, 800, 400, 400, 400, 400, 0, "both fit, equal: the second candidate"},
                      Row{1000, 999, 400, 400, 400, 400, 0, "both fit, the second is wider"},
                      Row{999, 1000, 400, 400, 400, 400, 0, "both fit, the first is higher"},
                      Row{654, 872, 300, 400, 300, 399, 0, "399.99999999999994 floors to 399"},
                      Row{822, 685, 300, 400, 300, 249, 1, "249.99999999999997 floors to 249"},
                      Row{100, 900, 800, 800, 88, 800, 1, "narrower than the box, higher than it"},
                      Row{1000, 1, 400, 400, 400, 0, 1, "a side of 0 for a long thin picture"},
                      Row{639.987, 480, 400, 400, 400, 300, 1, "a measured fraction counts by its floor"},
                      Row{800.0126, 600.0095, 400.9, 400, 400, 300, 1, "so does a typed one"},
                      Row{6000, 4000, 400, 400, 400, 266, 1, "a camera's photo"},
                      Row{0, 0, 1, 1, 0, 0, 0, "nothing to fit stops before any division"}));

TEST(Fit, APictureHasAtLeastOnePixelASide) {
    EXPECT_EQ((core::Fit{400, 0, 1}.pixels()), QSize(400, 1));
    EXPECT_EQ((core::Fit{0, 0, 0}.pixels()), QSize(1, 1));
    EXPECT_EQ((core::Fit{400, 266, 1}.pixels()), QSize(400, 266));
    EXPECT_EQ(core::FitIntoBox(QSize(20000, 1), QSize(400, 400))->pixels(), QSize(400, 1));
}

TEST(Fit, TheArithmeticsOwnErrors) {
    const struct {
        double width, height, boxWidth, boxHeight;
        core::Cause cause;
    } cases[] = {
        {1024, 768, 0, 400, core::Cause::DivisionByZero},  // a box side of 0 is divided by
        {0, 768, 400, 400,
         core::Cause::DivisionByZero},  // as is a picture side of 0 with the other one not smaller
        {1024, 768, 0.5, 400, core::Cause::DivisionByZero},  // a box side floors to 0
        {1e300, 1, 1e-300, 400, core::Cause::DivisionByZero},
        {1, 1e10, 1e300, 400, core::Cause::Overflow},  // a quotient beyond any number
        {1024, 768, qInf(), 400, core::Cause::InvalidSize},
        {1024, 768, -5, -5, core::Cause::InvalidSize},  // a negative box fits nothing
    };
    for (const auto& c : cases) {
        const core::Result<core::Fit> fit = core::FitIntoBox(c.width, c.height, c.boxWidth, c.boxHeight);
        ASSERT_FALSE(fit.ok()) << c.width << "x" << c.height << " into " << c.boxWidth << "x" << c.boxHeight;
        EXPECT_EQ(fit.error().cause, c.cause) << c.width << "x" << c.height << " into " << c.boxWidth;
    }
}

}  // namespace
