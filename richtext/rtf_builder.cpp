#include "richtext/rtf_builder.h"

#include "richtext/rich_format.h"
#include "richtext/rtf_reader.h"

#include <QTextDocument>
#include <QTextList>
#include <QTextTable>

namespace tk::rtf {

namespace {

// Columns a hostile row may add; real tables stay far below.
constexpr int kMaxColumns = 64;

// Bytes a picture or an object keeps in the document: its data and the RTF kept to write it back.
qint64 retainedBytes(const QTextFormat& format) {
    qint64 bytes = 0;
    const QMap<int, QVariant> properties = format.properties();
    for (const QVariant& value : properties) {
        if (value.typeId() == QMetaType::QByteArray) {
            bytes += value.toByteArray().size();
        }
    }
    return bytes;
}

}  // namespace

RtfBuilder::RtfBuilder(QTextCursor& cursor, qint64 memoryBudget)
    : cursor_(cursor), memoryLeft_(memoryBudget), cellsLeft_(kMaxTableCells) {
    wholeDocument_ = cursor.document()->isEmpty();
}

bool RtfBuilder::spend(qint64 bytes) {
    if (outOfMemory_ || bytes > memoryLeft_) {
        outOfMemory_ = true;
        return false;
    }
    memoryLeft_ -= bytes;
    return true;
}

bool RtfBuilder::reserveText(qint64 characters) {
    if (!spend(characters * kCharacterMemory)) {
        return false;
    }
    textReserved_ += characters * kCharacterMemory;
    return true;
}

// Takes cells from the document's cell limit, and their memory from the budget.
bool RtfBuilder::spendCells(qint64 cells) {
    if (cells > cellsLeft_ || !spend(cells * (kCellMemory + kParagraphMemory))) {
        return false;
    }
    cellsLeft_ -= cells;
    return true;
}

void RtfBuilder::flushRun() {
    if (run_.isEmpty()) {
        return;
    }
    if (spend(kRunMemory)) {
        cursor_.insertText(run_, runFormat_);
    }
    run_.clear();
}

void RtfBuilder::text(QStringView text, const QTextCharFormat& format, quint64 formatVersion, const ParaState& para) {
    const qint64 cost = text.size() * kCharacterMemory;
    const qint64 reserved = std::min(cost, textReserved_);
    textReserved_ -= reserved;
    if (text.isEmpty() || !spend(cost - reserved)) {
        return;
    }
    beforeContent(para);
    // A new format version often carries the same format (script switches, \plain then the same
    // words again): only a real change starts a new run, each of which costs the document an insert.
    if (formatVersion != runVersion_) {
        if (format != runFormat_ || run_.isEmpty()) {
            flushRun();
            runFormat_ = format;
        }
        runVersion_ = formatVersion;
    }
    run_.append(text);
    blockHasContent_ = true;
}

void RtfBuilder::image(const QTextImageFormat& format, const ParaState& para) {
    if (!spend(kRunMemory + retainedBytes(format))) {
        return;
    }
    beforeContent(para);
    flushRun();
    cursor_.insertImage(format);
    blockHasContent_ = true;
}

// Makes the cursor ready for content of a paragraph: leaves or enters a table as the paragraph
// says and makes the paragraph break that the last \par asked for.
void RtfBuilder::beforeContent(const ParaState& para) {
    if (para.inTable && !tablesExhausted_) {
        if (!table_ || !rowOpen_) {
            flushRun();
            // A new table or row is a paragraph of its own. Without a row (no cells left) the
            // content is a plain paragraph, after the break it was waiting for.
            if (startRow()) {
                pendingBreak_ = false;
            }
        } else if (cell_ >= table_->columns()) {
            flushRun();
            pendingBreak_ = false;
            enterExtraCell();
        }
    } else if (table_) {
        flushRun();
        closeTable();
    }
    if (pendingBreak_) {
        flushRun();
        if (!blockFormatKnown_) {
            blockFormat_ = cursor_.blockFormat();
            blockFormatKnown_ = true;
        }
        cursor_.insertBlock(blockFormat_, pendingBreakFormat_);
        pendingBreak_ = false;
        blockHasContent_ = false;
    }
}

// Gives the cursor's block the format, unless it has it already.
void RtfBuilder::setBlockFormat(const QTextBlockFormat& format) {
    if (blockFormatKnown_ && blockFormat_ == format) {
        return;
    }
    cursor_.setBlockFormat(format);
    blockFormat_ = cursor_.blockFormat();  // as the document keeps it
    blockFormatKnown_ = true;
}

namespace {

// The most items a list built from RTF holds before the next items go on as a list of their own.
constexpr int kListItemsPerList = 512;

}  // namespace

void RtfBuilder::commitBlock(const ParaState& para, const Numbering* numbering) {
    QTextBlockFormat block = para.block;
    if (!para.tabs.isEmpty()) {
        block.setTabPositions(para.tabs);
    }
    if (pageBreakNext_) {
        block.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        pageBreakNext_ = false;
    }
    if (!numbering || numbering->style == QTextListFormat::ListStyleUndefined) {
        setBlockFormat(block);
        if (!(para.hasPn && para.pn.continuation)) {
            pnBroken_ = true;
        }
        return;
    }
    if (block.textIndent() != 0) {
        block.setProperty(richformat::NumberFirstIndentTwips, richformat::pixelsToTwips(block.textIndent()));
        block.setTextIndent(0);
    }
    setBlockFormat(block);
    blockFormatKnown_ = false;  // joining or starting a list changes it
    QTextList* list = nullptr;
    int start = numbering->start;
    if (numbering->listId != 0) {
        list = tableLists_.value((qint64(numbering->listId) << 8) | numbering->level);
    } else {
        list = pnList(*numbering, &start);
    }
    if (list && list->count() >= kListItemsPerList) {
        // Qt marks every item of a list changed whenever one joins it, so one list of n items costs
        // n² to build: 32,000 numbered paragraphs took over a minute. A longer list goes on as the
        // next list, numbered on from where the last one ended, which shows and saves the same.
        QTextListFormat format = list->format();
        const int first =
            format.hasProperty(richformat::NumberingStart) ? format.intProperty(richformat::NumberingStart) : 1;
        format.setProperty(richformat::NumberingStart, first + list->count());
        list = cursor_.createList(format);
        if (numbering->listId != 0) {
            tableLists_.insert((qint64(numbering->listId) << 8) | numbering->level, list);
        }
    } else if (list) {
        list->add(cursor_.block());
    } else {
        QTextListFormat format;
        format.setStyle(numbering->style);
        format.setIndent(0);
        const bool bullet = numbering->style == QTextListFormat::ListDisc ||
                            numbering->style == QTextListFormat::ListCircle ||
                            numbering->style == QTextListFormat::ListSquare;
        if (!bullet) {
            format.setNumberPrefix(numbering->prefix);
            format.setNumberSuffix(numbering->suffix);
        }
        format.setProperty(richformat::NumberingStart, start);
        if (numbering->tabTwips != 0) {
            format.setProperty(richformat::NumberingTabTwips, numbering->tabTwips);
        }
        list = cursor_.createList(format);
        if (numbering->listId != 0) {
            tableLists_.insert((qint64(numbering->listId) << 8) | numbering->level, list);
        }
    }
    if (numbering->listId == 0) {
        const size_t level = size_t(std::clamp(numbering->level, 0, 8));
        pnLists_[level] = list;
        pnNumbering_[level] = *numbering;
        pnBroken_ = false;
    }
}

// The list a \pn item joins, or none (a new list, from *start).
QTextList* RtfBuilder::pnList(const Numbering& numbering, int* start) {
    const size_t level = size_t(std::clamp(numbering.level, 0, 8));
    // An item ends the lists of the levels below it: their next items start again.
    for (size_t deeper = level + 1; deeper < pnLists_.size(); ++deeper) {
        pnLists_[deeper] = nullptr;
    }
    const bool bullet = numbering.style == QTextListFormat::ListDisc ||
                        numbering.style == QTextListFormat::ListCircle ||
                        numbering.style == QTextListFormat::ListSquare;
    const bool shown = numbering.shown > 0 && !bullet;
    QTextList* list = pnLists_[level];
    if (list && pnNumbering_[level].sameList(numbering)) {
        const QTextListFormat format = list->format();
        const int first =
            format.hasProperty(richformat::NumberingStart) ? format.intProperty(richformat::NumberingStart) : 1;
        // The writer's numbers are taken as it counted them, in step with the list from its first item.
        if (shown ? numbering.shown + pnShownOffset_[level] == first + list->count() : !pnBroken_) {
            return list;
        }
    }
    pnShownOffset_[level] = shown ? *start - numbering.shown : 0;
    return nullptr;
}

void RtfBuilder::endOpenParagraph(const ParaState& para, const Numbering* numbering, const QTextCharFormat& format) {
    flushRun();
    // A table's cells keep their text; the next paragraph outside it closes it.
    if (!pendingBreak_ && !table_ && blockHasContent_) {
        paragraph(para, numbering, format);
    }
}

void RtfBuilder::paragraph(const ParaState& para, const Numbering* numbering, const QTextCharFormat& format) {
    if (!spend(kParagraphMemory)) {
        return;
    }
    const bool inTable = para.inTable && !tablesExhausted_;
    if (pendingBreak_ || (inTable && !rowOpen_) || (!inTable && table_)) {
        beforeContent(para);  // an empty paragraph
    }
    flushRun();
    commitBlock(para, numbering);
    if (firstBlock_) {
        // Later paragraphs get the format of their mark when their block is inserted.
        cursor_.setBlockCharFormat(format);
        firstBlock_ = false;
    }
    pendingBreak_ = true;
    pendingBreakFormat_ = format;
    blockHasContent_ = false;
}

// Opens the next row of the table, or a table. False when the document's cells are used up: the
// table is closed and the rest of the document has no tables.
bool RtfBuilder::startRow() {
    const int wanted = std::clamp(int(rowDef_.cellRight.size()), 1, kMaxColumns);
    if (!spendCells(table_ ? table_->columns() : wanted)) {
        tablesExhausted_ = true;
        if (table_) {
            closeTable();
        }
        return false;
    }
    if (!table_) {
        QTextTableFormat format;
        format.setCellPadding(2);
        format.setCellSpacing(0);
        format.setBorderCollapse(true);
        format.setBorder(rowDef_.borders ? 1 : 0);
        format.setLeftMargin(richformat::twipsToPixels(std::max(0, rowDef_.left)));
        table_ = cursor_.insertTable(1, wanted, format);
        row_ = 0;
    } else {
        ++row_;
        if (row_ >= table_->rows()) {
            // Qt rebuilds a table's cell grid on every change, so rows come in growing batches
            // (the unused ones are removed when the table ends) to keep long tables linear.
            const qint64 batch = std::min<qint64>(table_->rows(), cellsLeft_ / table_->columns());
            table_->appendRows(int(std::clamp<qint64>(batch, 1, 4096)));
        }
        // A wider row widens every row of the table, as far as the cells left allow; its cells
        // past that run into its last one.
        const int extra = wanted - table_->columns();
        if (extra > 0 && spendCells(qint64(extra) * table_->rows())) {
            table_->appendColumns(extra);
        }
    }
    styleRow();
    cell_ = 0;
    rowOpen_ = true;
    moveToCell(0);
    return true;
}

void RtfBuilder::styleRow() {
    applyColumnWidths();
    for (int c = 0; c < rowDef_.cellBackground.size() && c < table_->columns(); ++c) {
        if (rowDef_.cellBackground[c].isValid()) {
            QTextTableCellFormat cellFormat = table_->cellAt(row_, c).format().toTableCellFormat();
            cellFormat.setBackground(rowDef_.cellBackground[c]);
            table_->cellAt(row_, c).setFormat(cellFormat);
        }
    }
}

void RtfBuilder::moveToCell(int column) {
    cursor_.setPosition(table_->cellAt(row_, column).firstPosition());
    blockFormatKnown_ = false;
}

void RtfBuilder::applyColumnWidths() {
    if (rowDef_.cellRight.isEmpty() || table_->columns() < rowDef_.cellRight.size()) {
        return;
    }
    QList<QTextLength> widths;
    int left = rowDef_.left;
    for (int right : rowDef_.cellRight) {
        widths.append(QTextLength(QTextLength::FixedLength, richformat::twipsToPixels(std::max(right - left, 15))));
        left = right;
    }
    QTextTableFormat format = table_->format();
    if (format.columnWidthConstraints().size() <= widths.size()) {
        while (widths.size() < table_->columns()) {
            widths.append(QTextLength());
        }
        if (format.columnWidthConstraints() != widths) {
            format.setColumnWidthConstraints(widths);
            table_->setFormat(format);
        }
    }
}

void RtfBuilder::cell(const ParaState& para, const Numbering* numbering) {
    if (!tablesExhausted_) {
        ParaState inCell = para;
        inCell.inTable = true;
        // A \par right before \cell ends the cell's last paragraph; it makes no empty one.
        const bool ended = pendingBreak_ && table_ && rowOpen_;
        if (ended) {
            pendingBreak_ = false;
        }
        beforeContent(inCell);
        // Starting a row can find the document's cells used up; the cell is a paragraph then.
        if (table_ && rowOpen_) {
            flushRun();
            if (!ended) {
                commitBlock(inCell, numbering);
            }
            ++cell_;
            if (cell_ < table_->columns()) {
                moveToCell(cell_);
            }
            return;
        }
    }
    ParaState plain = para;
    plain.inTable = false;
    paragraph(plain, numbering, runFormat_);
}

// Content for a cell beyond the table's columns: a column is added (up to a limit; past it the
// content runs on at the end of the row's last cell, after a tab).
void RtfBuilder::enterExtraCell() {
    const int extra = cell_ + 1 - table_->columns();
    if (cell_ < kMaxColumns && spendCells(qint64(extra) * table_->rows())) {
        table_->appendColumns(extra);
        moveToCell(cell_);
        return;
    }
    cell_ = table_->columns() - 1;
    cursor_.setPosition(table_->cellAt(row_, cell_).lastPosition());
    blockFormatKnown_ = false;
    if (spend(kRunMemory + kCharacterMemory)) {
        cursor_.insertText(QStringLiteral("\t"), runFormat_);  // keeps the cells' texts apart
    }
}

void RtfBuilder::row() {
    if (!table_ || !rowOpen_) {
        return;
    }
    flushRun();
    pendingBreak_ = false;
    rowOpen_ = false;
    mergeRow();
    cursor_.setPosition(table_->lastPosition() + 1);
    blockFormatKnown_ = false;
}

// Cells marked as continuing a vertical merge join the cell above them. Each merge makes Qt
// rebuild the table's grid, so a document gets a limited number of them.
void RtfBuilder::mergeRow() {
    mergeStart_.resize(table_->columns(), -1);
    for (int c = 0; c < rowDef_.cellMerge.size() && c < table_->columns(); ++c) {
        switch (rowDef_.cellMerge[c]) {
            case CellMerge::First:
                mergeStart_[c] = row_;
                break;
            case CellMerge::Continue:
                if (mergeStart_[c] >= 0 && mergesLeft_ > 0) {
                    --mergesLeft_;
                    table_->mergeCells(mergeStart_[c], c, row_ - mergeStart_[c] + 1, 1);
                }
                break;
            default:
                mergeStart_[c] = -1;
                break;
        }
    }
}

void RtfBuilder::closeTable() {
    mergeStart_.clear();
    if (table_->rows() > row_ + 1) {
        table_->removeRows(row_ + 1, table_->rows() - row_ - 1);
    }
    cursor_.setPosition(table_->lastPosition() + 1);
    blockFormatKnown_ = false;
    table_ = nullptr;
    rowOpen_ = false;
    row_ = -1;
    pendingBreak_ = false;
}

void RtfBuilder::finish(const ParaState& para, const Numbering* numbering) {
    flushRun();
    if (table_) {
        closeTable();
    } else if (!pendingBreak_ && (blockHasContent_ || wholeDocument_)) {
        // The last paragraph had no \par; its properties still apply to it.
        commitBlock(para, numbering);
    }
    pendingBreak_ = false;
}

}  // namespace tk::rtf
