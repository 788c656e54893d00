#pragma once
// The size a picture gets in a box: proportions kept, never enlarged. Sides count by their floors; a
// picture smaller than the box both ways keeps its size; otherwise one side takes the box's and the other
// follows, each quotient rounded to double before the next division, so the result at exact multiples is
// what this program has always given (654 x 872 into 300 wide: 399.99999999999994, so 399 high).

#include "core/result.h"

#include <QSize>

namespace core {

struct Fit {
    // The fit's own arithmetic; a very long, thin picture may give a side of 0.
    double width = 0;
    double height = 0;
    // 1 when the picture was scaled and only one side of the box bounds it; 0 when it kept its size or
    // its proportions match the box's to within the floors.
    int status = 0;

    // The size a shrunk picture gets: at least one pixel a side.
    QSize pixels() const;
};

// Errors: division by zero when a box side or a side to divide by floors to 0, overflow when a quotient
// overflows, invalid size for a negative side or one that is no finite number.
Result<Fit> FitIntoBox(double width, double height, double boxWidth, double boxHeight);
inline Result<Fit> FitIntoBox(QSize picture, QSize box) {
    return FitIntoBox(picture.width(), picture.height(), box.width(), box.height());
}

}  // namespace core
