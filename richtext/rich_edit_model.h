#pragma once

#include "richtext/rich_edit_pages.h"
#include "richtext/rich_edit_types.h"

#include <QAbstractTextDocumentLayout>
#include <QObject>
#include <QPointer>
#include <QTextCursor>

#include <functional>
#include <memory>
#include <vector>

class QTextBlock;
class QTextDocument;

namespace tk::richedit {

// EM_FINDTEXTEX flags.
inline constexpr quint32 FR_DOWN = 0x00000001;
inline constexpr quint32 FR_WHOLEWORD = 0x00000002;
inline constexpr quint32 FR_MATCHCASE = 0x00000004;

// The rich edit window's document side: everything the rich text control asks of the window that
// needs no screen. Character positions are QTextDocument positions: a paragraph break and an
// embedded object count as one character each, as the control counts them. The window
// (RichEditWindow) shares one of these with its view; without a view it edits a document alone,
// which is what the command-line companion uses.
class RichEditModel : public QObject {
    Q_OBJECT

  public:
    // A format change of at least this many characters counts as large.
    static constexpr int kLargeChange = 20000;

    explicit RichEditModel(QTextDocument* document, QObject* parent = nullptr);
    ~RichEditModel() override;
    RichEditModel(const RichEditModel&) = delete;
    RichEditModel& operator=(const RichEditModel&) = delete;

    QTextDocument* document() const { return document_; }
    Notifications& notifications() { return notifications_; }

    // Event mask; returns the previous mask.
    quint32 eventMask() const { return eventMask_; }
    quint32 setEventMask(quint32 mask);

    // Selection. setSelection(0, -1) selects everything; a negative cpMin removes the selection,
    // leaving the caret at its end.
    void getSelection(int* cpMin, int* cpMax) const;
    void setSelection(int cpMin, int cpMax);
    int selectionType() const;
    QString selectedText() const { return textRange(selectionStart(), selectionEnd()); }
    int selectionStart() const;
    int selectionEnd() const;

    // Replaces the selection; false when protected text refused the edit. Text beyond the text
    // limit is cut off. The caret ends after the inserted text, or with selectInserted, the
    // inserted text ends selected.
    bool replaceSelection(const QString& text, bool canUndo, bool selectInserted = false);
    // Text of [start, end); end -1 means the end. Paragraph breaks read as CR, soft line breaks as
    // VT, embedded objects as U+FFFC.
    QString textRange(int start, int end) const;
    int textLength() const;
    QString text() const { return textRange(0, -1); }
    // Replaces the whole text (no protection check, no undo, clears the modified flag).
    void setText(const QString& text);

    // EM_FINDTEXTEX over the text as textRange reads it, so positions count paragraph ends and
    // embedded objects as one character each. With FR_DOWN the first match in [from, to) is
    // found, otherwise the last one; a match lies wholly inside the range. Returns its position
    // and sets *matchEnd, or -1. to -1 means the end of the text.
    int findText(const QString& what, int from, int to, quint32 flags, int* matchEnd) const;
    // Replaces every match of what from `from` on, as repeated downward searches that each start
    // after the text inserted last, each replacing the match found: a replacement that holds the
    // find text is not searched again. A match in protected text is replaced only when the owner
    // allows it. Returns the number replaced; the last replacement ends selected. The text is read
    // once, not once per match.
    int replaceAll(const QString& what, const QString& with, int from, quint32 flags, bool canUndo);

    // EM_FORMATRANGE: lays out (and with render draws) one page from range->cpMin; returns the
    // first position that did not fit. No range clears the formatting cache and returns 0.
    int formatRange(const FormatRange* range, bool render);

    // Display lines, counted as laid out.
    int lineCount() const;
    int lineFromChar(int cp) const;  // cp < 0: the caret's line
    int lineIndex(int line) const;   // line < 0: the caret's line; -1 when there is no such line
    int lineLength(int cp) const;    // length of the line holding cp, without its break
    QString line(int line) const;    // the line's text, with CR when it ends its paragraph

    // Text limit in characters; typing and replacing stop there.
    int textLimit() const { return textLimit_; }
    void setTextLimit(int limit);

    // Undo. The limit counts undo steps; 0 turns undo off. Returns the limit in force.
    int setUndoLimit(int limit);
    int undoLimit() const { return undoLimit_; }
    bool canUndo() const;
    bool canRedo() const;
    bool undo();
    bool redo();
    void emptyUndoBuffer();

    // Text mode: TM_PLAINTEXT or TM_RICHTEXT, with TM_SINGLELEVELUNDO or TM_MULTILEVELUNDO. Fails,
    // like the control's window, while the document holds text, unless the text is being kept
    // (a new window taking over a document that already is in that mode).
    [[nodiscard]] bool setTextMode(int mode, bool keepText = false);
    int textMode() const;
    bool isPlainText() const { return plainText_; }

    bool isModified() const;
    void setModified(bool modified);
    bool isReadOnly() const { return readOnly_; }
    virtual void setReadOnly(bool readOnly) { readOnly_ = readOnly; }

    // Character and paragraph formats.
    CharFormat2 charFormat(int target) const;
    bool setCharFormat(int target, const CharFormat2& format);
    ParaFormat2 paraFormat() const;
    bool setParaFormat(const ParaFormat2& format);

    // Streams: EM_STREAMIN and EM_STREAMOUT. They return the characters or bytes moved; on a
    // failure stream.dwError is non-zero.
    qint64 streamIn(int flags, EditStream& stream);
    qint64 streamOut(int flags, EditStream& stream);

    // Protected text: whether an edit of [from, to) touches it, and asking the owner when it does.
    // True when the edit may go ahead.
    bool rangeTouchesProtected(int from, int to) const;
    bool allowEdit(EditMessage msg, int from, int to, quintptr wParam = 0);

    // An edit of much of the text, made in many steps, is about to start and has ended: a view lays
    // the text out afresh afterwards, a screen at a time, instead of after every step.
    void beginLargeEdit() { beginLargeChange(); }
    void endLargeEdit() { endLargeChange(); }

    // Runs f with change notifications gathered into one, sent at the end.
    template <typename F>
    void batch(F&& f) {
        beginBatch();
        f();
        endBatch();
    }

    virtual QTextCursor textCursor() const { return cursor_; }
    virtual void setTextCursor(const QTextCursor& cursor);

  protected:
    // A whole document is about to be built and has been built: a view lets go of the document
    // meanwhile, so that it does not follow every one of thousands of insertions.
    virtual void beginBulkLoad() {}
    virtual void endBulkLoad() {}
    // The default character format changed; a view shows text without a colour of its own anew.
    virtual void defaultFormatChanged() {}
    // A format change of a large part of the text is about to be made and has been made: a view
    // lays the text out afresh afterwards, a screen at a time, instead of all of it at once.
    virtual void beginLargeChange() {}
    virtual void endLargeChange() {}
    // The caret or selection moved; sends the selection notification when the range changed.
    void cursorMoved();
    void beginBatch() { ++batchDepth_; }
    void endBatch();

  private:
    void setDefaultFormat(const CharFormat2& format);
    void undoRedo(bool undo);
    void largeChangeMade();
    void invalidateLines() { linesValid_ = false; }
    // An edit changed the text from position on: lines above its block are still counted right.
    void linesChangedFrom(int position);
    // The layout changed outside an edit (a new width, a new default font): every count may differ.
    void layoutUpdated();
    void ensureLinesThrough(int blockNumber) const;
    void extendLines(const std::function<bool()>& enough) const;

    void ensureLineTable() const;
    QTextBlock blockOfLine(int line, int* inBlock) const;
    void contentsChanged();
    void undoCommandAdded();
    int clampPosition(int cp) const;
    bool insertPlainText(QTextCursor& cursor, const QString& text);
    void setEffectiveUndo();
    int findForward(const QString& what, int from, int to, quint32 flags, int* matchEnd) const;
    int findBackward(const QString& what, int from, int to, quint32 flags, int* matchEnd) const;

    QTextDocument* document_;
    QTextCursor cursor_;
    Notifications notifications_;
    quint32 eventMask_ = ENM_NONE;
    int textLimit_ = 32767;
    int undoLimit_ = 100;
    bool singleLevelUndo_ = false;
    bool plainText_ = false;
    bool readOnly_ = false;
    int undoSteps_ = 0;  // steps the limit lets the user undo
    int redoSteps_ = 0;
    int batchDepth_ = 0;
    bool changePending_ = false;
    int lastSelStart_ = 0;
    int lastSelEnd_ = 0;
    bool undoing_ = false;
    int undoLevel_ = 0;            // undo steps the document holds before its redo steps
    std::vector<int> largeSteps_;  // the levels, 1 the oldest, at which large format changes were made
    // The format of the last selection read, while the document has not changed since.
    struct CharFormatCache {
        int start = -1;
        int end = -1;
        quint64 revision = 0;
        CharFormat2 format;
    };
    mutable CharFormatCache charFormatCache_;
    quint64 revision_ = 1;
    mutable std::vector<int> firstLines_;  // first display line of each block, then the total
    bool editInProgress_ = false;          // between an edit's contentsChange and its contentsChanged
    mutable bool linesValid_ = false;
    mutable QPointer<QAbstractTextDocumentLayout> lineTableLayout_;
    std::unique_ptr<PageFormatter> pages_;
};

}  // namespace tk::richedit
