#pragma once

#include "store/entry_list.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QIcon>
#include <QTreeView>

#include <vector>

namespace tk {

// The rows of an entry list. A model with a view keeps a list of ten thousand entries cheap to
// fill and to paint.
class EntryListModel final : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum Column { TitleColumn = 0, CategoryColumn, FileNameColumn, DocumentColumn, ColumnCount };

    explicit EntryListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Replaces all rows; they are shown in the order given. Their tool tips are forgotten.
    void setRows(std::vector<EntryRow> rows);
    // A tool tip for the row of that entry (its folder and archive name), kept until setRows();
    // rich text, as tool tips take it.
    void setToolTip(const EntryRow& row, const QString& richText);
    const std::vector<EntryRow>& rows() const { return rows_; }
    const EntryRow& row(int i) const { return rows_[static_cast<size_t>(i)]; }

    // Removes one row.
    void removeEntry(int row);
    // Adds a row; the list is then sorted by title again.
    void appendEntry(EntryRow row);
    // Adds rows at the end in the order given, unsorted, and empties rows.
    void appendRows(std::vector<EntryRow>& rows);
    // Sets a row's title, category and protection; a changed title sorts the list by title again.
    void setEntry(int row, const QString& title, const QString& category, bool isProtected);

    void sortByTitle();
    void sortByColumn(int column, bool ascending);

    // The caption of the title column ("제목"; the find list puts five spaces before it).
    void setTitleCaption(const QString& caption) { titleCaption_ = caption; }

  private:
    void reorder(const std::function<void(std::vector<EntryRow>&)>& sorter);

    static QString rowKey(const EntryRow& row) { return row.folder + row.archiveName; }

    std::vector<EntryRow> rows_;
    QHash<QString, QString> toolTips_;
    QString titleCaption_;
    QIcon images_[2];
};

// The list control: report view, whole-row selection, read-only. Reports mouse presses after the
// selection has followed them, and Enter.
class EntryListView final : public QTreeView {
    Q_OBJECT

  public:
    explicit EntryListView(QWidget* parent = nullptr);

    EntryListModel* entries() const { return model_; }
    // The selected row, or -1.
    int selectedRow() const;
    // A key that acts on the selected row acts on the row with the focus frame when none is
    // selected: the first row has the frame as soon as the list has the focus.
    void selectCurrentRowIfNone();

  Q_SIGNALS:
    void mouseDown();
    void enterPressed();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    EntryListModel* model_;
};

}  // namespace tk
