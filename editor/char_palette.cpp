#include "editor/char_palette.h"

#include "editor/char_palette_list.h"
#include "editor/editor_window.h"
#include "editor/string_grid.h"
#include "editor/tab_rows.h"
#include "richedit/qe_rich_edit.h"

#include <QCloseEvent>
#include <QShowEvent>
#include <QVBoxLayout>

namespace tk {

namespace {

constexpr int kMargin = 2;

QStringList tabCaptions() {
    QStringList captions;
    for (int tab = 0; tab < palette::kTabCount; ++tab) {
        captions.append(palette::tabCaption(tab));
    }
    return captions;
}

}  // namespace

TForm7::TForm7(TForm3* editor, QWidget* parent) : QWidget(parent), editor_(editor) {
    setObjectName(QStringLiteral("TForm7"));
    setWindowTitle(QStringLiteral("특수문자"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(kClientWidth, kClientHeight);

    TabControl1 = new TTabRows(tabCaptions(), kClientWidth - 2 * kMargin, this);
    StringGrid1 = new TStringGrid(this);
    StringGrid1->SetCells(15, palette::kMinRows, {});
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->setSpacing(kMargin);
    layout->addWidget(TabControl1);
    layout->addWidget(StringGrid1, 1);

    connect(TabControl1, &TTabRows::Change, this, &TForm7::TabControl1Change);
    connect(StringGrid1, &TStringGrid::OnSelectCell, this, &TForm7::StringGrid1SelectCell);
}

void TForm7::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) {
        FormShow();
    }
}

void TForm7::closeEvent(QCloseEvent* event) {
    FormClose();
    QWidget::closeEvent(event);
}

void TForm7::FormShow() {
    fillGrid();
}

void TForm7::FormClose() {
    list_ = QStringList();
}

void TForm7::TabControl1Change() {
    fillGrid();
}

// The page of the selected tab, row by row, W to a row; a short page still shows the minimum rows.
void TForm7::fillGrid() {
    list_.clear();
    StringGrid1->ClearCells();
    const int tab = TabControl1->TabIndex();
    list_ = palette::tabEntries(tab);
    const int columns = palette::tabColumns(tab);
    StringGrid1->SetCells(columns, palette::gridRows(static_cast<int>(list_.size()), columns), list_);
}

// The cell's text replaces the editor's selection, and the caret goes after it with nothing
// selected. An empty cell therefore only removes the selection. The palette outlives the editor's
// document: while the editor is closed or shows a web page, nothing is typed into the hidden rich
// text, which would otherwise be offered for saving, even as a new entry, unseen.
void TForm7::StringGrid1SelectCell(int col, int row) {
    if (!editor_->isVisible() || editor_->isWebBody()) {
        return;
    }
    TQE_RichEdit* edit = editor_->RichEdit1;
    edit->SetSelectedText(StringGrid1->Cells(col, row));
    edit->SetSelectionStart(edit->SelectionStart() + edit->SelectionLength());
}

}  // namespace tk
