#include "jpeg/mIntelJPEGLibrary.h"

#include "image/cDIBSection.h"
#include "platform/runtime.h"

namespace mIntelJPEGLibrary {

bool WriteJpegFile(cDIBSection&, const QString&, std::int32_t) {
    platform::Raise(26001, QStringLiteral("Failed to save to JPG -1"));
}

}  // namespace mIntelJPEGLibrary
