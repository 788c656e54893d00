#pragma once
// The one order of picture and folder names, for the window's lists and the batch alike: runs of digits
// compare by value ("resim2" before "resim10"), the rest by Turkish collation ignoring case ("Çiçek"
// right after the "C" words). The interface is Turkish, so the order is too, whatever the user's locale.

#include <QString>
#include <QStringView>

namespace core {

// Below zero when a comes first, zero only for equal texts, above zero when b comes first.
int NaturalCompare(QStringView a, QStringView b);
inline bool NaturalLess(const QString& a, const QString& b) { return NaturalCompare(a, b) < 0; }

// The same as an object with QCollator's compare(), for code written against one.
struct NaturalOrder {
    int compare(QStringView a, QStringView b) const { return NaturalCompare(a, b); }
};

}  // namespace core
