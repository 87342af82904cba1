#pragma once

#include <QIcon>

namespace tk::icons {

// The list's two small images: a page, and a page with a lock for a protected entry.
QIcon entryImage(bool isProtected);
// A folder, for categories.
QIcon categoryImage();

}  // namespace tk::icons
