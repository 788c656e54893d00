// The filter-list and buffer texts of the save dialog wrapper.
#include "dialogs/mCommonDialog.h"

#include <gtest/gtest.h>

using mCommonDialog::FilterAtIndex;
using mCommonDialog::TextBeforeNul;

namespace {

const QChar kNul(0);
// The callers' "JPEG Files (*.JPG)|*.JPG|All Files (*.*)|*.*" as the wrapper hands it to the dialog.
const QString kCallersList = QStringLiteral("JPEG Files (*.JPG)") + kNul + "*.JPG" + kNul + "All Files (*.*)" +
                             kNul + "*.*" + kNul + kNul;
const QString kUnclosedList = QStringLiteral("Bitmaps") + kNul + "*.bmp";

}  // namespace

TEST(FilterText, AtIndexGivesTheNthPairWithItsZeroCharacterOrNothing) {
    const struct {
        const char* what;
        QString list;
        int index;
        QString pair;
    } cases[] = {
        {"first", kCallersList, 1, QStringLiteral("JPEG Files (*.JPG)") + kNul + "*.JPG"},
        {"second", kCallersList, 2, QStringLiteral("All Files (*.*)") + kNul + "*.*"},
        {"zero", kCallersList, 0, {}},
        {"negative", kCallersList, -3, {}},
        {"one past", kCallersList, 3, {}},
        {"far past", kCallersList, 7, {}},
        {"empty list", {}, 1, {}},
        {"no zero at all", QStringLiteral("no zero here"), 1, {}},
        {"without closing zeros", kUnclosedList, 1, kUnclosedList},
        {"without closing zeros, past", kUnclosedList, 2, {}},
    };
    for (const auto& c : cases) EXPECT_EQ(FilterAtIndex(c.list, c.index), c.pair) << c.what;
}

TEST(FilterText, BeforeNulStopsAtTheFirstZeroCharacter) {
    // Each Turkish letter takes two bytes in UTF-8; counting bytes would run past the name.
    const QString turkish = QStringLiteral("/home/kullanıcı/ğüşiöçİ.jpg");
    QString buffer = turkish;
    buffer.resize(260, kNul);
    const struct {
        const char* what;
        QString text;
        QString before;
    } cases[] = {
        {"two zeros", QStringLiteral("abc") + kNul + "def" + kNul, QStringLiteral("abc")},
        {"zero first", kNul + QStringLiteral("abc"), {}},
        {"empty", {}, {}},
        {"no zero", QStringLiteral("/tmp/ulk.jpg"), QStringLiteral("/tmp/ulk.jpg")},
        {"Turkish letters in a buffer", buffer, turkish},
        {"text after the zeros", buffer + "ignored", turkish},
    };
    for (const auto& c : cases) EXPECT_EQ(TextBeforeNul(c.text), c.before) << c.what;
}
