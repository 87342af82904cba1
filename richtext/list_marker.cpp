#include "richtext/list_marker.h"

#include "richtext/rich_format.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetrics>
#include <QPainter>
#include <QPalette>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextList>
#include <QTextTable>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace tk::richedit {
namespace {

// What shows behind a paragraph's number: its table cell's or frame's background, else the window's.
QBrush backgroundBehind(const QTextBlock& block, const QPalette& palette) {
    for (QTextFrame* frame = QTextCursor(block).currentFrame(); frame != nullptr; frame = frame->parentFrame()) {
        if (const auto* table = qobject_cast<const QTextTable*>(frame)) {
            const QTextTableCell cell = table->cellAt(block.position());
            if (cell.isValid() && cell.format().background().style() != Qt::NoBrush) {
                return cell.format().background();
            }
        }
        if (const QBrush brush = frame->frameFormat().background(); brush.style() != Qt::NoBrush) {
            return brush;
        }
    }
    return palette.brush(QPalette::Base);
}

// The number is laid out as Qt lays out its own, so that both look alike.
void drawNumber(QPainter& painter, const ListMarker& marker) {
    QTextLayout layout(marker.text, marker.look.font());
    QTextOption option(Qt::AlignLeft | Qt::AlignAbsolute);
    option.setTextDirection(marker.rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid()) {
        line.setLeadingIncluded(true);
    }
    layout.endLayout();
    layout.draw(&painter, marker.origin);
}

void paintMarker(QPainter& painter, const QTextBlock& block, const ListMarker& marker, const MarkerPaint& paint) {
    const QPalette& palette = *paint.palette;
    const QPalette::ColorGroup group = paint.active ? QPalette::Active : QPalette::Inactive;
    // A selection running into the paragraph from before it takes in its number.
    const bool selected = paint.selectionStart < block.position() && paint.selectionEnd > block.position();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QBrush pen = marker.look.foreground();
    if (selected) {
        painter.fillRect(marker.rect, palette.brush(group, QPalette::Highlight));
        pen = palette.brush(group, QPalette::HighlightedText);
    } else if (pen.style() == Qt::NoBrush) {
        pen = palette.brush(group, QPalette::Text);
    }
    painter.setPen(QPen(pen, 0));
    drawNumber(painter, marker);
    painter.restore();
}

}  // namespace

bool drawsOwnNumbers(const QTextList* list) {
    return list != nullptr && richformat::isNumbered(list->format().style()) &&
           richformat::numberingStart(list->format()) != 1;
}

std::optional<ListMarker> ownListMarker(const QTextDocument& document, const QTextBlock& block) {
    const QTextList* list = block.textList();
    const QTextLayout* layout = block.layout();
    // Without a page size the layout has nothing placed (the window is between two layouts).
    if (!drawsOwnNumbers(list) || !block.isVisible() || layout == nullptr || layout->lineCount() == 0 ||
        document.pageSize().isNull()) {
        return std::nullopt;
    }
    ListMarker marker;
    marker.rightToLeft = block.textDirection() == Qt::RightToLeft;
    marker.look = QTextCursor(block).charFormat();
    marker.text = richformat::numberLabel(block);

    // The first line's text starts at `start`; Qt's number ends a space before it.
    const QRectF blockRect = document.documentLayout()->blockBoundingRect(block);
    const QRectF textRect = layout->lineAt(0).naturalTextRect();
    QPointF start = blockRect.topLeft().toPoint() + textRect.topLeft().toPoint();
    if (marker.rightToLeft) {
        start.rx() += textRect.width();
    }
    const QFontMetrics metrics(marker.look.font());
    const int space = metrics.horizontalAdvance(QLatin1Char(' '));
    const int qtWidth = metrics.horizontalAdvance(list->itemText(block));
    const qreal qtLeft = marker.rightToLeft ? start.x() + space : start.x() - space - qtWidth;
    // Qt centres its number's box on the font's height in whole pixels, which for an odd height
    // puts the box half a pixel up; a selection shows that half pixel.
    const qreal boxTop = start.y() + metrics.height() / 2 - metrics.height() / 2.0;
    // A pixel either side takes the edges that smoothing adds to the glyphs.
    marker.qtRect =
        QRectF(qtLeft - 1, boxTop, qtWidth + 2, std::max(metrics.height(), metrics.lineSpacing())).toAlignedRect();

    const int width = metrics.horizontalAdvance(marker.text);
    const int tab = list->format().intProperty(richformat::NumberingTabTwips);
    const qreal gap = tab > 0 ? std::round(richformat::twipsToPixels(tab)) : space;
    qreal left = marker.rightToLeft ? start.x() + gap : start.x() - gap - width;
    if (!marker.rightToLeft) {
        // A distance wider than the room before the text keeps the number on the page, but never
        // nearer the text than Qt's space.
        left = std::min(std::max(left, std::floor(blockRect.left())), start.x() - space - width);
    }
    marker.rect = QRectF(left, boxTop, width, metrics.height());
    marker.origin = QPointF(left, start.y());
    return marker;
}

void paintListMarkers(QPainter& painter, const QTextDocument& document, const QTextBlock& first, const QTextBlock& last,
                      const MarkerPaint& paint) {
    // Qt's numbers all go before any of the window's is drawn: clearing one may touch the edge of
    // the number above it.
    std::vector<std::pair<QTextBlock, ListMarker>> markers;
    for (QTextBlock block = first; block.isValid(); block = block.next()) {
        if (std::optional<ListMarker> marker = ownListMarker(document, block)) {
            painter.fillRect(marker->qtRect, backgroundBehind(block, *paint.palette));
            markers.emplace_back(block, std::move(*marker));
        }
        if (block == last) {
            break;
        }
    }
    for (const auto& [block, marker] : markers) {
        paintMarker(painter, block, marker, paint);
    }
}

}  // namespace tk::richedit
