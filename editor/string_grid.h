#pragma once

#include <QStringList>
#include <QTableView>

namespace tk {

class StringGridModel;

// A grid of fixed-size text cells that cannot be edited, without header rows or columns. One
// cell is selected at a time; every move of the selection by the user, and a click on the cell
// already selected, is reported as OnSelectCell.
class TStringGrid final : public QTableView {
    Q_OBJECT

  public:
    explicit TStringGrid(QWidget* parent = nullptr);
    Q_DISABLE_COPY_MOVE(TStringGrid)

    int ColCount() const;
    int RowCount() const;
    QString Cells(int col, int row) const;
    // Sets every cell at once: columns by rows, the texts row by row from the first cell, the rest
    // empty. The selected cell stays where it was when the grid still has it, else it goes to the
    // first cell; nothing is reported.
    void SetCells(int columns, int rows, const QStringList& texts);
    // Empties every cell, keeping the columns and rows.
    void ClearCells();

    int Col() const;
    int Row() const;

    static constexpr int kCellSize = 18;

  Q_SIGNALS:
    void OnSelectCell(int col, int row);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

  private:
    void selectSilently(int col, int row);

    StringGridModel* model_;
    bool placing_ = false;  // the program, not the user, is moving the selection
};

}  // namespace tk
