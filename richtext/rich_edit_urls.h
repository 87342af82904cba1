#pragma once

#include <QList>
#include <QStringView>

// Automatic URL detection of the rich edit window.
namespace tk::richedit {

struct TextSpan {
    int start = 0;
    int end = 0;  // one past the last character
    bool operator==(const TextSpan&) const = default;
};

// The links in a piece of text: a known scheme (http:, https:, ftp:, file:, mailto:, news:,
// telnet:, gopher:, nntp:, wais:, prospero:) or "www.", case ignored, starting the text or after a
// character that is not a letter or digit, followed by at least one character, and running to
// the next white space.
QList<TextSpan> findUrls(QStringView text);

// The link of text that covers index, if any.
bool urlAt(QStringView text, int index, TextSpan* span);

}  // namespace tk::richedit
