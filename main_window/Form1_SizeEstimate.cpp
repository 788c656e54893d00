// How large the shrunk result would be at the slider's quality, shown beside the slider as the slider moves,
// so that a user can aim at a file size without saving again and again.
#include "main_window/Form1.h"

#include "main_window/SizeEstimator.h"
#include "platform/controls/HScrollBar.h"
#include "platform/controls/PictureBox.h"
#include "platform/controls/PictureControl.h"

#include <QLabel>

QString Form1::KiloBytesText(qint64 bytes) { return QStringLiteral("%1 KB").arg((bytes + 1023) / 1024); }

void Form1::requestSizeEstimate() {
    const platform::Picture result = Picture2->Picture();
    if (result.isEmpty()) {
        Estimator->Cancel();
        estimatedSizeLabel->hide();
        return;
    }
    // The very pixels the quality save hands the JPEG writer; the figure shown stays until the new one comes.
    Estimator->Estimate(result.pixels(), HScroll1->value());
}

void Form1::showSizeEstimate(qint64 bytes) {
    if (bytes < 0 || Picture2->Picture().isEmpty()) {
        estimatedSizeLabel->hide();
        return;
    }
    estimatedSizeLabel->setText(QStringLiteral("≈ ") + KiloBytesText(bytes));
    placeSizeEstimate();
    estimatedSizeLabel->show();
    estimatedSizeLabel->raise();
}

// Only as wide as its text, in the preview's top right corner under the slider: it covers as little of
// the picture as it can.
void Form1::placeSizeEstimate() {
    estimatedSizeLabel->adjustSize();
    const QRect preview = Image2->geometry();
    estimatedSizeLabel->move(preview.right() - 1 - estimatedSizeLabel->width(), preview.top() + 1);
}
