#pragma once

#include <QList>
#include <QString>

namespace tk {

// One category folder and the categories below it.
struct CategoryNode {
    QString name;
    QList<CategoryNode> children;
};

// The deepest level of categories: folders directly in the library are level 0.
inline constexpr int kDeepestCategoryLevel = 2;

// The category folders below libraryDir, three levels deep, in the Korean collation order.
// Hidden folders (".name") are no categories. Category folders hold thousands of archives, so
// they are read with readdir's file types rather than a stat of every file.
QList<CategoryNode> readCategoryTree(const QString& libraryDir);

// The sub-folders of folder that count as categories, in collation order.
QStringList categoryFolderNames(const QString& folder);

}  // namespace tk
