#pragma once
// The batch window's choices, remembered between runs in the program's settings file
// (~/.config/torv/torv-image-resize.ini).

#include "batch/options.h"

#include <QSize>
#include <QString>

struct BatchChoices {
    QSize box{400, 400};
    int quality = 90;
    QString maxKilobytes;   // "En fazla … KB" as typed; empty: no limit
    bool keepMetadata = false;
    QString format = batch::FormatNames().first().name;  // one of batch::FormatNames(), JPEG at first
    bool toFolder = false;  // false: each result beside its original
    QString folder;         // the chosen results folder, kept even while results go beside the originals
    bool overwrite = false;

    // A remembered results folder is offered only when it lies in the user's home or was picked in the
    // folder dialog during this run of the program: a settings file cannot send results into /etc.
    static BatchChoices Load();
    void Save() const;
    // Remembers that the user picked folder in the folder dialog, for Load to offer it.
    static void PickedInDialog(const QString& folder);
};
