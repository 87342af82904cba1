#pragma once

#include "store/category_tree.h"

#include <QDialog>
#include <QTreeWidget>

class QAction;
class QMenu;

namespace tk {

class TForm1;

// The category tree: drops of nodes are handed to the editor instead of moving items itself, and
// characters that folder names may not contain are not typed.
class CategoryTreeView final : public QTreeWidget {
    Q_OBJECT

  public:
    explicit CategoryTreeView(QWidget* parent = nullptr);
    using QTreeWidget::indexFromItem;
    using QTreeWidget::itemFromIndex;

  Q_SIGNALS:
    void nodeDropped(QTreeWidgetItem* target);

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

// The nine characters that folder names may not contain.
bool isRefusedNameCharacter(QChar c);
QString withoutRefusedCharacters(const QString& text);

// The category tree editor: adds, renames, deletes and moves the category folders below LIST and
// builds the main window's category menu from them.
class TForm2 final : public QDialog {
    Q_OBJECT

  public:
    explicit TForm2(TForm1* form1);

    // Builds the tree from the folders as they are now, and the main window's category menu.
    void FormCreate();
    // Reads the tree again from the folders, which may have changed on disk since.
    void reloadTree();

    void N1Click();
    void N2Click();
    void N3Click();
    // A label edit was confirmed with text; returns whether the folder now has that name.
    bool TreeView1Edited(QTreeWidgetItem* node, const QString& text);
    bool TreeView1DragOver(QObject* source) const;
    // A dragged node (the selected one) was dropped on target, or on no node.
    void TreeView1EndDrag(QTreeWidgetItem* target);
    void PopupMenu1Popup();
    void FormClose();

    // The category path of a node: the names from the top joined by "/".
    static QString categoryPath(const QTreeWidgetItem* node);
    static int level(const QTreeWidgetItem* node);
    QString libraryDir() const;

    // Set by every successful change; cleared by the main window before it shows the dialog.
    bool TreeChanged = false;

    CategoryTreeView* TreeView1;
    QMenu* PopupMenu1;
    QAction* N1;
    QAction* N2;
    QAction* N3;

  public Q_SLOTS:
    void done(int result) override;

  private:
    void addFolderNodes(QTreeWidgetItem* parent, const QList<CategoryNode>& nodes);
    QString folderOf(const QTreeWidgetItem* node) const;
    void reparent(QTreeWidgetItem* node, QTreeWidgetItem* newParent);
    void mergeNodes(QTreeWidgetItem* from, QTreeWidgetItem* into);
    QTreeWidgetItem* childNamed(QTreeWidgetItem* parent, const QString& name) const;
    bool refuseMove(const QTreeWidgetItem* moved, const QTreeWidgetItem* newParent);

    TForm1* form1_;
};

}  // namespace tk
