// The filter-list and buffer texts of the save dialog wrapper.
#include "dialogs/mCommonDialog.h"

#include <gtest/gtest.h>

using mCommonDialog::FilterAtIndex;
using mCommonDialog::TextBeforeNul;

namespace {
const QChar kNul(0);
// The callers' "JPEG Files (*.JPG)|*.JPG|All Files (*.*)|*.*" as the wrapper hands it to the dialog.
const QString kCallersList = QStringLiteral("JPEG Files (*.JPG)") + kNul + "*.JPG" + kNul +
                             "All Files (*.*)" + kNul + "*.*" + kNul + kNul;
}  // namespace

TEST(FilterAtIndex, ReturnsThePairWithItsZeroCharacter) {
    EXPECT_EQ(FilterAtIndex(kCallersList, 1), QStringLiteral("JPEG Files (*.JPG)") + kNul + "*.JPG");
    EXPECT_EQ(FilterAtIndex(kCallersList, 2), QStringLiteral("All Files (*.*)") + kNul + "*.*");
}

TEST(FilterAtIndex, AColonSplitsADescription) {
    // "Resimler: JPEG|*.JPG" converted: the colon became a separator like the bar.
    const QString list = QStringLiteral("Resimler") + kNul + " JPEG" + kNul + "*.JPG" + kNul + kNul;
    EXPECT_EQ(FilterAtIndex(list, 1), QStringLiteral("Resimler") + kNul + " JPEG");
}

TEST(FilterAtIndex, GivesNothingOutsideTheEntries) {
    EXPECT_EQ(FilterAtIndex(QString(), 1), QString());
    EXPECT_EQ(FilterAtIndex(kCallersList, 0), QString());
    EXPECT_EQ(FilterAtIndex(kCallersList, -3), QString());
    EXPECT_EQ(FilterAtIndex(kCallersList, 3), QString());
    EXPECT_EQ(FilterAtIndex(kCallersList, 7), QString());
    EXPECT_EQ(FilterAtIndex(QStringLiteral("no zero here"), 1), QString());
}

TEST(FilterAtIndex, TakesTheRestOfAListWithoutClosingZeros) {
    const QString list = QStringLiteral("Bitmaps") + kNul + "*.bmp";
    EXPECT_EQ(FilterAtIndex(list, 1), list);
    EXPECT_EQ(FilterAtIndex(list, 2), QString());
}

TEST(TextBeforeNul, StopsAtTheFirstZeroCharacter) {
    EXPECT_EQ(TextBeforeNul(QStringLiteral("abc") + kNul + "def" + kNul), QStringLiteral("abc"));
    EXPECT_EQ(TextBeforeNul(kNul + QStringLiteral("abc")), QString());
    EXPECT_EQ(TextBeforeNul(QString()), QString());
}

TEST(TextBeforeNul, ReturnsAllOfATextWithoutZeroCharacter) {
    EXPECT_EQ(TextBeforeNul(QStringLiteral("/tmp/ulk.jpg")), QStringLiteral("/tmp/ulk.jpg"));
}

TEST(TextBeforeNul, KeepsTurkishLettersWhole) {
    // Each of these letters takes two bytes in UTF-8; counting bytes would run past the name.
    const QString path = QStringLiteral("/home/kullanıcı/ğüşiöçİ.jpg");
    QString buffer = path;
    buffer.resize(260, kNul);
    EXPECT_EQ(TextBeforeNul(buffer), path);
    EXPECT_EQ(TextBeforeNul(buffer + "ignored"), path);
}
