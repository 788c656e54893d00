#pragma once
// Settings in a scratch folder for the whole test process, so that a test neither reads nor writes the
// user's: Qt reads XDG_CONFIG_HOME once, at the first QSettings.

#include <QFile>
#include <QTemporaryDir>

inline void UseScratchConfig() {
    static QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
}
