#pragma once
// Whether a folder named for results will take them: it exists, or can be made as a batch makes it
// (every missing folder on the way, as mkdir -p would).

#include <QString>

namespace batch {

// Looks at the disk: call it off a window's thread.
bool OutputFolderUsable(const QString& folder);

}  // namespace batch
