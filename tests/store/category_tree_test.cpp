// The category folders read from the library folder.
#include "store/category_tree.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tk;

namespace {

// The tree as "name(child(...) ...)" for short comparisons.
QString shape(const QList<CategoryNode>& nodes) {
    QStringList parts;
    for (const CategoryNode& node : nodes) {
        parts.append(node.children.isEmpty() ? node.name : node.name + u'(' + shape(node.children) + u')');
    }
    return parts.join(u' ');
}

class CategoryTreeTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    void folder(const QString& relative) { ASSERT_TRUE(QDir().mkpath(list + relative)); }

    QTemporaryDir dir;
    const QString list = dir.path() + QStringLiteral("/LIST/");
};

TEST_F(CategoryTreeTest, ThreeLevelsOfFoldersAndNothingElse) {
    folder(QStringLiteral("일기/2024/봄/너무 깊은 곳"));
    folder(QStringLiteral("일기/2023"));
    folder(QStringLiteral(".숨은 분류/안"));
    folder(QStringLiteral("일기/.git"));
    tk::test::writeFile(list + QStringLiteral("20240101000000.zip"), "an entry, no category");
    tk::test::writeFile(list + QStringLiteral("일기/2024/20240101000000.zip"), "an entry");
    tk::test::writeFile(list + QStringLiteral(".directory"), "left by a file manager");

    EXPECT_EQ(shape(readCategoryTree(list)), QStringLiteral("일기(2023 2024(봄))"));
    EXPECT_EQ(shape(readCategoryTree(dir.path() + QStringLiteral("/LIST"))), QStringLiteral("일기(2023 2024(봄))"));
    EXPECT_EQ(categoryFolderNames(list + QStringLiteral("일기")), (QStringList{"2023", "2024"}));
    EXPECT_TRUE(readCategoryTree(dir.path() + QStringLiteral("/nothing")).isEmpty());
}

// A link is no category: following it would list, and let the category editor rename, move and
// delete, folders outside the library, and a link to a folder above it would repeat the tree.
TEST_F(CategoryTreeTest, LinksToFoldersAreNoCategories) {
    folder(QStringLiteral("일기"));
    ASSERT_TRUE(QDir().mkpath(dir.path() + QStringLiteral("/outside/안쪽")));
    ASSERT_TRUE(QFile::link(dir.path() + QStringLiteral("/outside"), list + QStringLiteral("바깥")));
    ASSERT_TRUE(QFile::link(list + QStringLiteral("일기"), list + QStringLiteral("일기/되돌이")));
    ASSERT_TRUE(QFile::link(dir.path() + QStringLiteral("/gone"), list + QStringLiteral("끊긴 링크")));

    EXPECT_EQ(shape(readCategoryTree(list)), QStringLiteral("일기"));
}

TEST_F(CategoryTreeTest, KoreanCollationOrder) {
    for (const char* name : {"다리", "Zebra", "가방", "2024", "나무", "apple", "Apple", "가"}) {
        folder(QString::fromUtf8(name));
    }
    EXPECT_EQ(categoryFolderNames(list),
              (QStringList{"2024", "가", "가방", "나무", "다리", "apple", "Apple", "Zebra"}));
}

}  // namespace
