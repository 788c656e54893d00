#include "platform/settings.h"

namespace torv {

std::unique_ptr<QSettings> Settings() {
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("torv"),
                                       QStringLiteral("torv-image-resize"));
}

}  // namespace torv
