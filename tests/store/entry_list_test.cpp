#include "store/entry_list.h"
#include "platform/codepage.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/fsuid.h>
#include <unistd.h>

using namespace tk;
using tk::test::emptyZipWithComment;
using tk::test::writeFile;

namespace {

void addEntry(const QTemporaryDir& dir, const QString& name, const QString& comment) {
    writeFile(dir.filePath(name), emptyZipWithComment(codepage::encodeComment(comment)));
}

EntryRow row(const char* title, const char* category = "", const char* archive = "") {
    return EntryRow{
        QString::fromUtf8(title), QString::fromUtf8(category), QString::fromUtf8(archive), "TKFile.rtf", false, {}};
}

QStringList titles(const std::vector<EntryRow>& rows) {
    QStringList out;
    for (const EntryRow& r : rows) {
        out.append(r.title);
    }
    return out;
}

}  // namespace

TEST(LoadEntries, EmptyFolderGivesNoRows) {
    QTemporaryDir dir;
    const EntryListing listing = LoadEntries(dir.path());
    EXPECT_TRUE(listing.rows.empty());
    EXPECT_TRUE(listing.categories.isEmpty());
    EXPECT_EQ(countText(0), QStringLiteral("총 0개    "));
    EXPECT_EQ(countText(12), QStringLiteral("총 12개    "));
}

TEST(LoadEntries, ListsZipFilesWithTheirComments) {
    QTemporaryDir dir;
    addEntry(dir, "20240101120000.zip", QStringLiteral("일기|개인|Y|TKFile.rtf"));
    addEntry(dir, "20240101120001.ZIP", QStringLiteral("page|web|N|index.htm"));
    writeFile(dir.filePath("20240101120002.zip"), QByteArray());  // no comment at all
    writeFile(dir.filePath("notes.txt"), QByteArray("not an entry"));
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.zip"));  // folders are categories, never entries
    ASSERT_TRUE(QDir(dir.path()).mkpath("sub"));
    addEntry(dir, "sub/inner.zip", "inner");

    EntryListing listing = LoadEntries(dir.path());
    sortByTitle(listing.rows);
    ASSERT_EQ(listing.rows.size(), 3u);
    EXPECT_TRUE(listing.unreadable.isEmpty());

    const auto find = [&](const QString& archive) {
        for (const EntryRow& r : listing.rows) {
            if (r.archiveName == archive) {
                return r;
            }
        }
        ADD_FAILURE() << "no row " << archive.toStdString();
        return EntryRow{};
    };
    const EntryRow diary = find("20240101120000");
    EXPECT_EQ(diary.title, QStringLiteral("일기"));
    EXPECT_EQ(diary.category, QStringLiteral("개인"));
    EXPECT_EQ(diary.imageIndex(), 1);
    const EntryRow page = find("20240101120001");
    EXPECT_EQ(page.documentFile, "index.htm");
    EXPECT_EQ(page.imageIndex(), 0);
    const EntryRow bare = find("20240101120002");
    EXPECT_EQ(bare.title, QStringLiteral("제목 없음"));
    EXPECT_EQ(bare.category, "");
    EXPECT_EQ(bare.documentFile, "TKFile.rtf");
}

TEST(LoadEntries, CategoriesAreDistinctIgnoringLetterCase) {
    QTemporaryDir dir;
    addEntry(dir, "a.zip", "one|Work|N|TKFile.rtf");
    addEntry(dir, "b.zip", "two|work|N|TKFile.rtf");
    addEntry(dir, "c.zip", "three||N|TKFile.rtf");
    addEntry(dir, "d.zip", QStringLiteral("four|일기|N|TKFile.rtf"));
    const EntryListing listing = LoadEntries(dir.path());
    ASSERT_EQ(listing.categories.size(), 2) << listing.categories.join(',').toStdString();
    EXPECT_TRUE(listing.categories.contains("work", Qt::CaseInsensitive));
    EXPECT_TRUE(listing.categories.contains(QStringLiteral("일기")));
}

TEST(LoadEntries, AnUnreadableArchiveIsReportedAndTheRestListed) {
    QTemporaryDir dir;
    addEntry(dir, "a.zip", "readable");
    addEntry(dir, "b.zip", "locked");
    ASSERT_TRUE(QFile::setPermissions(
        dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
    ASSERT_TRUE(QFile::setPermissions(dir.filePath("a.zip"), QFile::ReadOwner | QFile::ReadOther));
    ASSERT_TRUE(QFile::setPermissions(dir.filePath("b.zip"), {}));
    // Permissions do not bind root: read as another user, for this thread's file access only.
    const bool asRoot = ::geteuid() == 0;
    if (asRoot) {
        ::setfsgid(65534);
        ::setfsuid(65534);
    }
    const EntryListing listing = LoadEntries(dir.path());
    if (asRoot) {
        ::setfsuid(0);
        ::setfsgid(0);
    }
    ASSERT_EQ(listing.rows.size(), 1u);
    EXPECT_EQ(listing.rows[0].title, "readable");
    ASSERT_EQ(listing.unreadable.size(), 1);
    EXPECT_TRUE(listing.unreadable[0].endsWith("/b.zip"));
}

TEST(EntryOrder, TitlesSortByKoreanLocaleCaseSensitively) {
    std::vector<EntryRow> rows{row("b"), row("다"), row("B"), row("가"), row("a"), row("나")};
    sortByTitle(rows);
    const QStringList sorted = titles(rows);
    // Hangul in dictionary order, and upper and lower case kept apart but next to each other.
    EXPECT_LT(sorted.indexOf(QStringLiteral("가")), sorted.indexOf(QStringLiteral("나")));
    EXPECT_LT(sorted.indexOf(QStringLiteral("나")), sorted.indexOf(QStringLiteral("다")));
    EXPECT_LT(sorted.indexOf("a"), sorted.indexOf("b"));
    EXPECT_EQ(std::abs(sorted.indexOf("b") - sorted.indexOf("B")), 1);
    EXPECT_NE(sorted.indexOf("b"), sorted.indexOf("B"));
}

TEST(EntryOrder, CompareEntriesFoldsOnlyAsciiLettersAndComparesBytes) {
    EXPECT_EQ(CompareEntries(row("abc"), row("ABC"), 0), 0);
    EXPECT_LT(CompareEntries(row("ab"), row("abc"), 0), 0);  // a prefix comes first
    EXPECT_GT(CompareEntries(row("b"), row("A"), 0), 0);
    // "_" (0x5F) lies between upper (folded) and lower case: "a_" > "A" folding gives "A_" vs "A".
    EXPECT_GT(CompareEntries(row("x", "", "20240101_"), row("x", "", "20240101"), 2), 0);
    // Korean text compares by its CP949 bytes: 가 B0A1 < 나 B3AA; any Hangul after ASCII.
    EXPECT_LT(CompareEntries(row("가"), row("나"), 0), 0);
    EXPECT_GT(CompareEntries(row("가"), row("z"), 0), 0);
    // Other columns compare their own text.
    EXPECT_LT(CompareEntries(row("z", "a"), row("a", "b"), 1), 0);
}

TEST(EntryOrder, ColumnSortBothDirections) {
    std::vector<EntryRow> rows{row("1", "b"), row("2", "C"), row("3", "a")};
    sortByColumn(rows, 1, true);
    EXPECT_EQ(titles(rows), QStringList({"3", "1", "2"}));
    sortByColumn(rows, 1, false);
    EXPECT_EQ(titles(rows), QStringList({"2", "1", "3"}));
}
