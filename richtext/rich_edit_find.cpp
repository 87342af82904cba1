// The window's text search and page formatting.
#include "richtext/rich_edit_model.h"

#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>

namespace tk::richedit {

namespace {

bool isWordChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// hay holds the match at [at, at + n) with one character of context on either side, except where
// it reaches an end of the text.
bool isWholeWord(const QString& hay, qsizetype at, qsizetype n) {
    const bool before = at == 0 || !isWordChar(hay.at(at - 1));
    const bool after = at + n >= hay.size() || !isWordChar(hay.at(at + n));
    return before && after;
}

// Chunks start small, as the next match is usually near, and grow so that a long search reads
// the text only about twice.
constexpr int kFirstChunk = 256;
constexpr int kLargestChunk = 1 << 16;

}  // namespace

int RichEditModel::findText(const QString& what, int from, int to, quint32 flags, int* matchEnd) const {
    const int length = textLength();
    from = std::clamp(from, 0, length);
    to = to < 0 ? length : std::clamp(to, from, length);
    if (what.isEmpty() || to - from < what.size()) {
        return -1;
    }
    return (flags & FR_DOWN) ? findForward(what, from, to, flags, matchEnd)
                             : findBackward(what, from, to, flags, matchEnd);
}

// Most searches go paragraph by paragraph, reading each one once: a match cannot span a
// paragraph end unless the text holds one, and the ends on either side are word boundaries.
int RichEditModel::findForward(const QString& what, int from, int to, quint32 flags, int* matchEnd) const {
    const auto n = static_cast<int>(what.size());
    const Qt::CaseSensitivity cs = (flags & FR_MATCHCASE) ? Qt::CaseSensitive : Qt::CaseInsensitive;
    if (!what.contains(QLatin1Char('\r'))) {
        QTextBlock block = document_->findBlock(from);
        // Each paragraph's position follows from the one before: asking for it walks the document.
        int next = block.isValid() ? block.position() : to;
        for (; block.isValid() && next < to && block.length() <= kLargestChunk; block = block.next()) {
            const int pos = next;
            next += block.length();
            if (block.length() - 1 < n) {
                continue;
            }
            QString hay = block.text();
            hay.replace(QChar::LineSeparator, QChar(0x0B));
            const int limit = std::min(to, pos + static_cast<int>(hay.size())) - pos;
            for (qsizetype i = std::max(from, pos) - pos; (i = hay.indexOf(what, i, cs)) >= 0 && i + n <= limit; ++i) {
                if (!(flags & FR_WHOLEWORD) || isWholeWord(hay, i, n)) {
                    *matchEnd = pos + static_cast<int>(i) + n;
                    return pos + static_cast<int>(i);
                }
            }
        }
        if (!block.isValid() || next >= to) {
            return -1;
        }
        from = std::max(from, next);  // a very long paragraph is read a part at a time
    }
    int chunk = kFirstChunk;
    for (int pos = from; pos + n <= to;) {
        const int chunkEnd = std::min(to, pos + chunk + n - 1);  // matches start before chunkEnd - n + 1
        const int hayStart = std::max(0, pos - 1);
        const QString hay = textRange(hayStart, std::min(textLength(), chunkEnd + 1));
        for (qsizetype i = pos - hayStart; (i = hay.indexOf(what, i, cs)) >= 0 && hayStart + i + n <= chunkEnd; ++i) {
            if (!(flags & FR_WHOLEWORD) || isWholeWord(hay, i, n)) {
                *matchEnd = hayStart + static_cast<int>(i) + n;
                return hayStart + static_cast<int>(i);
            }
        }
        pos = chunkEnd - n + 1;
        chunk = std::min(chunk * 2, kLargestChunk);
    }
    return -1;
}

int RichEditModel::replaceAll(const QString& what, const QString& with, int from, quint32 flags, bool canUndo) {
    const auto n = static_cast<int>(what.size());
    if (what.isEmpty()) {
        return 0;
    }
    // The text as findText reads it, position for position: paragraph and frame ends as CR, soft
    // line breaks as VT. The text after the last replacement is still this text, shifted by
    // `shift`, so each search goes on in it without reading the document again.
    auto readText = [this] {
        QString text = document_->toRawText();
        for (QChar& c : text) {
            const char16_t u = c.unicode();
            if (u == QChar::ParagraphSeparator || u == 0xFDD0 || u == 0xFDD1) {
                c = QLatin1Char('\r');
            } else if (u == QChar::LineSeparator) {
                c = QChar(0x0B);
            }
        }
        return text;
    };
    QString text = readText();
    const Qt::CaseSensitivity cs = (flags & FR_MATCHCASE) ? Qt::CaseSensitive : Qt::CaseInsensitive;
    const bool undoWasOn = document_->isUndoRedoEnabled();
    if (!canUndo && undoWasOn) {
        document_->setUndoRedoEnabled(false);
    }
    int count = 0;
    int length = static_cast<int>(text.size());
    int shift = 0;     // live position minus position in text, after the last replacement
    int lastEnd = -1;  // where in text the last replaced match ended
    QTextCursor last;  // the last replacement, selected
    batch([&] {
        for (qsizetype i = std::clamp(from, 0, length); (i = text.indexOf(what, i, cs)) >= 0;) {
            const auto at = static_cast<int>(i);
            if (flags & FR_WHOLEWORD) {
                // Right after a replacement, the character before the match is the replacement's.
                QString context = at == 0         ? QString()
                                  : at == lastEnd ? textRange(at + shift - 1, at + shift)
                                                  : QString(text.at(at - 1));
                const qsizetype before = context.size();
                context += QStringView(text).mid(at, n);
                if (at + n < text.size()) {
                    context += text.at(at + n);
                }
                if (!isWholeWord(context, before, n)) {
                    ++i;
                    continue;
                }
            }
            const int start = at + shift;
            const int end = start + n;
            i = at + n;  // the next search starts after what this one found, replaced or not
            if (!allowEdit(EditMessage::ReplaceSel, start, end, canUndo ? 1 : 0)) {
                continue;
            }
            QTextCursor c(document_);
            c.setPosition(start);
            c.setPosition(end, QTextCursor::KeepAnchor);
            insertPlainText(c, with);
            const int inserted = c.position() - start;
            c.setPosition(start);
            c.setPosition(start + inserted, QTextCursor::KeepAnchor);
            last = c;
            ++count;
            const int now = textLength();
            if (now - length == inserted - n) {
                shift += inserted - n;
                lastEnd = at + n;
            } else {
                // Part of the match stayed (the end of a table cell cannot be deleted): the text is
                // read again, and the search goes on after the inserted text, as it does there.
                text = readText();
                shift = 0;
                lastEnd = -1;
                i = start + inserted;
            }
            length = now;
        }
    });
    if (!canUndo && undoWasOn) {
        document_->setUndoRedoEnabled(true);
        undoSteps_ = 0;
        redoSteps_ = 0;
    }
    if (count > 0) {
        setTextCursor(last);
    }
    return count;
}

int RichEditModel::findBackward(const QString& what, int from, int to, quint32 flags, int* matchEnd) const {
    const auto n = static_cast<int>(what.size());
    const Qt::CaseSensitivity cs = (flags & FR_MATCHCASE) ? Qt::CaseSensitive : Qt::CaseInsensitive;
    int chunk = kFirstChunk;
    for (int pos = to; pos - n >= from;) {
        const int chunkStart = std::max(from, pos - chunk - n + 1);  // matches end after chunkStart + n - 1
        const int hayStart = std::max(0, chunkStart - 1);
        const QString hay = textRange(hayStart, std::min(textLength(), pos + 1));
        for (qsizetype i = pos - n - hayStart;
             i >= chunkStart - hayStart && (i = hay.lastIndexOf(what, i, cs)) >= 0 && hayStart + i >= chunkStart; --i) {
            if (!(flags & FR_WHOLEWORD) || isWholeWord(hay, i, n)) {
                *matchEnd = hayStart + static_cast<int>(i) + n;
                return hayStart + static_cast<int>(i);
            }
        }
        pos = chunkStart + n - 1;
        chunk = std::min(chunk * 2, kLargestChunk);
    }
    return -1;
}

int RichEditModel::formatRange(const FormatRange* range, bool render) {
    if (range == nullptr) {
        pages_.reset();
        return 0;
    }
    if (!pages_) {
        pages_ = std::make_unique<PageFormatter>(document_);
    }
    return pages_->format(*range, render, revision_);
}

}  // namespace tk::richedit
