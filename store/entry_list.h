#pragma once

#include "store/entry_comment.h"

#include <QString>
#include <QStringList>

#include <vector>

struct UCollator;

namespace tk {

// One row of the entry list: an entry archive and what its comment says.
struct EntryRow {
    QString title;
    QString category;
    QString archiveName;  // file name without ".zip"
    QString documentFile;
    bool isProtected = false;
    // The category folder the archive lies in, ending in "/", for a row found in another folder
    // than the one listed (a search of the whole library); empty for the listed folder's own rows.
    QString folder;

    // The row's image: 1 for a protected entry, 0 for any other.
    int imageIndex() const { return isProtected ? 1 : 0; }
};

// The result of reading one category folder.
struct EntryListing {
    std::vector<EntryRow> rows;  // in the file system's order
    QStringList categories;      // distinct non-empty categories, first spelling kept, in reading order
    QStringList unreadable;      // archives that could not be opened; the rest are still listed
};

// Reads the entries of the "*.zip" files directly in folder (an empty folder path means the
// working folder). Files whose names end in ".zip" in any letter case count; folders do not.
EntryListing LoadEntries(const QString& folder);

// Adds category to the list unless it is empty or already there in any letter case.
void addDistinctCategory(QStringList& categories, const QString& category);

// The Korean locale's case-sensitive collation, through sort keys.
class TitleCollator final {
  public:
    TitleCollator();
    ~TitleCollator();
    TitleCollator(const TitleCollator&) = delete;
    TitleCollator& operator=(const TitleCollator&) = delete;

    // Keys compare as bytes in the collation's order.
    QByteArray sortKey(const QString& text) const;
    int compare(const QString& a, const QString& b) const;

  private:
    UCollator* collator_ = nullptr;
};

// Sorts rows by title in ascending order with the Korean locale's case-sensitive collation.
void sortByTitle(std::vector<EntryRow>& rows);

// Column sort order: the column's text (0 title, 1 category, 2 archive name, 3 document file)
// compared as CP949 bytes with only a-z folded to upper case. Negative, zero or positive.
int CompareEntries(const EntryRow& a, const EntryRow& b, int column);
const QString& columnText(const EntryRow& row, int column);

// Sorts rows by a column, ascending or descending, with CompareEntries.
void sortByColumn(std::vector<EntryRow>& rows, int column, bool ascending);

// "총 N개    ": the count shown in the status bar.
QString countText(qsizetype count);

}  // namespace tk
