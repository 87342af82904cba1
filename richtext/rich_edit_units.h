#pragma once

#include "richtext/rich_format.h"

#include <QColor>
#include <QTextFormat>

// Lengths and colours as the rich edit window's records carry them, against Qt's text formats.
namespace tk::richedit {

using richformat::pixelsToTwips;
using richformat::twipsToPixels;

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
    NumberingStyle,                                     // int, on a list format: wNumberingStyle
};

}  // namespace tk::richedit
