#pragma once

namespace tk {

// Installs Qt's Korean translations on the application; false when they are not installed.
// Stock buttons, the file dialog and the edit fields' menus then speak Korean like the rest of the
// program. Installing twice installs once. A missing translation is logged, never fatal: the
// program works on with Qt's English texts.
bool installKoreanTranslations();

}  // namespace tk
