#include "richtext/rich_edit_model.h"

#include "richtext/rich_format.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>

namespace tk::richedit {

RichEditModel::RichEditModel(QTextDocument* document, QObject* parent)
    : QObject(parent), document_(document), cursor_(document) {
    connect(document_, &QTextDocument::contentsChanged, this, &RichEditModel::contentsChanged);
    connect(document_, &QTextDocument::undoCommandAdded, this, &RichEditModel::undoCommandAdded);
    connect(document_, &QTextDocument::contentsChange, this, &RichEditModel::linesChangedFrom);
}

RichEditModel::~RichEditModel() = default;

quint32 RichEditModel::setEventMask(quint32 mask) {
    const quint32 old = eventMask_;
    eventMask_ = mask;
    return old;
}

// ---- selection ----

int RichEditModel::clampPosition(int cp) const {
    return std::clamp(cp, 0, textLength());
}

int RichEditModel::textLength() const {
    return document_->characterCount() - 1;
}

int RichEditModel::selectionStart() const {
    return textCursor().selectionStart();
}

int RichEditModel::selectionEnd() const {
    return textCursor().selectionEnd();
}

void RichEditModel::getSelection(int* cpMin, int* cpMax) const {
    const QTextCursor c = textCursor();
    *cpMin = c.selectionStart();
    *cpMax = c.selectionEnd();
}

void RichEditModel::setSelection(int cpMin, int cpMax) {
    QTextCursor c = textCursor();
    // Selecting what is selected already changes nothing; placing the caret again would lay the
    // text out up to it for nothing.
    if (cpMin == 0 && cpMax == -1 && c.anchor() == 0 && c.position() == textLength()) {
        return;
    }
    if (cpMin < 0) {
        c.setPosition(c.selectionEnd());
    } else if (cpMin == 0 && cpMax == -1) {
        c.setPosition(0);
        c.setPosition(textLength(), QTextCursor::KeepAnchor);
    } else {
        // The anchor goes to cpMin, the caret to cpMax, as the window does; out-of-range ends are
        // pulled to the text.
        const int length = textLength();
        c.setPosition(std::clamp(cpMin, 0, length));
        c.setPosition(cpMax < 0 ? length : std::clamp(cpMax, 0, length), QTextCursor::KeepAnchor);
    }
    setTextCursor(c);
}

void RichEditModel::setTextCursor(const QTextCursor& cursor) {
    cursor_ = cursor;
    cursorMoved();
}

void RichEditModel::cursorMoved() {
    const QTextCursor c = textCursor();
    if (c.selectionStart() == lastSelStart_ && c.selectionEnd() == lastSelEnd_) {
        return;
    }
    lastSelStart_ = c.selectionStart();
    lastSelEnd_ = c.selectionEnd();
    if ((eventMask_ & ENM_SELCHANGE) && notifications_.selectionChange) {
        notifications_.selectionChange();
    }
}

int RichEditModel::selectionType() const {
    const QTextCursor c = textCursor();
    if (!c.hasSelection()) {
        return SEL_EMPTY;
    }
    const QString text = textRange(c.selectionStart(), c.selectionEnd());
    const auto objects = static_cast<int>(text.count(QChar::ObjectReplacementCharacter));
    const auto chars = static_cast<int>(text.size()) - objects;
    int kind = 0;
    if (chars > 0) {
        kind |= SEL_TEXT;
    }
    if (chars > 1) {
        kind |= SEL_MULTICHAR;
    }
    if (objects > 0) {
        kind |= SEL_OBJECT;
    }
    if (objects > 1) {
        kind |= SEL_MULTIOBJECT;
    }
    return kind;
}

// ---- text ----

QString RichEditModel::textRange(int start, int end) const {
    const int length = textLength();
    start = std::clamp(start, 0, length);
    end = end < 0 ? length : std::clamp(end, start, length);
    if (start >= end) {
        return {};
    }
    QString text;
    text.reserve(end - start);
    for (QTextBlock block = document_->findBlock(start); block.isValid() && block.position() < end;
         block = block.next()) {
        const int blockStart = block.position();
        const int from = std::max(start, blockStart) - blockStart;
        const int to = std::min(end, blockStart + block.length()) - blockStart;
        const QString blockText = block.text();
        const int textEnd = std::min(to, static_cast<int>(blockText.size()));
        if (from < textEnd) {
            text += QStringView(blockText).mid(from, textEnd - from);
        }
        if (to > blockText.size()) {
            text += QLatin1Char('\r');  // the paragraph end
        }
    }
    return text.replace(QChar::LineSeparator, QChar(0x0B));
}

bool RichEditModel::insertPlainText(QTextCursor& cursor, const QString& text) {
    // Typed or replaced text never inherits protection from the text before it: it would lock
    // the user out of what was just written.
    QTextCharFormat format = richformat::withoutPicture(cursor.charFormat());
    format.clearProperty(richformat::Protected);
    format.setAnchor(false);
    format.clearProperty(QTextFormat::AnchorHref);
    QString normalized = text;
    normalized.replace(QLatin1String("\r\n"), QLatin1String("\r"));
    normalized.replace(QLatin1Char('\n'), QLatin1Char('\r'));
    normalized.replace(QLatin1Char('\r'), QChar::ParagraphSeparator);
    normalized.replace(QChar(0x0B), QChar::LineSeparator);
    const int room = textLimit_ - (textLength() - (cursor.selectionEnd() - cursor.selectionStart()));
    if (room < normalized.size()) {
        normalized.truncate(std::max(0, room));
    }
    cursor.insertText(normalized, format);
    return true;
}

bool RichEditModel::replaceSelection(const QString& text, bool canUndo, bool selectInserted) {
    QTextCursor c = textCursor();
    const int start = c.selectionStart();
    if (!allowEdit(EditMessage::ReplaceSel, c.selectionStart(), c.selectionEnd(), canUndo ? 1 : 0)) {
        return false;
    }
    const bool undoWasOn = document_->isUndoRedoEnabled();
    if (!canUndo && undoWasOn) {
        // A change that cannot be undone leaves nothing before it to undo either.
        document_->setUndoRedoEnabled(false);
    }
    batch([&] {
        c.beginEditBlock();
        insertPlainText(c, text);
        c.endEditBlock();
    });
    if (!canUndo && undoWasOn) {
        document_->setUndoRedoEnabled(true);
        undoSteps_ = 0;
        redoSteps_ = 0;
    }
    if (selectInserted) {
        // What the text limit let in, which may be less than text.
        const int end = c.position();
        c.setPosition(start);
        c.setPosition(end, QTextCursor::KeepAnchor);
    }
    setTextCursor(c);
    return true;
}

void RichEditModel::setText(const QString& text) {
    batch([&] {
        const bool undoWasOn = document_->isUndoRedoEnabled();
        document_->setUndoRedoEnabled(false);
        document_->clear();
        QTextCursor c(document_);
        insertPlainText(c, text);
        document_->setUndoRedoEnabled(undoWasOn);
        undoSteps_ = redoSteps_ = 0;
        QTextCursor start(document_);
        setTextCursor(start);
    });
    document_->setModified(false);
}

void RichEditModel::contentsChanged() {
    // Sent for every change of text or format (contentsChange is not, without a layout).
    ++revision_;
    // An edit reported where it began: its lines were dropped from there on. A change without a
    // position (made while no layout exists) may have changed any line.
    if (!editInProgress_) {
        linesValid_ = false;
    }
    editInProgress_ = false;
    if (batchDepth_ > 0) {
        changePending_ = true;
        return;
    }
    if ((eventMask_ & ENM_CHANGE) && notifications_.change) {
        notifications_.change();
    }
}

void RichEditModel::endBatch() {
    if (--batchDepth_ > 0 || !changePending_) {
        return;
    }
    changePending_ = false;
    contentsChanged();
}

void RichEditModel::setTextLimit(int limit) {
    textLimit_ = limit <= 0 ? 65535 : std::min(limit, 0x7FFFFFFF);
}

// ---- lines ----

namespace {

int linesOf(const QTextBlock& block) {
    const QTextLayout* layout = block.layout();
    return layout != nullptr && layout->lineCount() > 0 ? layout->lineCount() : 1;
}

}  // namespace

void RichEditModel::linesChangedFrom(int position) {
    editInProgress_ = true;
    const QTextBlock block = document_->findBlock(position);
    if (!block.isValid()) {
        linesValid_ = false;
        return;
    }
    // The first lines of the blocks up to the edited one depend only on the blocks above it.
    const auto keep = static_cast<size_t>(block.blockNumber()) + 1;
    if (linesValid_ && firstLines_.size() > keep) {
        firstLines_.resize(keep);
    }
}

void RichEditModel::layoutUpdated() {
    // During an edit the layout reports the edited part, which linesChangedFrom has dropped.
    if (!editInProgress_) {
        linesValid_ = false;
    }
}

// The first display line of every block, counted once per layout and only as far as asked: the
// line list asks for lines one after another, which would otherwise count from the top each
// time, and the caret near the top of a long document must not lay out all of it.
void RichEditModel::ensureLinesThrough(int blockNumber) const {
    blockNumber = std::clamp(blockNumber, 0, document_->blockCount() - 1);
    extendLines([&] { return firstLines_.size() >= static_cast<size_t>(blockNumber) + 2; });
}

// Counts the lines of further blocks, laying each out as it goes, until enough is known.
void RichEditModel::extendLines(const std::function<bool()>& enough) const {
    QAbstractTextDocumentLayout* layout = document_->documentLayout();
    if (layout != lineTableLayout_) {
        lineTableLayout_ = layout;
        linesValid_ = false;
        connect(layout, &QAbstractTextDocumentLayout::update, this, &RichEditModel::layoutUpdated,
                Qt::UniqueConnection);
    }
    if (!linesValid_) {
        firstLines_.assign(1, 0);
        linesValid_ = true;
    }
    const int blocks = document_->blockCount();
    while (!enough() && static_cast<int>(firstLines_.size()) <= blocks) {
        const QTextBlock block = document_->findBlockByNumber(static_cast<int>(firstLines_.size()) - 1);
        layout->blockBoundingRect(block);  // lays the document out down to this block
        // Laying out may report a change; what was counted above the block stays true.
        linesValid_ = true;
        firstLines_.push_back(firstLines_.back() + linesOf(block));
    }
}

void RichEditModel::ensureLineTable() const {
    extendLines([] { return false; });
}

int RichEditModel::lineCount() const {
    ensureLineTable();
    return std::max(1, firstLines_.back());
}

int RichEditModel::lineFromChar(int cp) const {
    if (cp < 0) {
        cp = textCursor().position();
    }
    cp = clampPosition(cp);
    const QTextBlock block = document_->findBlock(cp);
    if (!block.isValid()) {
        return std::max(0, lineCount() - 1);
    }
    ensureLinesThrough(block.blockNumber());
    const QTextLayout* layout = block.layout();
    int inBlock = 0;
    if (layout != nullptr && layout->lineCount() > 0) {
        const QTextLine line = layout->lineForTextPosition(cp - block.position());
        inBlock = line.isValid() ? line.lineNumber() : layout->lineCount() - 1;
    }
    return firstLines_[static_cast<size_t>(block.blockNumber())] + inBlock;
}

QTextBlock RichEditModel::blockOfLine(int line, int* inBlock) const {
    extendLines([&] { return firstLines_.back() > line; });
    if (line < 0 || line >= firstLines_.back()) {
        return {};
    }
    const auto it = std::upper_bound(firstLines_.begin(), firstLines_.end(), line);
    const auto number = static_cast<int>(it - firstLines_.begin()) - 1;
    *inBlock = line - firstLines_[static_cast<size_t>(number)];
    return document_->findBlockByNumber(number);
}

int RichEditModel::lineIndex(int line) const {
    if (line < 0) {
        line = lineFromChar(-1);
    }
    int inBlock = 0;
    const QTextBlock block = blockOfLine(line, &inBlock);
    if (!block.isValid()) {
        return -1;
    }
    const QTextLayout* layout = block.layout();
    if (layout == nullptr || inBlock <= 0 || inBlock >= layout->lineCount()) {
        return block.position();
    }
    return block.position() + layout->lineAt(inBlock).textStart();
}

int RichEditModel::lineLength(int cp) const {
    const int line = lineFromChar(cp);
    const int start = lineIndex(line);
    if (start < 0) {
        return 0;
    }
    int inBlock = 0;
    const QTextBlock block = blockOfLine(line, &inBlock);
    const QTextLayout* layout = block.layout();
    if (layout != nullptr && inBlock >= 0 && inBlock < layout->lineCount()) {
        const QTextLine textLine = layout->lineAt(inBlock);
        int length = textLine.textLength();
        // A wrapped line's trailing break is not part of its text.
        if (inBlock == layout->lineCount() - 1) {
            length = block.length() - 1 - textLine.textStart();
        }
        return std::max(0, length);
    }
    return block.length() - 1;
}

QString RichEditModel::line(int lineNumber) const {
    const int start = lineIndex(lineNumber);
    if (start < 0) {
        return {};
    }
    const int length = lineLength(start);
    const QTextBlock block = document_->findBlock(start);
    const bool endsParagraph = start + length == block.position() + block.length() - 1;
    QString text = textRange(start, start + length);
    if (endsParagraph && block.next().isValid()) {
        text += QLatin1Char('\r');
    }
    return text;
}

// ---- undo ----

void RichEditModel::setEffectiveUndo() {
    document_->setUndoRedoEnabled(undoLimit_ > 0);
    undoSteps_ = std::min(undoSteps_, undoLimit_);
}

int RichEditModel::setUndoLimit(int limit) {
    undoLimit_ = std::max(0, limit);
    setEffectiveUndo();
    return undoLimit_;
}

void RichEditModel::undoCommandAdded() {
    if (undoing_) {
        return;
    }
    // Steps that could have been redone are gone: their numbers no longer name large changes.
    const int level = ++undoLevel_;
    largeSteps_.erase(std::remove_if(largeSteps_.begin(), largeSteps_.end(), [level](int n) { return n >= level; }),
                      largeSteps_.end());
    const int limit = singleLevelUndo_ ? std::min(1, undoLimit_) : undoLimit_;
    undoSteps_ = std::min(undoSteps_ + 1, limit);
    redoSteps_ = 0;
}

bool RichEditModel::canUndo() const {
    if (singleLevelUndo_ && undoSteps_ == 0) {
        // Single-level undo toggles: the undo after an undo takes it back.
        return redoSteps_ > 0 && document_->isRedoAvailable();
    }
    return undoSteps_ > 0 && document_->isUndoAvailable();
}

bool RichEditModel::canRedo() const {
    return redoSteps_ > 0 && document_->isRedoAvailable();
}

bool RichEditModel::undo() {
    if (!canUndo()) {
        return false;
    }
    if (singleLevelUndo_ && undoSteps_ == 0) {
        return redo();
    }
    undoRedo(true);
    --undoSteps_;
    ++redoSteps_;
    return true;
}

bool RichEditModel::redo() {
    if (!canRedo()) {
        return false;
    }
    undoRedo(false);
    --redoSteps_;
    ++undoSteps_;
    return true;
}

// Taking back a large format change goes without a layout meanwhile, as making it did. Such a
// step moves no text, so the selection stays as it is instead of collapsing where the step began.
void RichEditModel::undoRedo(bool undo) {
    const int step = undo ? undoLevel_ : undoLevel_ + 1;
    undoLevel_ = undo ? undoLevel_ - 1 : undoLevel_ + 1;
    const bool large = std::find(largeSteps_.cbegin(), largeSteps_.cend(), step) != largeSteps_.cend();
    QTextCursor c = textCursor();
    undoing_ = true;
    batch([&] {
        if (large) {
            beginLargeChange();
        }
        if (undo) {
            document_->undo(large ? nullptr : &c);
        } else {
            document_->redo(large ? nullptr : &c);
        }
        if (large) {
            endLargeChange();
        }
    });
    undoing_ = false;
    if (large) {
        cursorMoved();
    } else {
        setTextCursor(c);
    }
}

void RichEditModel::largeChangeMade() {
    largeSteps_.push_back(undoLevel_);
}

void RichEditModel::emptyUndoBuffer() {
    document_->clearUndoRedoStacks();
    undoSteps_ = redoSteps_ = 0;
    largeSteps_.clear();
    undoLevel_ = 0;
}

bool RichEditModel::setTextMode(int mode, bool keepText) {
    if (textLength() > 0 && !keepText) {
        return false;
    }
    if (mode & TM_PLAINTEXT) {
        plainText_ = true;
    } else if (mode & TM_RICHTEXT) {
        plainText_ = false;
    }
    if (mode & TM_SINGLELEVELUNDO) {
        singleLevelUndo_ = true;
    } else if (mode & TM_MULTILEVELUNDO) {
        singleLevelUndo_ = false;
    }
    if (!keepText) {
        emptyUndoBuffer();
    }
    return true;
}

int RichEditModel::textMode() const {
    return (plainText_ ? TM_PLAINTEXT : TM_RICHTEXT) | (singleLevelUndo_ ? TM_SINGLELEVELUNDO : TM_MULTILEVELUNDO);
}

bool RichEditModel::isModified() const {
    return document_->isModified();
}

void RichEditModel::setModified(bool modified) {
    document_->setModified(modified);
}

// ---- protection ----

bool RichEditModel::rangeTouchesProtected(int from, int to) const {
    // Most documents have no protected format at all; then nothing needs looking at. This comes
    // first: replacing every match of a search asks once per match.
    const QList<QTextFormat> formats = document_->allFormats();
    if (std::none_of(formats.cbegin(), formats.cend(),
                     [](const QTextFormat& f) { return f.boolProperty(richformat::Protected); })) {
        return false;
    }
    const int length = textLength();
    from = std::clamp(from, 0, length);
    to = std::clamp(to, from, length);
    auto isProtected = [this](int cp) {
        QTextCursor probe(document_);
        probe.setPosition(cp + 1);
        return probe.charFormat().boolProperty(richformat::Protected);
    };
    if (from == to) {
        // An insertion point is protected only inside a protected run.
        return from > 0 && from < length && isProtected(from - 1) && isProtected(from);
    }
    for (QTextBlock block = document_->findBlock(from); block.isValid() && block.position() < to;
         block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const int fStart = fragment.position();
            const int fEnd = fStart + fragment.length();
            if (fEnd > from && fStart < to && fragment.charFormat().boolProperty(richformat::Protected)) {
                return true;
            }
        }
    }
    return false;
}

bool RichEditModel::allowEdit(EditMessage msg, int from, int to, quintptr wParam) {
    if (!rangeTouchesProtected(from, to)) {
        return true;
    }
    // Without the notification the window refuses, as it does when nobody allows the change.
    if (!(eventMask_ & ENM_PROTECTED) || !notifications_.protectedChange) {
        return false;
    }
    ProtectedNotify notify;
    notify.msg = msg;
    notify.wParam = wParam;
    notify.cpMin = from;
    notify.cpMax = to;
    return notifications_.protectedChange(notify);
}

}  // namespace tk::richedit
