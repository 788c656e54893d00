// Names as bytes: whatever the bytes, the text made of them gives them back, and shows none raw.
#include "core/file_name.h"

#include <gtest/gtest.h>

namespace {

struct Name {
    QByteArray bytes;
    QString printable;
};

const Name kNames[] = {
    {"Tatil ğüş.jpg", QStringLiteral("Tatil ğüş.jpg")},
    {"k\xf6t\xfc.png", QStringLiteral("k\\xf6t\\xfc.png")},            // Latin-1
    {"\xc0\xaf.jpg", QStringLiteral("\\xc0\\xaf.jpg")},                // an overlong '/'
    {"\xed\xb3\xbf.jpg", QStringLiteral("\\xed\\xb3\\xbf.jpg")},       // a surrogate written as UTF-8
    {"cut\xe2\x82", QStringLiteral("cut\\xe2\\x82")},                  // a letter cut short
    {"\xf4\x90\x80\x80", QStringLiteral("\\xf4\\x90\\x80\\x80")},      // past U+10FFFF
    {"a\nb\x1b]0;x\x07\x7f\\.jpg", QStringLiteral("a\\nb\\x1b]0;x\\x07\\x7f\\\\.jpg")},
    {"\xc2\x9b" "1m", QStringLiteral("\\u009b1m")},                     // C1 start of a command
};

TEST(FileName, BytesComeBackWholeAndArePrintedEscaped) {
    for (const Name& name : kNames) {
        const QString text = core::DecodeFileName(name.bytes);
        EXPECT_EQ(core::EncodeFileName(text), name.bytes) << name.bytes.toHex().toStdString();
        EXPECT_EQ(core::PrintableFileName(text), name.printable) << name.bytes.toHex().toStdString();
        EXPECT_EQ(core::ShownFileName(text).toUtf8(), QString::fromUtf8(name.bytes).toUtf8()) << name.bytes.toHex().toStdString();
    }
}

}  // namespace
