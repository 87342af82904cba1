#include "richtext/text_export.h"

#include "richtext/rich_format.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>

namespace tk::richedit {

QString textWithListLabels(const QTextDocument& document, int start, int end,
                           const std::function<QString(int, int)>& rangeText) {
    const int length = document.characterCount() - 1;
    start = std::clamp(start, 0, length);
    end = end < 0 ? length : std::clamp(end, start, length);
    // Most documents have no lists: their text is the range's as it is.
    bool lists = false;
    for (QTextBlock block = document.findBlock(start); block.isValid() && block.position() < end;
         block = block.next()) {
        if (block.textList() && block.position() >= start) {
            lists = true;
            break;
        }
    }
    if (!lists) {
        return rangeText(start, end);
    }
    QString text;
    int from = start;
    for (QTextBlock block = document.findBlock(start); block.isValid() && block.position() < end;
         block = block.next()) {
        if (block.textList() == nullptr || block.position() < start) {
            continue;
        }
        text += rangeText(from, block.position());
        const QString label = richformat::numberLabel(block);
        text += label.isEmpty() ? QStringLiteral("\u2022") : label;
        text += QLatin1Char(' ');
        from = block.position();
    }
    return text + rangeText(from, end);
}

}  // namespace tk::richedit
