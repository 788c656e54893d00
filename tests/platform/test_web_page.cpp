// What the browser pane checks before Qt sees a server's page or image: how deep the page's elements
// nest, and whether an image is one it decodes and small enough.
#include "platform/controls/HtmlNesting.h"
#include "platform/controls/WebPage.h"
#include "tests/support/TestPictures.h"

#include <gtest/gtest.h>
#include <QFile>

namespace {

struct NestingCase {
    const char* html;
    int depth;
};

TEST(HtmlNestingDepth, CountsElementsThatHoldOthers) {
    const NestingCase cases[] = {
        {"", 0},
        {"just text, a < b > c", 0},
        {"<html><body><table><tr><td>x</td></tr></table></body></html>", 5},
        {"<TABLE><TR><TD>x", 3},
        {"<div><br><img src=x><hr><meta charset=utf-8></div>", 1},  // void elements
        {"<div/><span/>", 0},
        {"<p>a<p>b<p>c", 1},  // unclosed paragraphs end at the next
        {"<ul><li>a<li>b<li>c</ul>", 2},
        {"<table><tr><td>a<td>b<tr><td>c<th>d</table>", 3},
        {"<dl><dt>a<dd>b<dt>c</dl>", 2},
        {"<!-- <div><div><div> --><p>x</p>", 1},
        {"<!DOCTYPE html><?xml version=\"1.0\"?><html>", 1},
        {"<div title='a>b' class=\"<span>\"><i>x</i></div>", 2},  // quoted '>' does not end the tag
        {"</div></div><div>", 1},                                 // unmatched closings are ignored
        {"<div><span></div><p><i><u>", 3},                        // a closing ends what it holds
    };
    for (const NestingCase& c : cases)
        EXPECT_EQ(platform::HtmlNestingDepth(QString::fromUtf8(c.html), 100), c.depth) << c.html;
}

TEST(HtmlNestingDepth, StopsSoonAfterTheLimit) {
    const QString deep = QStringLiteral("<table><tr><td>").repeated(3000);
    EXPECT_EQ(platform::HtmlNestingDepth(deep, 16), 17);
}

// A GIF with a two-colour table and one frame; its data is a single pixel.
QByteArray Gif(int screenWidth, int screenHeight, int left, int top, int width, int height) {
    auto le16 = [](int v) { return QByteArray(1, char(v & 0xFF)) + char(v >> 8); };
    return "GIF89a" + le16(screenWidth) + le16(screenHeight) + QByteArray("\x80\x00\x00", 3) +
           QByteArray("\x00\x00\x00\xff\xff\xff", 6) + ',' + le16(left) + le16(top) + le16(width) +
           le16(height) + QByteArray("\x00\x02\x02\x44\x01\x00;", 7);
}

struct ImageCase {
    const char* name;
    QByteArray bytes;
    QSize decoded;  // invalid: refused
};

TEST(DecodeWebImage, DecodesOnlyPngJpegAndGifWithinTheirPixels) {
    constexpr qint64 kMax = 100;
    const QImage tenByTen = testpics::Gradient(10, 10);
    const ImageCase cases[] = {
        {"PNG at the limit", testpics::Encode(tenByTen, "PNG"), {10, 10}},
        {"PNG a row over", testpics::Encode(testpics::Gradient(10, 11), "PNG"), {}},
        {"JPEG at the limit", testpics::Encode(tenByTen, "JPG"), {10, 10}},
        {"GIF within", Gif(1, 1, 0, 0, 1, 1), {1, 1}},
        {"GIF whose frame reaches beyond its screen", Gif(1, 1, 5, 5, 10, 10), {}},
        {"BMP, not a web image", testpics::Encode(tenByTen, "BMP"), {}},
        {"text", "<html>not an image</html>", {}},
        {"nothing", {}, {}},
    };
    for (const ImageCase& c : cases) {
        const QImage image = platform::DecodeWebImage(c.bytes, kMax);
        EXPECT_EQ(image.isNull() ? QSize() : image.size(), c.decoded) << c.name;
    }
}

}  // namespace
