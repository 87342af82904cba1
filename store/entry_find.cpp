#include "store/entry_find.h"

namespace tk {
namespace {

inline char16_t foldAscii(char16_t c) {
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - (u'a' - u'A')) : c;
}

}  // namespace

QString upperAscii(QStringView text) {
    QString out(text.size(), Qt::Uninitialized);
    char16_t* to = reinterpret_cast<char16_t*>(out.data());
    for (qsizetype i = 0; i < text.size(); ++i) {
        to[i] = foldAscii(text[i].unicode());
    }
    return out;
}

bool containsUpperAscii(QStringView text, QStringView needle) {
    const qsizetype n = needle.size();
    if (n == 0) {
        return true;
    }
    const char16_t* hay = text.utf16();
    const char16_t* pin = needle.utf16();
    const char16_t first = pin[0];
    for (qsizetype at = 0; at + n <= text.size(); ++at) {
        if (foldAscii(hay[at]) != first) {
            continue;
        }
        qsizetype i = 1;
        while (i < n && foldAscii(hay[at + i]) == pin[i]) {
            ++i;
        }
        if (i == n) {
            return true;
        }
    }
    return false;
}

bool rowMatchesFind(const EntryRow& row, QStringView upperNeedle, const FindOptions& options) {
    bool match = upperNeedle.isEmpty();
    if (options.title && !match) {
        match = containsUpperAscii(row.title, upperNeedle);
    }
    if (options.category && !match) {
        match = containsUpperAscii(row.category, upperNeedle);
    }
    if (options.fileName && !match) {
        match = containsUpperAscii(row.archiveName, upperNeedle);
    }
    if (options.protectedOnly && !row.isProtected) {
        match = false;
    }
    return match;
}

}  // namespace tk
