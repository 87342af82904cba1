#pragma once

#include <QColor>

namespace tk {

class TForm1;

// Applies the stored settings to the windows; reads once, at the main window's first showing.
void LoadSettings(TForm1& form1);
// Stores the settings the windows hold; runs when the main window closes.
void SaveSettings(TForm1& form1);

// Stored colours: 0x00BBGGRR, or 0x80000000 plus a system colour index (5 window, 8 window text).
// A system colour shows as the application palette's colour of the same role.
QColor colorFromStored(quint32 value);
// With systemColors, the palette's window and window-text colours are stored as those system
// colours; a colour the user picked is stored as it is.
quint32 colorToStored(const QColor& color, bool systemColors = true);

}  // namespace tk
