// File-type lists turned into Qt name filters: pairs up to the first empty item, each pattern in both
// letter cases, "*.*" as every file.
#include "platform/name_filters.h"

#include <gtest/gtest.h>

using platform::QtNameFilters;

TEST(QtNameFilters, PairsUpToTheFirstEmptyItemWithBothCases) {
    const QStringList items =
        QStringLiteral("Resim|*.bmp;*.jpg;*.gif|Bmp|*.bmp|Gif|*.gif|Jpg|*.jpg||").split(u'|');
    EXPECT_EQ(QtNameFilters(items),
              (QStringList{"Resim (*.bmp *.BMP *.jpg *.JPG *.gif *.GIF)", "Bmp (*.bmp *.BMP)",
                           "Gif (*.gif *.GIF)", "Jpg (*.jpg *.JPG)"}));
    EXPECT_EQ(QtNameFilters({"A", "*.jpg", "", "B", "*.png"}), QStringList{"A (*.jpg *.JPG)"});
}

TEST(QtNameFilters, KeepsMixedCaseAndEveryFile) {
    EXPECT_EQ(QtNameFilters({"JPEG Files (*.JPG)", "*.JPG", "All Files (*.*)", "*.*"}),
              (QStringList{"JPEG Files (*.JPG) (*.JPG *.jpg)", "All Files (*.*) (*)"}));
    EXPECT_EQ(QtNameFilters({"Mixed", " *.Jpg ; "}), QStringList{"Mixed (*.Jpg *.jpg *.JPG)"});
}

TEST(QtNameFilters, NothingUsableGivesNoFilters) {
    EXPECT_TRUE(QtNameFilters({}).isEmpty());
    EXPECT_TRUE(QtNameFilters({"Lonely description"}).isEmpty());
    EXPECT_TRUE(QtNameFilters({"", "*.jpg"}).isEmpty());
}
