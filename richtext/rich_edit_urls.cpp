#include "richtext/rich_edit_urls.h"

#include <QString>

#include <array>

namespace tk::richedit {
namespace {

constexpr std::array<QStringView, 12> kPrefixes = {
    u"http:",   u"https:",  u"ftp:",  u"file:", u"mailto:",   u"news:",
    u"telnet:", u"gopher:", u"nntp:", u"wais:", u"prospero:", u"www.",
};

bool isBreak(QChar ch) {
    return ch.isSpace() || ch == QChar::ParagraphSeparator || ch == QChar::LineSeparator ||
           ch == QChar::ObjectReplacementCharacter;
}

// Length of the scheme or "www." that starts text at i, or 0.
int prefixAt(QStringView text, qsizetype i) {
    if (i > 0 && text[i - 1].isLetterOrNumber()) {
        return 0;
    }
    const QStringView rest = text.mid(i);
    for (const QStringView prefix : kPrefixes) {
        if (rest.startsWith(prefix, Qt::CaseInsensitive)) {
            return static_cast<int>(prefix.size());
        }
    }
    return 0;
}

}  // namespace

QList<TextSpan> findUrls(QStringView text) {
    QList<TextSpan> spans;
    const auto size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar ch = text[i];
        // Every prefix starts with one of these letters; this keeps the scan cheap.
        const char16_t lower = ch.toLower().unicode();
        if (lower != u'h' && lower != u'f' && lower != u'm' && lower != u'n' && lower != u't' && lower != u'g' &&
            lower != u'w' && lower != u'p') {
            continue;
        }
        const int prefix = prefixAt(text, i);
        if (prefix == 0 || i + prefix >= size || isBreak(text[i + prefix])) {
            continue;
        }
        qsizetype end = i + prefix;
        while (end < size && !isBreak(text[end])) {
            ++end;
        }
        spans.append({static_cast<int>(i), static_cast<int>(end)});
        i = end;
    }
    return spans;
}

// Only the run of text between breaks around index can hold its link: the link starts at the first
// scheme in that run and goes to the run's end. This keeps the look-up under the mouse cheap even
// in a very long paragraph.
bool urlAt(QStringView text, int index, TextSpan* span) {
    if (index < 0 || index >= text.size() || isBreak(text[index])) {
        return false;
    }
    qsizetype start = index;
    while (start > 0 && !isBreak(text[start - 1])) {
        --start;
    }
    qsizetype end = index;
    while (end < text.size() && !isBreak(text[end])) {
        ++end;
    }
    // findUrls on the run alone would take its start for the start of the text, which it is: the
    // character before the run is a break.
    for (const TextSpan& s : findUrls(text.mid(start, end - start))) {
        if (index >= start + s.start && index < start + s.end) {
            *span = {static_cast<int>(start + s.start), static_cast<int>(start + s.end)};
            return true;
        }
    }
    return false;
}

}  // namespace tk::richedit
