#include "platform/controls/HtmlNesting.h"

#include <QVarLengthArray>
#include <algorithm>
#include <initializer_list>

namespace platform {

namespace {

bool IsOneOf(QStringView name, std::initializer_list<const char*> names) {
    return std::any_of(names.begin(), names.end(), [name](const char* n) {
        return name.compare(QLatin1String(n), Qt::CaseInsensitive) == 0;
    });
}

bool IsVoid(QStringView name) {
    return IsOneOf(name, {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "param",
                          "source", "track", "wbr"});
}

bool IsNameChar(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
}

// Where the tag that starts at from ends (its '>'), stepping over quoted attribute values; -1 if never.
qsizetype TagEnd(QStringView html, qsizetype from) {
    QChar quote;
    for (qsizetype i = from; i < html.size(); ++i) {
        const QChar c = html[i];
        if (!quote.isNull()) {
            if (c == quote) quote = QChar();
        } else if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u'>') {
            return i;
        }
    }
    return -1;
}

}  // namespace

int HtmlNestingDepth(QStringView html, int stopAbove) {
    QVarLengthArray<QStringView, 32> open;
    int deepest = 0;
    for (qsizetype i = 0; (i = html.indexOf(u'<', i)) >= 0;) {
        if (html.mid(i).startsWith(u"<!--")) {
            const qsizetype end = html.indexOf(u"-->", i + 4);
            if (end < 0) break;
            i = end + 3;
            continue;
        }
        const bool closing = html.mid(i + 1).startsWith(u'/');
        qsizetype nameEnd = i + 1 + (closing ? 1 : 0);
        const qsizetype nameStart = nameEnd;
        while (nameEnd < html.size() && IsNameChar(html[nameEnd])) ++nameEnd;
        const QStringView name = html.mid(nameStart, nameEnd - nameStart);
        if (name.isEmpty() || !html[nameStart].isLetter()) {  // "<!DOCTYPE", "<?xml", or a '<' in text
            const bool declaration =
                !closing && nameStart < html.size() && (html[nameStart] == u'!' || html[nameStart] == u'?');
            i = declaration ? TagEnd(html, nameStart) : i + 1;
            if (i < 0) break;
            continue;
        }
        const qsizetype end = TagEnd(html, nameEnd);
        if (end < 0) break;
        const bool selfClosed = html[end - 1] == u'/';
        i = end + 1;

        auto topIs = [&open](std::initializer_list<const char*> names) {
            return !open.isEmpty() && IsOneOf(open.back(), names);
        };
        if (closing) {
            for (qsizetype k = open.size() - 1; k >= 0; --k)
                if (open[k].compare(name, Qt::CaseInsensitive) == 0) {
                    open.resize(k);
                    break;
                }
            continue;
        }
        if (IsVoid(name) || selfClosed) continue;
        if (IsOneOf(name, {"td", "th", "tr"}) && topIs({"td", "th"})) open.pop_back();
        if (IsOneOf(name, {"tr"}) && topIs({"tr"})) open.pop_back();
        if (IsOneOf(name, {"dt", "dd"}) && topIs({"dt", "dd"})) open.pop_back();
        if (IsOneOf(name, {"p", "li", "option"}) && open.size() > 0 &&
            open.back().compare(name, Qt::CaseInsensitive) == 0)
            open.pop_back();
        open.append(name);
        deepest = std::max(deepest, int(open.size()));
        if (deepest > stopAbove) break;
    }
    return deepest;
}

}  // namespace platform
