#pragma once

#include <QString>

#include <functional>

class QTextDocument;

namespace tk::richedit {

// The text of the document's positions [start, end) (end -1: to the end) as rangeText reads a
// range, each numbered or bulleted paragraph that starts in it led by the number the window shows
// for it (a bullet for a bulleted one) and a space: the numbers are part of what the document says.
QString textWithListLabels(const QTextDocument& document, int start, int end,
                           const std::function<QString(int, int)>& rangeText);

}  // namespace tk::richedit
