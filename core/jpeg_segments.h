#pragma once
// The application segments (APPn) at the head of a JPEG stream, found without decoding it.

#include <QByteArrayView>
#include <vector>

namespace core {

// Payloads (after the length field) of every APPn segment before the first scan, in file order.
// A malformed stream yields the segments read up to the fault.
std::vector<QByteArrayView> JpegAppSegments(QByteArrayView jpeg, int n);

}  // namespace core
