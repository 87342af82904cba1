#include "cli/list_labels.h"

#include "richtext/rich_format.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

#include <utility>
#include <vector>

namespace tk::cli {

namespace {

QString bulletOf(const QTextListFormat& format) {
    // A bullet list's own bullet is kept as its prefix; its suffix is the numbering's default.
    const QString own = richformat::numberPrefix(format).trimmed();
    if (!own.isEmpty()) {
        return own;
    }
    switch (format.style()) {
        case QTextListFormat::ListCircle:
            return QStringLiteral("\u25E6");
        case QTextListFormat::ListSquare:
            return QStringLiteral("\u25AA");
        default:
            return QStringLiteral("\u2022");
    }
}

}  // namespace

void writeListLabels(QTextDocument& document) {
    // Labels are taken first: a list's numbers do not change as text goes in, but its blocks'
    // positions do, so they are written from the end.
    std::vector<std::pair<int, QString>> labels;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QTextList* list = block.textList();
        if (list == nullptr) {
            continue;
        }
        const QString label =
            richformat::isNumbered(list->format().style()) ? richformat::numberLabel(block) : bulletOf(list->format());
        labels.emplace_back(block.position(), label + QLatin1Char(' '));
    }
    QTextCursor cursor(&document);
    cursor.beginEditBlock();
    for (auto it = labels.rbegin(); it != labels.rend(); ++it) {
        cursor.setPosition(it->first);
        cursor.insertText(it->second);
    }
    cursor.endEditBlock();
}

}  // namespace tk::cli
