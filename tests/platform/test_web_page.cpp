// What the browser pane checks before Qt sees a server's page or image: how deep the page's elements
// nest, and whether an image is of a kind it decodes and small enough.
#include "platform/controls/HtmlNesting.h"
#include "platform/controls/WebPage.h"
#include "tests/support/TestPictures.h"

#include <gtest/gtest.h>

TEST(HtmlNestingDepth, CountsElementsThatHoldOthers) {
    const std::pair<const char*, int> cases[] = {
        {"text, a < b > c", 0},
        {"<html><body><TABLE><TR><TD>x</TD></TR></TABLE></body></html>", 5},
        {"<div><br><img src=x><hr><meta charset=utf-8></div><span/>", 1},  // void and self-closed
        {"<p>a<p>b<p>c", 1},                                               // unclosed, ended by the next
        {"<ul><li>a<li>b</ul><dl><dt>a<dd>b</dl>", 2},
        {"<table><tr><td>a<td>b<tr><td>c<th>d</table>", 3},
        {"<!-- <div><div><div> --><!DOCTYPE html><p>x</p>", 1},
        {"<div title='a>b' class=\"<span>\"><i>x</i></div>", 2},  // a quoted '>' does not end the tag
        {"</div></div><div><span></div><p><i><u>", 3},            // a closing ends what it holds
    };
    for (const auto& [html, depth] : cases)
        EXPECT_EQ(platform::HtmlNestingDepth(QString::fromUtf8(html), 99), depth) << html;
    EXPECT_EQ(platform::HtmlNestingDepth(QStringLiteral("<div>").repeated(3000), 16), 17);
}

TEST(DecodeWebImage, OnlyPngJpegAndGifWithinTheirPixels) {
    const QImage tenByTen = testpics::Gradient(10, 10);
    const std::pair<QByteArray, QSize> cases[] = {
        {testpics::Encode(tenByTen, "PNG"), {10, 10}},
        {testpics::Encode(tenByTen, "JPG"), {10, 10}},
        {testpics::Encode(testpics::Gradient(10, 11), "PNG"), {}},  // a row over
        {testpics::Encode(tenByTen, "BMP"), {}},
        {"<html>not an image</html>", {}},
    };
    for (const auto& [bytes, size] : cases) {
        const QImage image = platform::DecodeWebImage(bytes, 100);
        EXPECT_EQ(image.isNull() ? QSize() : image.size(), size) << bytes.left(4).toHex().constData();
    }
}
