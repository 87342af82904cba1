#include "store/category_tree.h"

#include "store/entry_list.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>

namespace tk {
namespace {

void readLevel(const QString& folder, int level, QList<CategoryNode>& into) {
    for (const QString& name : categoryFolderNames(folder)) {
        CategoryNode node{name, {}};
        if (level < kDeepestCategoryLevel) {
            readLevel(folder + u'/' + name, level + 1, node.children);
        }
        into.append(std::move(node));
    }
}

}  // namespace

QStringList categoryFolderNames(const QString& folder) {
    QStringList names;
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir) {
        return names;
    }
    while (const dirent* e = ::readdir(dir)) {
        if (e->d_name[0] == '.') {
            continue;  // ".", ".." and hidden folders
        }
        struct stat st;
        const bool isDir = e->d_type == DT_DIR ||
                           (e->d_type == DT_UNKNOWN &&
                            ::fstatat(::dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode));
        if (isDir) {
            names.append(QFile::decodeName(e->d_name));
        }
    }
    ::closedir(dir);
    const TitleCollator collator;
    std::sort(names.begin(), names.end(),
              [&](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });
    return names;
}

QList<CategoryNode> readCategoryTree(const QString& libraryDir) {
    QList<CategoryNode> tree;
    readLevel(libraryDir.endsWith(u'/') ? libraryDir.chopped(1) : libraryDir, 0, tree);
    return tree;
}

}  // namespace tk
