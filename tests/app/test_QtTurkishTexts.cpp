// Qt's own buttons and dialogs speak Turkish once the translation is installed.
#include "app/QtTurkishTexts.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include "tests/support/QtTests.h"

#include <QTest>

class TestQtTurkishTexts : public QObject {
    Q_OBJECT
private slots:
    void messageBoxButtonsInTurkish() {
        QMessageBox before;
        before.setStandardButtons(QMessageBox::Cancel);
        const QString english = before.button(QMessageBox::Cancel)->text();

        QVERIFY(InstallQtTurkishTexts(*qApp));
        QMessageBox box;
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        QCOMPARE(box.button(QMessageBox::Cancel)->text().remove(QLatin1Char('&')), QStringLiteral("İptal"));
        QVERIFY(box.button(QMessageBox::Cancel)->text() != english);
        QCOMPARE(box.button(QMessageBox::Yes)->text().remove(QLatin1Char('&')), QStringLiteral("Evet"));
    }
};

TORV_QTEST(TestQtTurkishTexts)
#include "test_QtTurkishTexts.moc"
