// ResultSize: a two-sided box keeps the fit's arithmetic, one side or a percentage rounds to the nearest
// pixel, halves up, nothing is enlarged, and rules that size nothing are refused.
#include "core/size_rule.h"

#include <gtest/gtest.h>

TEST(SizeRule, GivesTheResultSize) {
    const struct {
        QSize upright;
        core::SizeRule rule;
        QSize result;  // empty: refused as an invalid size
    } rows[] = {{{654, 872}, {QSize(300, 400)}, {300, 399}},
                {{654, 872}, {QSize(300, 0)}, {300, 400}},
                {{1000, 500}, {QSize(1920, 0)}, {1000, 500}},
                {{6000, 4000}, {QSize(0, 1080)}, {1620, 1080}},
                {{3, 2}, {QSize(0, 1)}, {2, 1}},
                {{3, 1000}, {QSize(0, 10)}, {1, 10}},
                {{5, 3}, {QSize(), 50}, {3, 2}},
                {{100, 100}, {QSize(), 33.3}, {33, 33}},
                {{640, 480}, {QSize(), 150}, {}},
                {{640, 480}, {QSize(0, 0)}, {}},
                {{0, 0}, {QSize(1920, 0)}, {}}};
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message()
                     << r.upright.width() << " by " << r.rule.box.width() << " or " << r.rule.percent);
        const core::Result<QSize> size = core::ResultSize(r.upright, r.rule);
        EXPECT_EQ(size ? *size : QSize(), r.result);
        if (!size) {
            EXPECT_EQ(size.error().cause, core::Cause::InvalidSize);
        }
    }
}
