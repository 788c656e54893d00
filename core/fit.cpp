#include "core/fit.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace core {

namespace {

Result<double> Divided(double a, double b) {
    if (b == 0) return Error{Cause::DivisionByZero, QStringLiteral("division by zero")};
    const double q = a / b;
    if (!std::isfinite(q)) return Error{Cause::Overflow, QStringLiteral("overflow")};
    return q;
}

// floor(a / (b / c)), each division rounded to double on its own.
Result<double> FlooredRatio(double a, double b, double c) {
    const Result<double> inner = Divided(b, c);
    if (!inner) return inner;
    const Result<double> outer = Divided(a, *inner);
    if (!outer) return outer;
    return std::floor(*outer);
}

}  // namespace

QSize Fit::pixels() const {
    const auto side = [](double v) { return int(std::clamp(v, 1.0, double(std::numeric_limits<int>::max()))); };
    return {side(width), side(height)};
}

Result<Fit> FitIntoBox(double width, double height, double boxWidth, double boxHeight) {
    for (const double v : {width, height, boxWidth, boxHeight})
        if (!std::isfinite(v)) return Error{Cause::InvalidSize, QStringLiteral("not a number")};
    const double W = std::floor(width), H = std::floor(height);
    const double BW = std::floor(boxWidth), BH = std::floor(boxHeight);
    if (W < 0 || H < 0 || BW < 0 || BH < 0)
        return Error{Cause::InvalidSize, QStringLiteral("a negative size")};
    if (W < BW && H < BH) return Fit{W, H, 0};

    const Result<double> hw = FlooredRatio(H, W, BW);  // the height that goes with the box's width
    if (!hw) return hw.error();
    const Result<double> wh = FlooredRatio(W, H, BH);  // the width that goes with the box's height
    if (!wh) return wh.error();
    const bool aFits = *hw <= BH, bFits = *wh <= BW;
    if (aFits && bFits) return *hw > *wh ? Fit{BW, *hw, 0} : Fit{*wh, BH, 0};
    if (aFits) return Fit{BW, *hw, 1};
    return Fit{*wh, BH, 1};  // with sides of at least 0, one of the two always fits
}

}  // namespace core
