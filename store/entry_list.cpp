#include "store/entry_list.h"

#include "platform/codepage.h"
#include "platform/parallel.h"

#include <QFile>
#include <QLocale>

#include <unicode/ucol.h>

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <optional>

namespace tk {
namespace {

constexpr size_t kMinPerThread = 512;

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
    return EntryRow{std::move(parsed.title),        std::move(parsed.category), archiveName,
                    std::move(parsed.documentFile), parsed.isProtected,         {}};
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

TitleCollator::TitleCollator() {
    UErrorCode status = U_ZERO_ERROR;
    collator_ = ucol_open("ko_KR", &status);
    if (U_FAILURE(status)) {
        collator_ = nullptr;
        return;
    }
    // Tertiary strength tells upper from lower case.
    ucol_setStrength(collator_, UCOL_TERTIARY);
}

TitleCollator::~TitleCollator() {
    if (collator_) {
        ucol_close(collator_);
    }
}

QByteArray TitleCollator::sortKey(const QString& text) const {
    if (!collator_) {
        return text.toUtf8();
    }
    const auto* chars = reinterpret_cast<const UChar*>(text.utf16());
    const int length = static_cast<int>(text.size());
    // Hangul syllables give long keys: size the buffer so that one call is enough.
    QByteArray key(8 * length + 32, Qt::Uninitialized);
    int size = ucol_getSortKey(collator_, chars, length, reinterpret_cast<uint8_t*>(key.data()),
                               static_cast<int32_t>(key.size()));
    if (size > key.size()) {
        key.resize(size);
        size = ucol_getSortKey(collator_, chars, length, reinterpret_cast<uint8_t*>(key.data()), size);
    }
    key.truncate(std::max(0, size - 1));  // without the closing zero byte
    return key;
}

int TitleCollator::compare(const QString& a, const QString& b) const {
    return compareBytes(sortKey(a), sortKey(b));
}

EntryListing LoadEntries(const QString& folder) {
    EntryListing listing;
    const QByteArray dirPath = QFile::encodeName(folder.isEmpty() ? QStringLiteral(".") : folder);
    DIR* dir = ::opendir(dirPath.constData());
    if (!dir) {
        return listing;
    }
    const int dirFd = ::dirfd(dir);
    std::vector<QByteArray> names;
    while (const dirent* e = ::readdir(dir)) {
        const size_t len = std::strlen(e->d_name);
        if (hasZipSuffix(e->d_name, len) && isRegularFile(dirFd, e)) {
            names.emplace_back(e->d_name, static_cast<qsizetype>(len));
        }
    }
    // Reading thousands of small tails is bound by system calls and decoding: spread it over the cores.
    std::vector<std::optional<EntryRow>> rows(names.size());
    parallelFor(names.size(), kMinPerThread, [&](size_t begin, size_t end, size_t) {
        for (size_t i = begin; i < end; ++i) {
            QString comment;
            const int fd = ::openat(dirFd, names[i].constData(), O_RDONLY | O_CLOEXEC);
            const bool ok = fd >= 0 && readEntryCommentFd(fd, &comment);
            if (fd >= 0) {
                ::close(fd);
            }
            if (ok) {
                rows[i] = rowFrom(QFile::decodeName(names[i]).chopped(4), comment);
            }
        }
    });
    ::closedir(dir);
    listing.rows.reserve(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        if (!rows[i]) {
            const QString dirName = QFile::decodeName(dirPath);
            listing.unreadable.append(dirName + (dirName.endsWith(u'/') ? "" : "/") + QFile::decodeName(names[i]));
            continue;
        }
        addDistinctCategory(listing.categories, rows[i]->category);
        listing.rows.push_back(std::move(*rows[i]));
    }
    return listing;
}

void addDistinctCategory(QStringList& categories, const QString& category) {
    if (!category.isEmpty() && !categories.contains(category, Qt::CaseInsensitive)) {
        categories.append(category);
    }
}

void sortByTitle(std::vector<EntryRow>& rows) {
    // Sort keys are computed once per row, on every core; comparing them is a byte comparison.
    std::vector<QByteArray> keys(rows.size());
    parallelFor(rows.size(), kMinPerThread, [&](size_t begin, size_t end, size_t) {
        const TitleCollator collator;
        for (size_t i = begin; i < end; ++i) {
            keys[i] = collator.sortKey(rows[i].title);
        }
    });
    std::vector<size_t> order(rows.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return compareBytes(keys[a], keys[b]) < 0; });
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
