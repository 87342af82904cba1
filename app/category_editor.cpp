#include "app/category_editor.h"

#include "app/icons.h"
#include "app/main_window.h"
#include "app/search_service.h"
#include "platform/message_box.h"
#include "platform/shell_ops.h"
#include "store/category_tree.h"

#include <QDir>
#include <QDragMoveEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace tk {
namespace {

const QString kNewName = QStringLiteral("새로운 항목");

// Drops refused characters from what is typed or pasted into a label editor.
class NameFilter final : public QObject {
  public:
    explicit NameFilter(QLineEdit* edit) : QObject(edit) {
        edit->installEventFilter(this);
        QObject::connect(edit, &QLineEdit::textEdited, edit, [edit](const QString& text) {
            const QString clean = withoutRefusedCharacters(text);
            if (clean != text) {
                const int cursor = edit->cursorPosition() - static_cast<int>(text.size() - clean.size());
                edit->setText(clean);
                edit->setCursorPosition(std::max(0, cursor));
            }
        });
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const QString text = static_cast<QKeyEvent*>(event)->text();
            if (text.size() == 1 && isRefusedNameCharacter(text.front())) {
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

// Label editing: the confirmed text goes to the editor's rename, which decides the node's text.
class NameDelegate final : public QStyledItemDelegate {
  public:
    NameDelegate(TForm2* form, CategoryTreeView* tree) : QStyledItemDelegate(tree), form_(form), tree_(tree) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
            new NameFilter(edit);
        }
        return editor;
    }

    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
        if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
            form_->TreeView1Edited(tree_->itemFromIndex(index), edit->text());
        }
    }

  private:
    TForm2* form_;
    CategoryTreeView* tree_;
};

}  // namespace

bool isRefusedNameCharacter(QChar c) {
    return QStringView(u"\\/:*?\"<>|").contains(c);
}

QString withoutRefusedCharacters(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (!isRefusedNameCharacter(c)) {
            out.append(c);
        }
    }
    return out;
}

CategoryTreeView::CategoryTreeView(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setColumnCount(1);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
}

void CategoryTreeView::dragEnterEvent(QDragEnterEvent* event) {
    if (qobject_cast<QTreeView*>(event->source())) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void CategoryTreeView::dragMoveEvent(QDragMoveEvent* event) {
    QTreeWidget::dragMoveEvent(event);
    // Any place in the tree is a target: a node, or empty space for the top level.
    if (qobject_cast<QTreeView*>(event->source())) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void CategoryTreeView::dropEvent(QDropEvent* event) {
    if (!qobject_cast<QTreeView*>(event->source())) {
        event->ignore();
        return;
    }
    // The editor moves the folder and the node; the view must not move items on its own.
    event->setDropAction(Qt::IgnoreAction);
    event->accept();
    Q_EMIT nodeDropped(itemAt(event->position().toPoint()));
}

void CategoryTreeView::keyPressEvent(QKeyEvent* event) {
    const QString text = event->text();
    if (text.size() == 1 && isRefusedNameCharacter(text.front())) {
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

TForm2::TForm2(TForm1* form1) : QDialog(form1), form1_(form1) {
    setWindowTitle(QStringLiteral("항목 구성"));
    resize(243, 312);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    TreeView1 = new CategoryTreeView(this);
    TreeView1->setItemDelegate(new NameDelegate(this, TreeView1));
    TreeView1->setContextMenuPolicy(Qt::CustomContextMenu);
    layout->addWidget(TreeView1);

    PopupMenu1 = new QMenu(this);
    N1 = PopupMenu1->addAction(style()->standardIcon(QStyle::SP_FileDialogNewFolder), QStringLiteral("항목 추가"));
    N2 = PopupMenu1->addAction(style()->standardIcon(QStyle::SP_FileDialogDetailedView), QStringLiteral("이름 바꾸기"));
    N3 = PopupMenu1->addAction(style()->standardIcon(QStyle::SP_TrashIcon), QStringLiteral("항목 삭제"));
    N1->setShortcut(QKeySequence(Qt::Key_Insert));
    N2->setShortcut(QKeySequence(Qt::Key_F2));
    N3->setShortcut(QKeySequence(Qt::Key_Delete));
    for (QAction* action : {N1, N2, N3}) {
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        TreeView1->addAction(action);
    }
    connect(N1, &QAction::triggered, this, &TForm2::N1Click);
    connect(N2, &QAction::triggered, this, &TForm2::N2Click);
    connect(N3, &QAction::triggered, this, &TForm2::N3Click);
    connect(PopupMenu1, &QMenu::aboutToShow, this, &TForm2::PopupMenu1Popup);
    connect(TreeView1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu1->popup(TreeView1->viewport()->mapToGlobal(at)); });
    connect(TreeView1, &CategoryTreeView::nodeDropped, this, &TForm2::TreeView1EndDrag);
    connect(TreeView1, &QTreeWidget::currentItemChanged, this, &TForm2::PopupMenu1Popup);
    PopupMenu1Popup();
}

QString TForm2::libraryDir() const {
    return form1_->store().libraryDir();
}

QString TForm2::categoryPath(const QTreeWidgetItem* node) {
    QStringList parts;
    for (; node; node = node->parent()) {
        parts.prepend(node->text(0));
    }
    return parts.join(u'/');
}

int TForm2::level(const QTreeWidgetItem* node) {
    int n = -1;
    for (; node; node = node->parent()) {
        ++n;
    }
    return n;
}

QString TForm2::folderOf(const QTreeWidgetItem* node) const {
    return libraryDir() + categoryPath(node);
}

void TForm2::addFolderNodes(QTreeWidgetItem* parent, const QList<CategoryNode>& nodes) {
    for (const CategoryNode& category : nodes) {
        auto* node =
            parent ? new QTreeWidgetItem(parent, {category.name}) : new QTreeWidgetItem(TreeView1, {category.name});
        node->setIcon(0, icons::categoryImage());
        node->setFlags(node->flags() | Qt::ItemIsEditable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled);
        addFolderNodes(node, category.children);
    }
}

void TForm2::FormCreate() {
    reloadTree();
    form1_->rebuildCategoryMenu();
}

void TForm2::reloadTree() {
    TreeView1->clear();
    addFolderNodes(nullptr, readCategoryTree(libraryDir()));
    TreeView1->expandAll();
}

void TForm2::N1Click() {
    QString name = kNewName;
    for (int n = 1; QFileInfo(libraryDir() + name).isDir(); ++n) {
        name = kNewName + QStringLiteral("(%1)").arg(n);
    }
    if (!QDir().mkpath(libraryDir() + name)) {
        Messages::show(this, QStringLiteral("항목을 만들 수 없습니다."), MsgKind::Error);
        return;
    }
    TreeChanged = true;
    auto* node = new QTreeWidgetItem(TreeView1, {name});
    node->setIcon(0, icons::categoryImage());
    node->setFlags(node->flags() | Qt::ItemIsEditable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled);
    TreeView1->setCurrentItem(node);
    TreeView1->editItem(node);
}

void TForm2::N2Click() {
    if (QTreeWidgetItem* node = TreeView1->currentItem()) {
        TreeView1->editItem(node);
    }
}

bool TForm2::TreeView1Edited(QTreeWidgetItem* node, const QString& text) {
    if (!node || text.isEmpty()) {
        return false;
    }
    const QString parentPrefix = node->parent() ? categoryPath(node->parent()) + u'/' : QString();
    const QString target = libraryDir() + parentPrefix + text;
    if (QFileInfo::exists(target)) {
        Messages::show(this, QStringLiteral("이미 그 항목이 있습니다."));
        return false;
    }
    const QString oldName = node->text(0);
    if (!QDir().rename(libraryDir() + parentPrefix + oldName, target)) {
        Messages::show(this, QStringLiteral("항목의 이름을 바꿀 수 없습니다."), MsgKind::Error);
        return false;
    }
    TreeChanged = true;
    node->setText(0, text);
    form1_->categoryFolderMoved(libraryDir() + parentPrefix + oldName, target);
    return true;
}

void TForm2::N3Click() {
    QTreeWidgetItem* node = TreeView1->currentItem();
    if (!node || !QFileInfo(folderOf(node)).isDir()) {
        return;
    }
    if (!QDir().rmdir(folderOf(node))) {
        Messages::show(this,
                       QStringLiteral("항목을 삭제할 수 없습니다. 사용중이거나 하위 디렉토리 또는 파일이 있습니다."),
                       MsgKind::Warning);
        return;
    }
    TreeChanged = true;
    const QString folder = folderOf(node);
    delete node;
    form1_->categoryFolderRemoved(folder);
}

bool TForm2::TreeView1DragOver(QObject* source) const {
    return qobject_cast<QTreeView*>(source) != nullptr;
}

QTreeWidgetItem* TForm2::childNamed(QTreeWidgetItem* parent, const QString& name) const {
    const int count = parent ? parent->childCount() : TreeView1->topLevelItemCount();
    for (int i = 0; i < count; ++i) {
        QTreeWidgetItem* child = parent ? parent->child(i) : TreeView1->topLevelItem(i);
        if (child->text(0) == name) {
            return child;
        }
    }
    return nullptr;
}

bool TForm2::refuseMove(const QTreeWidgetItem* moved, const QTreeWidgetItem* newParent) {
    for (const QTreeWidgetItem* p = newParent; p; p = p->parent()) {
        if (p == moved) {
            Messages::show(this, QStringLiteral("항목을 자기 자신이나 그 하위 항목으로 옮길 수 없습니다."),
                           MsgKind::Warning);
            return true;
        }
    }
    if (moved->parent() == newParent) {
        Messages::show(this, QStringLiteral("항목이 이미 그 자리에 있습니다."), MsgKind::Warning);
        return true;
    }
    return false;
}

void TForm2::TreeView1EndDrag(QTreeWidgetItem* target) {
    QTreeWidgetItem* moved = TreeView1->currentItem();
    if (!moved) {
        return;
    }
    QTreeWidgetItem* newParent = target && level(target) >= 2 ? target->parent() : target;
    if (refuseMove(moved, newParent)) {
        return;
    }
    const QString destination = newParent ? folderOf(newParent) + u'/' : libraryDir();
    QTreeWidgetItem* existing = childNamed(newParent, moved->text(0));
    const bool clash = QFileInfo(destination + moved->text(0)).isDir();
    if (clash &&
        Messages::ask(this, QStringLiteral("옮길 곳에 같은 이름의 항목이 있습니다.\n두 항목을 합치시겠습니까?"),
                      QStringLiteral("항목 옮기기"), MsgButtons::YesNo, MsgAnswer::No) != MsgAnswer::Yes) {
        return;
    }
    const MoveResult result = moveFolderInto(folderOf(moved), destination);
    if (!result.ok) {
        // A merge may have moved some entries before it failed.
        form1_->searchService()->foldersChanged();
        Messages::show(this, QStringLiteral("항목을 옮길 수 없습니다.\n") + result.errorString, MsgKind::Error);
        return;
    }
    TreeChanged = true;
    form1_->categoryFolderMoved(folderOf(moved), destination + moved->text(0));
    if (clash && existing) {
        mergeNodes(moved, existing);
        delete moved;
    } else if (clash) {
        delete moved;  // merged into a folder the tree does not show
    } else {
        reparent(moved, newParent);
    }
    if (result.renamedFiles > 0) {
        Messages::show(this,
                       QStringLiteral("이름이 같은 파일 %1개는 새 이름을 붙여 옮겼습니다.").arg(result.renamedFiles));
    }
}

void TForm2::reparent(QTreeWidgetItem* node, QTreeWidgetItem* newParent) {
    const bool expanded = node->isExpanded();
    QTreeWidgetItem* taken = node->parent() ? node->parent()->takeChild(node->parent()->indexOfChild(node))
                                            : TreeView1->takeTopLevelItem(TreeView1->indexOfTopLevelItem(node));
    if (newParent) {
        newParent->addChild(taken);
        newParent->setExpanded(true);
    } else {
        TreeView1->addTopLevelItem(taken);
    }
    taken->setExpanded(expanded);
    TreeView1->expandAll();
    TreeView1->setCurrentItem(taken);
}

void TForm2::mergeNodes(QTreeWidgetItem* from, QTreeWidgetItem* into) {
    while (from->childCount() > 0) {
        QTreeWidgetItem* child = from->takeChild(0);
        if (QTreeWidgetItem* same = childNamed(into, child->text(0))) {
            mergeNodes(child, same);
            delete child;
        } else {
            into->addChild(child);
        }
    }
}

void TForm2::PopupMenu1Popup() {
    const bool selected = TreeView1->currentItem() != nullptr;
    N2->setEnabled(selected);
    N3->setEnabled(selected);
}

void TForm2::FormClose() {
    if (TreeChanged) {
        form1_->rebuildCategoryMenu();
    }
}

void TForm2::done(int result) {
    FormClose();
    QDialog::done(result);
}

}  // namespace tk
