#pragma once
// How deep a page's elements nest, found by a small tag scanner before Qt's HTML parser and text layout
// see the page: both recurse with the nesting, and nested tables cost time that grows exponentially.

#include <QStringView>

namespace platform {

// The deepest element nesting of html, counting every element that may hold others (html and body too).
// Void elements (br, img, ...) and self-closed tags do not nest; a p, li, td, th, tr, dt, dd or option
// directly inside one of its own kind ends it, as browsers do. Comments are skipped. Scanning stops as
// soon as the depth passes stopAbove, so the result is at most stopAbove + 1.
int HtmlNestingDepth(QStringView html, int stopAbove);

}  // namespace platform
