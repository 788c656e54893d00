// The size estimate's worker: a slider dragged fast gets the answer to its last position only.
#include "core/encode_picture.h"
#include "main_window/SizeEstimator.h"
#include "tests/support/QtTests.h"
#include "tests/support/TestPictures.h"

#include <QTest>

class TestSizeEstimator : public QObject {
    Q_OBJECT
private slots:
    void onlyTheNewestRequestIsAnswered() {
        const QImage picture = testpics::Noise(800, 600);
        const auto jpegSize = [&](int quality) { return core::EncodePicture(picture, {core::OutputFormat::Jpeg, quality})->size(); };
        SizeEstimator estimator;
        QList<qint64> answers;
        connect(&estimator, &SizeEstimator::Estimated, this, [&](qint64 bytes) { answers << bytes; });
        for (int quality = 1; quality <= 60; ++quality) estimator.Estimate(picture, quality);
        QTRY_COMPARE(answers.size(), 1);
        // A stale answer would come before the next one.
        estimator.Estimate(picture, 80);
        estimator.Cancel();
        estimator.Estimate(picture, 70);
        QTRY_COMPARE(answers.size(), 2);
        QCOMPARE(answers, (QList<qint64>{jpegSize(60), jpegSize(70)}));
    }
};

TORV_QTEST(TestSizeEstimator)
#include "test_SizeEstimator.moc"
