#pragma once
// The batch window's choices a user makes once: the results' format, where they go and whether existing
// ones are replaced, kept in the freedesktop config folder (~/.config/torv/torv-image-resize.ini).

#include <QString>

struct BatchChoices {
    bool toFolder = false;  // false: each result beside its original
    QString folder;         // the chosen results folder, kept even while results go beside the originals
    bool overwrite = false;
    QString format = QStringLiteral("jpg");  // one of batch::kFormatNames

    static BatchChoices Load();
    void Save() const;
};
