#include "richtext/rtf_builder.h"

#include "richtext/rich_format.h"

#include <QTextDocument>
#include <QTextList>
#include <QTextTable>

namespace tk::rtf {

namespace {

// Columns a hostile row may add, and cells all tables of a document may have; real tables stay far
// below. Past the cell limit, table text goes on as plain paragraphs.
constexpr int kMaxColumns = 64;
constexpr int kMaxTableCells = 200000;

}  // namespace

RtfBuilder::RtfBuilder(QTextCursor& cursor) : cursor_(cursor), cellsLeft_(kMaxTableCells) {
    wholeDocument_ = cursor.document()->isEmpty();
}

void RtfBuilder::flushRun() {
    if (!run_.isEmpty()) {
        cursor_.insertText(run_, runFormat_);
        run_.clear();
    }
}

void RtfBuilder::text(QStringView text, const QTextCharFormat& format, quint64 formatVersion, const ParaState& para) {
    if (text.isEmpty()) {
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
            pendingBreak_ = false;
            if (!startRow()) {
                beforeContent(para);  // no more cells: a plain paragraph
                return;
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
        cursor_.insertBlock(cursor_.blockFormat(), pendingBreakFormat_);
        pendingBreak_ = false;
        blockHasContent_ = false;
    }
}

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
        cursor_.setBlockFormat(block);
        lastList_ = nullptr;
        return;
    }
    if (block.textIndent() != 0) {
        block.setProperty(richformat::NumberFirstIndentTwips, richformat::pixelsToTwips(block.textIndent()));
        block.setTextIndent(0);
    }
    cursor_.setBlockFormat(block);
    QTextList* list = nullptr;
    if (numbering->listId != 0) {
        list = tableLists_.value((qint64(numbering->listId) << 8) | numbering->level);
    } else if (lastList_ && lastNumbering_.sameList(*numbering)) {
        list = lastList_;
    }
    if (list) {
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
        format.setProperty(richformat::NumberingStart, numbering->start);
        if (numbering->tabTwips != 0) {
            format.setProperty(richformat::NumberingTabTwips, numbering->tabTwips);
        }
        list = cursor_.createList(format);
        if (numbering->listId != 0) {
            tableLists_.insert((qint64(numbering->listId) << 8) | numbering->level, list);
        }
    }
    lastList_ = list;
    lastNumbering_ = *numbering;
}

void RtfBuilder::paragraph(const ParaState& para, const Numbering* numbering, const QTextCharFormat& format) {
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

bool RtfBuilder::startRow() {
    const int columns = std::clamp(int(rowDef_.cellRight.size()), 1, kMaxColumns);
    const int cost = table_ ? std::max(columns, table_->columns()) : columns;
    if (cost > cellsLeft_) {
        tablesExhausted_ = true;
        if (table_) {
            closeTable();
        }
        return false;
    }
    cellsLeft_ -= cost;
    if (!table_) {
        QTextTableFormat format;
        format.setCellPadding(2);
        format.setCellSpacing(0);
        format.setBorderCollapse(true);
        format.setBorder(rowDef_.borders ? 1 : 0);
        format.setLeftMargin(richformat::twipsToPixels(std::max(0, rowDef_.left)));
        table_ = cursor_.insertTable(1, columns, format);
        row_ = 0;
    } else {
        ++row_;
        if (row_ >= table_->rows()) {
            // Qt rebuilds a table's cell grid on every change, so rows come in growing batches
            // (the unused ones are removed when the table ends) to keep long tables linear.
            const int batch =
                std::clamp(std::min(table_->rows(), cellsLeft_ / std::max(1, table_->columns())), 1, 4096);
            table_->appendRows(batch);
        }
        if (table_->columns() < columns) {
            table_->appendColumns(columns - table_->columns());
        }
    }
    applyColumnWidths();
    for (int c = 0; c < rowDef_.cellBackground.size() && c < table_->columns(); ++c) {
        if (rowDef_.cellBackground[c].isValid()) {
            QTextTableCellFormat cellFormat = table_->cellAt(row_, c).format().toTableCellFormat();
            cellFormat.setBackground(rowDef_.cellBackground[c]);
            table_->cellAt(row_, c).setFormat(cellFormat);
        }
    }
    cell_ = 0;
    rowOpen_ = true;
    cursor_.setPosition(table_->cellAt(row_, 0).firstPosition());
    return true;
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
    if (tablesExhausted_) {
        ParaState plain = para;
        plain.inTable = false;
        paragraph(plain, numbering, runFormat_);
        return;
    }
    ParaState inCell = para;
    inCell.inTable = true;
    // A \par right before \cell ends the cell's last paragraph; it makes no empty one.
    const bool ended = pendingBreak_ && table_ && rowOpen_;
    pendingBreak_ = false;
    beforeContent(inCell);
    flushRun();
    if (!ended) {
        commitBlock(inCell, numbering);
    }
    ++cell_;
    if (cell_ < table_->columns()) {
        cursor_.setPosition(table_->cellAt(row_, cell_).firstPosition());
    }
}

// Content for a cell beyond the table's columns: a column is added (up to a limit; past it the
// content runs into the last cell).
void RtfBuilder::enterExtraCell() {
    const int cost = (cell_ + 1 - table_->columns()) * table_->rows();
    if (cell_ >= kMaxColumns || cost > cellsLeft_) {
        cell_ = kMaxColumns - 1;
        cursor_.setPosition(table_->cellAt(row_, cell_).lastPosition());
        return;
    }
    cellsLeft_ -= cost;
    table_->appendColumns(cell_ + 1 - table_->columns());
    cursor_.setPosition(table_->cellAt(row_, cell_).firstPosition());
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
