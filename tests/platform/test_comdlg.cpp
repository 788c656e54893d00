// The platform's save-dialog record: what the call checks and what it writes back.
#include "platform/comdlg.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/MsgBoxRecorder.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace platform;

namespace {

class GetSaveFileName : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        ofn.lStructSize = kOpenFileNameSize;
        ofn.lpstrFilter = QStringLiteral("JPEG Files (*.JPG)") + QChar(0) + "*.JPG" + QChar(0) + QChar(0);
        ofn.nFilterIndex = 1;
        ofn.lpstrFile = Buffer(dir_.path() + "/ulk.jpg", MAX_PATH);
        ofn.nMaxFile = MAX_PATH;
        ofn.lpstrFileTitle = Buffer({}, MAX_PATH);
        ofn.nMaxFileTitle = MAX_PATH;
        ofn.lpstrDefExt = "JPG";
        ofn.Flags = OFN_HIDEREADONLY;
    }

    static QString Buffer(const QString& text, int size) {
        QString buffer = text;
        buffer.resize(size, QChar(0));
        return buffer;
    }

    QTemporaryDir dir_;
    OPENFILENAME ofn;
    ModalAnswerer answer;
};

TEST_F(GetSaveFileName, WritesThePathAndItsPartsIntoTheRecord) {
    answer.typeFileName("resim.jpeg");
    ASSERT_EQ(GetSaveFileNameA(ofn), 1);
    EXPECT_TRUE(answer.done());
    const QString path = dir_.path() + "/resim.jpeg";
    EXPECT_EQ(ofn.lpstrFile.size(), MAX_PATH);
    EXPECT_TRUE(ofn.lpstrFile.startsWith(path + QChar(0)));
    EXPECT_TRUE(ofn.lpstrFileTitle.startsWith(QStringLiteral("resim.jpeg") + QChar(0)));
    EXPECT_EQ(ofn.nFileOffset, path.size() - 10);
    EXPECT_EQ(ofn.lpstrFile.mid(ofn.nFileExtension, 4), QStringLiteral("jpeg"));
    EXPECT_EQ(ofn.Flags, OFN_HIDEREADONLY | OFN_EXTENSIONDIFFERENT);
    EXPECT_EQ(CommDlgExtendedError(), 0);
}

TEST_F(GetSaveFileName, RefusesAPathLongerThanTheRecordsBuffer) {
    MsgBoxRecorder boxes;
    ofn.nMaxFile = int32_t(dir_.path().size()) + 7;  // room for "/a.JPG" and the zero, not more
    ofn.lpstrFile = Buffer(dir_.path() + "/a.JPG", ofn.nMaxFile);
    answer.typeFileName("ab.JPG");
    answer.typeFileName("a");
    ASSERT_EQ(GetSaveFileNameA(ofn), 1);
    EXPECT_TRUE(answer.done());
    EXPECT_EQ(ofn.lpstrFile, dir_.path() + "/a.JPG" + QChar(0));
    EXPECT_EQ(boxes.boxes().size(), 1u);
}

TEST_F(GetSaveFileName, AWrongRecordSizeFailsWithoutADialog) {
    ofn.lStructSize = 88;
    EXPECT_EQ(GetSaveFileNameA(ofn), 0);
    EXPECT_EQ(CommDlgExtendedError(), CDERR_STRUCTSIZE);
}

}  // namespace
