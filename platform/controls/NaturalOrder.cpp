#include "platform/controls/NaturalOrder.h"

#include <QCollator>

namespace platform {

namespace {

// The run of digits or of other characters starting at i.
QStringView Run(const QString& text, qsizetype i) {
    const bool digits = text.at(i).isDigit();
    qsizetype end = i;
    while (end < text.size() && text.at(end).isDigit() == digits) ++end;
    return QStringView(text).mid(i, end - i);
}

// Compares two digit runs by value without converting them: no overflow on long runs.
int CompareNumbers(QStringView a, QStringView b) {
    while (a.size() > 1 && a.front() == u'0') a = a.mid(1);
    while (b.size() > 1 && b.front() == u'0') b = b.mid(1);
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

}  // namespace

bool NaturalLess(const QString& a, const QString& b) {
    static const QCollator collator = [] {
        QCollator c;
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const QStringView runA = Run(a, i), runB = Run(b, j);
        const bool numbers = runA.front().isDigit() && runB.front().isDigit();
        const int order = numbers ? CompareNumbers(runA, runB) : collator.compare(runA, runB);
        if (order != 0) return order < 0;
        i += runA.size();
        j += runB.size();
    }
    if ((i < a.size()) != (j < b.size())) return j < b.size();
    // Equal apart from case or leading zeros: keep a fixed order all the same.
    return a < b;
}

}  // namespace platform
