#pragma once
// The program's one settings file, torv/torv-image-resize.ini in the user's configuration folder
// ($XDG_CONFIG_HOME, else ~/.config), shared by every window that remembers a choice.

#include <QSettings>
#include <memory>

namespace torv {

// A fresh handle each time: QSettings is cheap to open, and its changes reach the file when it goes.
std::unique_ptr<QSettings> Settings();

}  // namespace torv
