#pragma once

#include "store/entry_list.h"

#include <QString>
#include <QStringView>

namespace tk {

// Which columns a find looks in, and whether only protected entries count.
struct FindOptions {
    bool title = true;
    bool category = false;
    bool fileName = false;
    bool protectedOnly = false;
};

// Folds only the ASCII letters a-z to upper case; every other character stays as it is.
QString upperAscii(QStringView text);

// True when text contains needle, with a-z in text folded to upper case as it is compared. needle
// must already be folded (upperAscii). Characters are compared whole, so a Korean needle never
// matches the halves of two neighbouring characters.
bool containsUpperAscii(QStringView text, QStringView needle);

// The find rule for one row: an empty needle matches every row; otherwise the row matches when a
// column ticked in options contains it. With protectedOnly, an unprotected row never matches.
bool rowMatchesFind(const EntryRow& row, QStringView upperNeedle, const FindOptions& options);

}  // namespace tk
