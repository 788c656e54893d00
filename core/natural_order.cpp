#include "core/natural_order.h"

#include <QCollator>
#include <QLocale>

namespace core {

namespace {

// The run of digits or of other characters starting at i.
QStringView Run(QStringView text, qsizetype i) {
    const bool digits = text.at(i).isDigit();
    qsizetype end = i;
    while (end < text.size() && text.at(end).isDigit() == digits) ++end;
    return text.mid(i, end - i);
}

// Compares two digit runs by value without converting them: no overflow on long runs.
int CompareNumbers(QStringView a, QStringView b) {
    while (a.size() > 1 && a.front() == u'0') a = a.mid(1);
    while (b.size() > 1 && b.front() == u'0') b = b.mid(1);
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

int CompareRuns(QStringView a, QStringView b) {
    // One collator per thread: QCollator is not safe to share, and the batch may sort off the window's thread.
    thread_local const QCollator collator = [] {
        QCollator c(QLocale(QLocale::Turkish, QLocale::Turkey));
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const QStringView runA = Run(a, i), runB = Run(b, j);
        const bool numbers = runA.front().isDigit() && runB.front().isDigit();
        const int order = numbers ? CompareNumbers(runA, runB) : collator.compare(runA, runB);
        if (order != 0) return order;
        i += runA.size();
        j += runB.size();
    }
    if ((i < a.size()) != (j < b.size())) return i < a.size() ? 1 : -1;
    return 0;
}

}  // namespace

int NaturalCompare(QStringView a, QStringView b) {
    // The name before its extension first, so that "foto.jpg" comes before "foto1.jpg".
    const auto stem = [](QStringView name) {
        const qsizetype dot = name.lastIndexOf(u'.');
        return dot > 0 ? name.left(dot) : name;
    };
    const QStringView stemA = stem(a), stemB = stem(b);
    if (const int order = CompareRuns(stemA, stemB)) return order;
    if (const int order = CompareRuns(a.mid(stemA.size()), b.mid(stemB.size()))) return order;
    // Equal apart from case or leading zeros: keep a fixed order all the same.
    return a.compare(b);
}

}  // namespace core
