#pragma once

#include <QHash>
#include <QList>
#include <QPointer>
#include <QString>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextImageFormat>
#include <QTextList>
#include <QTextListFormat>
#include <QTextOption>

#include <array>

class QTextTable;

namespace tk::rtf {

// A paragraph's numbering as the reader resolved it.
struct Numbering {
    QTextListFormat::Style style = QTextListFormat::ListStyleUndefined;  // undefined: none
    int level = 0;
    int start = 1;
    int tabTwips = 0;
    QString prefix;
    QString suffix;
    int listId = 0;             // a list table's list (numbers continue across it); 0: consecutive paragraphs only
    bool continuation = false;  // \pnlvlcont: a further paragraph of the item above, without a number
    int shown = 0;              // the number the writer showed for the paragraph, 0: not known

    bool sameList(const Numbering& other) const {
        return style == other.style && level == other.level && listId == other.listId && prefix == other.prefix &&
               suffix == other.suffix;
    }
};

// Paragraph properties of a group.
struct ParaState {
    QTextBlockFormat block;
    QList<QTextOption::Tab> tabs;
    QTextOption::TabType tabType = QTextOption::LeftTab;
    int sl = 0;  // \sl as written, 0: single
    bool slMult = false;
    bool inTable = false;
    int itap = 0;  // table nesting: 1 a table's cell, 2 and more a nested table's
    int ls = 0;
    int ilvl = 0;
    bool hasPn = false;
    Numbering pn;
};

// A cell's part in a vertical merge (\clvmgf, \clvmrg).
enum class CellMerge : unsigned char { None, First, Continue };

// One table row's definition (\trowd ... \cellx).
struct RowDefinition {
    QList<int> cellRight;  // twips, right boundary of each cell
    QList<QColor> cellBackground;
    QList<CellMerge> cellMerge;
    QColor pendingBackground;
    CellMerge pendingMerge = CellMerge::None;
    int left = 0;
    bool borders = false;
};

// Builds the document through a cursor: text runs are gathered and inserted once per format,
// paragraph breaks wait until content follows them (the last \par of a document makes no empty
// paragraph), and \intbl paragraphs become cells of a real table. What it builds is charged to a
// memory budget; once the budget is spent nothing more is added and outOfMemory() says so.
class RtfBuilder final {
  public:
    RtfBuilder(QTextCursor& cursor, qint64 memoryBudget);

    // Text in the character format numbered formatVersion (equal numbers mean equal formats).
    void text(QStringView text, const QTextCharFormat& format, quint64 formatVersion, const ParaState& para);
    void image(const QTextImageFormat& format, const ParaState& para);
    void paragraph(const ParaState& para, const Numbering* numbering, const QTextCharFormat& format);
    // The paragraph after the last \par starts a new page (\page).
    void pageBreakBeforeNext() { pageBreakNext_ = true; }
    void cell(const ParaState& para, const Numbering* numbering);
    void row();
    RowDefinition& rowDefinition() { return rowDef_; }
    void finish(const ParaState& para, const Numbering* numbering);
    // Ends the paragraph being built, if it has content and no paragraph mark ended it yet.
    void endOpenParagraph(const ParaState& para, const Numbering* numbering, const QTextCharFormat& format);
    QTextDocument* document() const { return cursor_.document(); }
    bool outOfMemory() const { return outOfMemory_; }
    // A paragraph mark ended the last paragraph and nothing came after it yet.
    bool breakPending() const { return pendingBreak_; }
    // Takes the memory of text of at most this many characters ahead of its text(); false (and out
    // of memory) when the budget has not that much left.
    [[nodiscard]] bool reserveText(qint64 characters);
    // Takes memory the reader itself holds (its group stack); false (and out of memory) when the
    // budget has not that much left.
    [[nodiscard]] bool spendMemory(qint64 bytes) { return spend(bytes); }

  private:
    [[nodiscard]] bool spend(qint64 bytes);
    [[nodiscard]] bool spendCells(qint64 cells);
    void flushRun();
    void beforeContent(const ParaState& para);
    void setBlockFormat(const QTextBlockFormat& format);
    void commitBlock(const ParaState& para, const Numbering* numbering);
    QTextList* pnList(const Numbering& numbering, int* start);
    [[nodiscard]] bool startRow();
    void styleRow();
    void enterExtraCell();
    void moveToCell(int column);
    void closeTable();
    void mergeRow();
    void applyColumnWidths();

    QTextCursor& cursor_;
    qint64 memoryLeft_ = 0;
    qint64 textReserved_ = 0;  // taken ahead by reserveText()
    bool outOfMemory_ = false;
    QString run_;
    QTextCharFormat runFormat_;
    quint64 runVersion_ = ~quint64(0);
    bool pendingBreak_ = false;
    QTextCharFormat pendingBreakFormat_;
    bool wholeDocument_ = false;
    bool firstBlock_ = true;
    bool pageBreakNext_ = false;
    bool blockHasContent_ = false;
    // The format of the cursor's block, while it is known without asking the document: each
    // question costs a search of the document's blocks, and most paragraphs keep their format.
    QTextBlockFormat blockFormat_;
    bool blockFormatKnown_ = false;

    // The document deletes a list whose last item left it (a paragraph moved into or out of a
    // table does), so the lists kept for the next items are guarded pointers.
    QHash<qint64, QPointer<QTextList>> tableLists_;  // (list table id, level) -> list
    // The last list of each level numbered with \pn, and whether a paragraph without a number came
    // after it: an item continues its level's list when the number the writer showed for it follows
    // the one it showed for the item before, or, without a shown number, when no other paragraph
    // came between.
    std::array<QPointer<QTextList>, 9> pnLists_;
    std::array<Numbering, 9> pnNumbering_;
    std::array<int, 9> pnShownOffset_{};  // the list's first number less the one the writer showed for it
    bool pnBroken_ = true;

    QTextTable* table_ = nullptr;
    RowDefinition rowDef_;
    int row_ = -1;
    int cell_ = 0;
    bool rowOpen_ = false;
    qint64 cellsLeft_ = 0;
    bool tablesExhausted_ = false;
    QList<int> mergeStart_;  // per column, the row a vertical merge started in, or -1
    int mergesLeft_ = 1000;
};

}  // namespace tk::rtf
