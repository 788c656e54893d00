#pragma once
// How big a batch's result is, from the picture's upright size: fitted into a box (the fit's own
// arithmetic, as the window has it), bounded on one side only, or a percentage of each side. Never
// enlarged; one pixel a side at least.

#include "core/result.h"

#include <QSize>

namespace core {

struct SizeRule {
    QSize box;           // a side of 0 bounds nothing that way: 1920 x 0 bounds the width only
    double percent = 0;  // above 0: each side this percentage of the picture's, in place of the box

    SizeRule() = default;
    // A box is the rule the window and most batches use.
    SizeRule(QSize box, double percent = 0) : box(box), percent(percent) {}
};

// One-sided boxes and percentages round each side to the nearest pixel, halves up. Errors: the fit's for
// a two-sided box; 5 for a percentage not in (0, 100], a box with no side or a negative one, or an empty
// picture.
Result<QSize> ResultSize(QSize upright, const SizeRule& rule);

}  // namespace core
