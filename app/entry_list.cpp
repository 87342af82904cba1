#include "app/entry_list.h"

#include "platform/codepage.h"

#include <QCollator>
#include <QFile>
#include <QLocale>

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <numeric>

namespace tk {
namespace {

bool hasZipSuffix(const char* name, size_t len) {
    return len > 4 && strncasecmp(name + len - 4, ".zip", 4) == 0;
}

bool isRegularFile(int dirFd, const dirent* e) {
    if (e->d_type == DT_REG) {
        return true;
    }
    if (e->d_type != DT_UNKNOWN) {
        return false;  // folders, links and devices are no entries
    }
    struct stat st;
    return ::fstatat(dirFd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode);
}

EntryRow rowFrom(const QString& archiveName, const QString& comment) {
    EntryComment parsed = ParseEntryComment(comment);
    return EntryRow{std::move(parsed.title), std::move(parsed.category), archiveName, std::move(parsed.documentFile),
                    parsed.isProtected};
}

QByteArray columnKey(const EntryRow& row, int column) {
    QByteArray key = codepage::toAnsiBestEffort(columnText(row, column));
    for (char& c : key) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return key;
}

int compareBytes(const QByteArray& a, const QByteArray& b) {
    const int n = std::memcmp(a.constData(), b.constData(), std::min(a.size(), b.size()));
    if (n != 0) {
        return n;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

// Applies a permutation of row indexes to the rows.
void permute(std::vector<EntryRow>& rows, const std::vector<size_t>& order) {
    std::vector<EntryRow> sorted;
    sorted.reserve(rows.size());
    for (size_t i : order) {
        sorted.push_back(std::move(rows[i]));
    }
    rows = std::move(sorted);
}

}  // namespace

EntryListing LoadEntries(const QString& folder) {
    EntryListing listing;
    const QByteArray dirPath = QFile::encodeName(folder.isEmpty() ? QStringLiteral(".") : folder);
    DIR* dir = ::opendir(dirPath.constData());
    if (!dir) {
        return listing;
    }
    const int dirFd = ::dirfd(dir);
    while (const dirent* e = ::readdir(dir)) {
        const size_t len = std::strlen(e->d_name);
        if (!hasZipSuffix(e->d_name, len) || !isRegularFile(dirFd, e)) {
            continue;
        }
        const QString fileName = QFile::decodeName(QByteArray(e->d_name, static_cast<qsizetype>(len)));
        QString comment;
        const int fd = ::openat(dirFd, e->d_name, O_RDONLY | O_CLOEXEC);
        const bool ok = fd >= 0 && readEntryCommentFd(fd, &comment);
        if (fd >= 0) {
            ::close(fd);
        }
        if (!ok) {
            listing.unreadable.append(QFile::decodeName(dirPath) + u'/' + fileName);
            continue;
        }
        EntryRow row = rowFrom(fileName.chopped(4), comment);
        addDistinctCategory(listing.categories, row.category);
        listing.rows.push_back(std::move(row));
    }
    ::closedir(dir);
    return listing;
}

void addDistinctCategory(QStringList& categories, const QString& category) {
    if (!category.isEmpty() && !categories.contains(category, Qt::CaseInsensitive)) {
        categories.append(category);
    }
}

void sortByTitle(std::vector<EntryRow>& rows) {
    QCollator collator(QLocale(QLocale::Korean, QLocale::SouthKorea));
    collator.setCaseSensitivity(Qt::CaseSensitive);
    // Sort keys are computed once per row; comparing them is a byte comparison.
    std::vector<QCollatorSortKey> keys;
    keys.reserve(rows.size());
    for (const EntryRow& row : rows) {
        keys.push_back(collator.sortKey(row.title));
    }
    std::vector<size_t> order(rows.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return keys[a].compare(keys[b]) < 0; });
    permute(rows, order);
}

const QString& columnText(const EntryRow& row, int column) {
    switch (column) {
        case 0:
            return row.title;
        case 1:
            return row.category;
        case 2:
            return row.archiveName;
        default:
            return row.documentFile;
    }
}

int CompareEntries(const EntryRow& a, const EntryRow& b, int column) {
    return compareBytes(columnKey(a, column), columnKey(b, column));
}

void sortByColumn(std::vector<EntryRow>& rows, int column, bool ascending) {
    std::vector<QByteArray> keys;
    keys.reserve(rows.size());
    for (const EntryRow& row : rows) {
        keys.push_back(columnKey(row, column));
    }
    std::vector<size_t> order(rows.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const int c = compareBytes(keys[a], keys[b]);
        return ascending ? c < 0 : c > 0;
    });
    permute(rows, order);
}

QString countText(qsizetype count) {
    return QStringLiteral("총 ") + QString::number(count) + QStringLiteral("개    ");
}

}  // namespace tk
