#include "editor/string_grid.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QMouseEvent>

#include <vector>

namespace tk {

// The cells, row by row.
class StringGridModel final : public QAbstractTableModel {
  public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : rows_; }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : columns_; }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid()) {
            return {};
        }
        if (role == Qt::DisplayRole) {
            return cell(index.column(), index.row());
        }
        if (role == Qt::TextAlignmentRole) {
            return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
        }
        return {};
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

    QString cell(int col, int row) const {
        if (col < 0 || col >= columns_ || row < 0 || row >= rows_) {
            return {};
        }
        const qsizetype k = static_cast<qsizetype>(row) * columns_ + col;
        return k < texts_.size() ? texts_[k] : QString();
    }

    void set(int columns, int rows, const QStringList& texts) {
        beginResetModel();
        columns_ = std::max(columns, 0);
        rows_ = std::max(rows, 0);
        texts_ = texts.mid(0, static_cast<qsizetype>(columns_) * rows_);
        endResetModel();
    }

  private:
    int columns_ = 0;
    int rows_ = 0;
    QStringList texts_;
};

TStringGrid::TStringGrid(QWidget* parent) : QTableView(parent), model_(new StringGridModel(this)) {
    setModel(model_);
    for (QHeaderView* header : {horizontalHeader(), verticalHeader()}) {
        header->hide();
        header->setMinimumSectionSize(0);
        header->setDefaultSectionSize(kCellSize);
        header->setSectionResizeMode(QHeaderView::Fixed);
    }
    setShowGrid(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setTextElideMode(Qt::ElideNone);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewport()->setCursor(Qt::PointingHandCursor);
}

int TStringGrid::ColCount() const {
    return model_->columnCount();
}

int TStringGrid::RowCount() const {
    return model_->rowCount();
}

QString TStringGrid::Cells(int col, int row) const {
    return model_->cell(col, row);
}

int TStringGrid::Col() const {
    return currentIndex().isValid() ? currentIndex().column() : 0;
}

int TStringGrid::Row() const {
    return currentIndex().isValid() ? currentIndex().row() : 0;
}

void TStringGrid::SetCells(int columns, int rows, const QStringList& texts) {
    const int col = Col();
    const int row = Row();
    model_->set(columns, rows, texts);
    if (col < columns && row < rows) {
        selectSilently(col, row);
    } else {
        selectSilently(0, 0);
    }
}

void TStringGrid::ClearCells() {
    SetCells(ColCount(), RowCount(), {});
}

void TStringGrid::selectSilently(int col, int row) {
    const QModelIndex index = model_->index(row, col);
    if (!index.isValid()) {
        return;
    }
    placing_ = true;
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    placing_ = false;
}

void TStringGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (!placing_ && current.isValid()) {
        Q_EMIT OnSelectCell(current.column(), current.row());
    }
}

// A click on the cell already selected moves nothing, yet selects it again. Other buttons than the
// left one select nothing.
void TStringGrid::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    const QModelIndex before = currentIndex();
    const QModelIndex at = indexAt(event->position().toPoint());
    QTableView::mousePressEvent(event);
    if (at.isValid() && at == before && currentIndex() == at) {
        Q_EMIT OnSelectCell(at.column(), at.row());
    }
}

}  // namespace tk
