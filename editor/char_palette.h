#pragma once

#include <QStringList>
#include <QWidget>

namespace tk {

class TForm3;
class TStringGrid;
class TTabRows;

// The special character palette: the symbols, letters and Hanja of the Korean double-byte table in
// a grid, a page per tab. Selecting a cell types its character into the editor at the caret. It
// stays above other windows and is hidden, not destroyed, when closed.
class TForm7 final : public QWidget {
    Q_OBJECT

  public:
    explicit TForm7(TForm3* editor, QWidget* parent = nullptr);
    Q_DISABLE_COPY_MOVE(TForm7)

    void FormShow();
    void FormClose();
    void TabControl1Change();
    void StringGrid1SelectCell(int col, int row);

    // The cell texts of the selected page while the window is shown; empty while it is closed.
    const QStringList& characterList() const { return list_; }

    TTabRows* TabControl1;
    TStringGrid* StringGrid1;

    static constexpr int kClientWidth = 294;
    static constexpr int kClientHeight = 313;

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void fillGrid();

    TForm3* editor_;
    QStringList list_;
};

}  // namespace tk
