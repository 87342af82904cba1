#include "app/entry_list_model.h"

#include "app/icons.h"

#include <QHeaderView>
#include <QKeyEvent>

namespace tk {

EntryListModel::EntryListModel(QObject* parent) : QAbstractTableModel(parent), titleCaption_(QStringLiteral("제목")) {
    images_[0] = icons::entryImage(false);
    images_[1] = icons::entryImage(true);
}

int EntryListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int EntryListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant EntryListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const EntryRow& r = row(index.row());
    switch (role) {
        case Qt::DisplayRole:
            return columnText(r, index.column());
        case Qt::DecorationRole:
            return index.column() == TitleColumn ? QVariant(images_[r.imageIndex()]) : QVariant();
        case Qt::TextAlignmentRole:
            return index.column() == TitleColumn ? QVariant() : QVariant(Qt::AlignRight | Qt::AlignVCenter);
        case Qt::ToolTipRole: {
            const QString tip = toolTips_.value(rowKey(r));
            return tip.isEmpty() ? QVariant() : QVariant(tip);
        }
        default:
            return {};
    }
}

QVariant EntryListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) {
        return {};
    }
    if (role == Qt::TextAlignmentRole) {
        return section == TitleColumn ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                                      : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    switch (section) {
        case TitleColumn:
            return titleCaption_;
        case CategoryColumn:
            return QStringLiteral("분류");
        case FileNameColumn:
            return QStringLiteral("파일이름");
        default:
            return QString();
    }
}

void EntryListModel::setRows(std::vector<EntryRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    toolTips_.clear();
    endResetModel();
}

void EntryListModel::setToolTip(const EntryRow& row, const QString& richText) {
    toolTips_.insert(rowKey(row), richText);
}

void EntryListModel::removeEntry(int row) {
    beginRemoveRows({}, row, row);
    rows_.erase(rows_.begin() + row);
    endRemoveRows();
}

void EntryListModel::appendEntry(EntryRow row) {
    const int at = rowCount();
    beginInsertRows({}, at, at);
    rows_.push_back(std::move(row));
    endInsertRows();
    sortByTitle();
}

void EntryListModel::appendRows(std::vector<EntryRow>& rows) {
    if (rows.empty()) {
        return;
    }
    const int at = rowCount();
    beginInsertRows({}, at, at + static_cast<int>(rows.size()) - 1);
    rows_.insert(rows_.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    endInsertRows();
    rows.clear();
}

void EntryListModel::setEntry(int row, const QString& title, const QString& category, bool isProtected) {
    EntryRow& r = rows_[static_cast<size_t>(row)];
    const bool retitled = r.title != title;
    r.title = title;
    r.category = category;
    r.isProtected = isProtected;
    Q_EMIT dataChanged(index(row, 0), index(row, ColumnCount - 1));
    if (retitled) {
        sortByTitle();
    }
}

void EntryListModel::reorder(const std::function<void(std::vector<EntryRow>&)>& sorter) {
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // Keep the selection on the same entries: persistent indexes follow their rows by folder and
    // archive name (results of a library search come from many folders).
    const QModelIndexList before = persistentIndexList();
    QStringList names;
    for (const QModelIndex& i : before) {
        names.append(rowKey(row(i.row())));
    }
    sorter(rows_);
    QHash<QString, int> at;
    for (int i = 0; i < rowCount(); ++i) {
        at.insert(rowKey(rows_[static_cast<size_t>(i)]), i);
    }
    QModelIndexList after;
    for (qsizetype k = 0; k < before.size(); ++k) {
        after.append(index(at.value(names[k]), before[k].column()));
    }
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void EntryListModel::sortByTitle() {
    reorder([](std::vector<EntryRow>& rows) { tk::sortByTitle(rows); });
}

void EntryListModel::sortByColumn(int column, bool ascending) {
    reorder([=](std::vector<EntryRow>& rows) { tk::sortByColumn(rows, column, ascending); });
}

EntryListView::EntryListView(QWidget* parent) : QTreeView(parent), model_(new EntryListModel(this)) {
    setModel(model_);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    header()->setSectionsClickable(true);
    header()->setStretchLastSection(false);
    header()->resizeSection(EntryListModel::TitleColumn, 460);
    header()->resizeSection(EntryListModel::CategoryColumn, 100);
    header()->resizeSection(EntryListModel::FileNameColumn, 100);
    setColumnHidden(EntryListModel::DocumentColumn, true);
}

int EntryListView::selectedRow() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void EntryListView::mousePressEvent(QMouseEvent* event) {
    QTreeView::mousePressEvent(event);
    Q_EMIT mouseDown();
}

void EntryListView::selectCurrentRowIfNone() {
    if (selectedRow() < 0 && currentIndex().isValid()) {
        selectionModel()->select(currentIndex(), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
}

void EntryListView::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        selectCurrentRowIfNone();
        Q_EMIT enterPressed();
        return;
    }
    QTreeView::keyPressEvent(event);
}

}  // namespace tk
