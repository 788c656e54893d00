// The KeyPress event on a text box: a handler sees each typed character and can pass, discard or
// replace it; keys that type nothing never reach it.
#include "platform/controls/KeyPress.h"

#include <QLineEdit>
#include "tests/support/QtTests.h"

#include <QTest>

class TestKeyPress : public QObject {
    Q_OBJECT
private slots:
    void passDiscardOrReplace() {
        QLineEdit edit;
        QList<int> seen;
        new platform::KeyPressFilter(&edit, [&](std::int16_t& KeyAscii) {
            seen << KeyAscii;
            if (KeyAscii == 'x') KeyAscii = 0;
            if (KeyAscii == 'a') KeyAscii = 'A';
        });
        QTest::keyClicks(&edit, QStringLiteral("bxa"));
        QCOMPARE(edit.text(), QStringLiteral("bA"));
        QTest::keyClick(&edit, Qt::Key_Home);
        QTest::keyClick(&edit, Qt::Key_Backspace);
        QCOMPARE(seen, (QList<int>{'b', 'x', 'a', 8}));
        QCOMPARE(edit.cursorPosition(), 0);
    }
};

TORV_QTEST(TestKeyPress)
#include "test_KeyPress.moc"
