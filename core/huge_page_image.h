#pragma once
// Pictures of many megabytes in memory the kernel may back with huge pages: touching a 24 MB result then
// costs a dozen page faults instead of six thousand, which on a virtual machine is a tenth of a shrink.

#include <QImage>
#include <QSize>

namespace core {

// An uninitialised image of size and format, huge-page backed when it is large; null when memory runs out.
QImage HugePageImage(QSize size, QImage::Format format);

}  // namespace core
