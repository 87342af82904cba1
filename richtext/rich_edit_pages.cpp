#include "richtext/rich_edit_pages.h"

#include <QAbstractTextDocumentLayout>
#include <QPaintDevice>
#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>

namespace tk::richedit {

namespace {

int twipsToDevice(int twips, int dpi) {
    return static_cast<int>(static_cast<qint64>(twips) * dpi / 1440);
}

// The top of a line in document coordinates; a paragraph's first line starts where the paragraph
// does, so the space above the paragraph goes with it.
qreal lineTop(const QRectF& blockRect, const QTextLine& line) {
    return line.lineNumber() == 0 ? blockRect.top() : blockRect.top() + line.y();
}

}  // namespace

PageFormatter::PageFormatter(QTextDocument* source) : source_(source) {}

PageFormatter::~PageFormatter() {
    clear();
}

void PageFormatter::clear() {
    delete copy_.data();
    copy_ = nullptr;
    device_ = nullptr;
    width_ = -1;
}

void PageFormatter::prepare(QPaintDevice* target, int width, quint64 revision) {
    if (copy_ && device_ == target && width_ == width && revision_ == revision) {
        return;
    }
    clear();
    // The copy is a child of the document, so pictures it does not hold itself are still found.
    copy_ = source_->clone(source_);
    copy_->documentLayout()->setPaintDevice(target);
    copy_->setDocumentMargin(0);
    copy_->setTextWidth(width);
    device_ = target;
    width_ = width;
    revision_ = revision;
}

int PageFormatter::format(const FormatRange& range, bool render, quint64 revision) {
    QPaintDevice* target = range.hdcTarget != nullptr ? range.hdcTarget : range.hdc->device();
    const int dpiX = target->logicalDpiX();
    const int dpiY = target->logicalDpiY();
    const QRect area(twipsToDevice(range.rc.left(), dpiX), twipsToDevice(range.rc.top(), dpiY),
                     twipsToDevice(range.rc.width(), dpiX), twipsToDevice(range.rc.height(), dpiY));
    prepare(target, std::max(1, area.width()), revision);
    const int length = copy_->characterCount() - 1;
    const int end = range.cpMax < 0 ? length : std::min(range.cpMax, length);
    const int start = std::clamp(range.cpMin, 0, length);
    if (start >= end) {
        return end;
    }
    QAbstractTextDocumentLayout* layout = copy_->documentLayout();
    QTextBlock block = copy_->findBlock(start);
    QRectF blockRect = layout->blockBoundingRect(block);
    QTextLine line = block.layout()->lineForTextPosition(start - block.position());
    if (!line.isValid()) {
        line = block.layout()->lineAt(0);
    }
    const qreal top = line.isValid() ? lineTop(blockRect, line) : blockRect.top();
    qreal bottom = top;
    int next = end;
    bool placed = false;
    while (block.isValid() && block.position() < end) {
        const QTextLayout* textLayout = block.layout();
        for (int i = std::max(0, line.isValid() ? line.lineNumber() : 0); i < textLayout->lineCount(); ++i) {
            const QTextLine current = textLayout->lineAt(i);
            const int lineStart = block.position() + current.textStart();
            if (lineStart >= end) {
                break;
            }
            const qreal lineBottom = blockRect.top() + current.y() + current.height();
            if (placed && lineBottom - top > area.height()) {
                next = std::max(lineStart, start);
                block = QTextBlock();
                break;
            }
            bottom = std::max(bottom, lineBottom);
            placed = true;
        }
        if (!block.isValid()) {
            break;
        }
        block = block.next();
        line = QTextLine();
        if (block.isValid()) {
            blockRect = layout->blockBoundingRect(block);
        }
    }
    if (render && range.hdc != nullptr) {
        QPainter* painter = range.hdc;
        painter->save();
        painter->translate(area.left(), area.top() - top);
        const QRectF clip(0, top, area.width(), bottom - top);
        painter->setClipRect(clip);
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = clip;
        context.palette.setColor(QPalette::Text, Qt::black);
        layout->draw(painter, context);
        painter->restore();
    }
    return next;
}

}  // namespace tk::richedit
