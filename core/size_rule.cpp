#include "core/size_rule.h"

#include "core/fit.h"

#include <algorithm>
#include <cmath>

namespace core {

namespace {

// side × part / whole to the nearest pixel, halves up, at least 1.
int Scaled(int side, int part, int whole) {
    return int(std::max<qint64>(1, (2 * qint64(side) * part + whole) / (2 * qint64(whole))));
}

}  // namespace

Result<QSize> ResultSize(QSize upright, const SizeRule& rule) {
    if (rule.percent != 0) {
        if (!(rule.percent > 0 && rule.percent <= 100))
            return Error{Cause::InvalidSize,
                         QStringLiteral("a percentage above 0 and at most 100 is needed")};
        if (upright.isEmpty()) return Error{Cause::InvalidSize, QStringLiteral("an empty picture")};
        const auto side = [&](int s) { return std::max(1, int(std::floor(s * rule.percent / 100 + 0.5))); };
        return QSize(side(upright.width()), side(upright.height()));
    }
    const int bw = rule.box.width(), bh = rule.box.height();
    if (bw > 0 && bh > 0) {
        const Result<Fit> fit = FitIntoBox(upright, rule.box);
        if (!fit) return fit.error();
        return fit->pixels();
    }
    if (bw < 0 || bh < 0 || (bw == 0 && bh == 0))
        return Error{Cause::InvalidSize, QStringLiteral("a box needs a width, a height or both")};
    if (upright.isEmpty()) return Error{Cause::InvalidSize, QStringLiteral("an empty picture")};
    const int w = upright.width(), h = upright.height();
    if (bw > 0) return w <= bw ? upright : QSize(bw, Scaled(h, bw, w));
    return h <= bh ? upright : QSize(Scaled(w, bh, h), bh);
}

}  // namespace core
