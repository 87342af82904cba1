#pragma once

#include <QString>

namespace tk {

// Documents name the usual Korean system faces ("굴림" at 9 points above all), which Linux desktops
// do not have. Left alone, the font matcher draws Latin letters from its default Latin face and
// Hangul from a fallback, so one line mixes two faces of different sizes. This maps each such name
// to one installed Korean family that has both scripts, inside this program only. Installing twice
// installs once. Returns the family "굴림" now resolves to, empty when no Korean family is installed.
QString installKoreanFontSubstitutes();

}  // namespace tk
