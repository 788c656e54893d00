// The modal-dialog answerer that other tests rely on not to hang.
#include "tests/support/ModalAnswerer.h"

#include <gtest/gtest.h>

#include <QDialog>

TEST(ModalAnswerer, ActsOnTheWindowItWaitsFor) {
    ModalAnswerer answer;
    answer.onModal(
        "plain dialog", [](QWidget* w) { return qobject_cast<QDialog*>(w) != nullptr; },
        [](QWidget* w) { qobject_cast<QDialog*>(w)->done(42); });
    QDialog dialog;
    EXPECT_EQ(dialog.exec(), 42);
    EXPECT_TRUE(answer.done());
    EXPECT_TRUE(answer.failures().isEmpty());
}

TEST(ModalAnswerer, GivesUpAndClosesTheWindowInsteadOfHanging) {
    ModalAnswerer answer(300);
    answer.answerMessageBox(QMessageBox::Yes);  // but only a plain dialog will show
    QDialog dialog;
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_TRUE(answer.done());
    ASSERT_EQ(answer.failures().size(), 1);
    EXPECT_TRUE(answer.failures().first().contains("message box"));
}
