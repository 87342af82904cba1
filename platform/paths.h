#pragma once

#include <QString>

namespace tk {

// Folder paths end in "/": this appends one when missing (an empty path gives "/").
inline QString withTrailingSlash(const QString& path) {
    return path.endsWith(u'/') ? path : path + u'/';
}

}  // namespace tk
