#pragma once

#include <QTextFormat>

#include <cmath>

// Lengths and colours as the rich edit window's records carry them, against Qt's text formats.
namespace tk::richedit {

// Document lengths are laid out in pixels of a 96-dpi screen: 1,440 twips an inch.
inline constexpr double kTwipsPerPixel = 15.0;

inline double twipsToPixels(int twips) {
    return twips / kTwipsPerPixel;
}
inline int pixelsToTwips(double pixels) {
    return static_cast<int>(std::lround(pixels * kTwipsPerPixel));
}

// Colours are 0x00BBGGRR.
inline quint32 toColorRef(const QColor& color) {
    return static_cast<quint32>(color.red()) | static_cast<quint32>(color.green()) << 8 |
           static_cast<quint32>(color.blue()) << 16;
}
inline QColor fromColorRef(quint32 ref) {
    return QColor(static_cast<int>(ref & 0xFF), static_cast<int>((ref >> 8) & 0xFF),
                  static_cast<int>((ref >> 16) & 0xFF));
}

// Format properties of the window's own, beside those the RTF reader and writer share.
enum WindowProperty : int {
    CharOffsetTwips = QTextFormat::UserProperty + 200,  // int: baseline offset (yOffset)
    CharLcid,                                           // int: language of the text
    NumberingTabTwips,                                  // int, on a list format: wNumberingTab
    NumberingStyle,                                     // int, on a list format: wNumberingStyle
    NumberingStart,                                     // int, on a list format: first number
};

}  // namespace tk::richedit
