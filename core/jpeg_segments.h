#pragma once
// The structure of a JPEG stream, found without decoding it: its application segments (APPn), its frame
// and how many scans it has.

#include <QByteArrayView>
#include <vector>

namespace core {

// Payloads (after the length field) of every APPn segment before the first scan, in file order.
// A malformed stream yields the segments read up to the fault.
std::vector<QByteArrayView> JpegAppSegments(QByteArrayView jpeg, int n);

// The frame header and the number of scans of a JPEG stream, found by walking its markers and the coded
// data between them, in one pass over the bytes; what was read up to a fault.
struct JpegLayout {
    int frameMarker = 0;  // 0xC0 to 0xCF (but 0xC4, 0xC8, 0xCC); 0 when there is none
    int width = 0;
    int height = 0;
    int scans = 0;
    // Arithmetic coding squeezes a flat picture into almost nothing, so its bytes bound nothing.
    bool arithmetic() const { return frameMarker >= 0xC9 && frameMarker != 0xCC; }
};
// With allScans false it stops at the first scan: the frame alone, scans 0 or 1.
JpegLayout ReadJpegLayout(QByteArrayView jpeg, bool allScans = true);

// True when the segments before the first scan are whole up to the end of the bytes, where the next one
// runs on past them: the start of a file with more header to come, rather than a fault.
bool JpegHeaderRunsOn(QByteArrayView jpeg);

}  // namespace core
