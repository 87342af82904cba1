#pragma once

#include <QTextFormat>

// Properties that the rich edit window keeps on Qt's text formats beyond what QTextFormat has,
// shared by the RTF reader and writer and the rich edit window.
namespace tk::richformat {

// Character format properties.
enum CharProperty : int {
    Protected = QTextFormat::UserProperty + 1,  // bool: edits of this text are refused unless allowed
    Hidden,                                     // bool: hidden text (\v)
    UnderlineKind,                              // int, UnderlineKind below; Qt's underline style shows it
    FontCharset,                                // int: the font's character set (129 Korean, 0 ANSI ...)
    FontPitchFamily,                            // int: pitch and family byte of the font
    LinkTarget,                                 // QString: target of a field hyperlink, when one was read
};

// Underline kinds as the rich edit window counts them.
enum class UnderlineKind : int {
    None = 0,
    Single = 1,
    Words = 2,
    Double = 3,
    Dotted = 4,
    Dash = 5,
    DashDot = 6,
    DashDotDot = 7,
    Wave = 8,
    Thick = 9,
    Hairline = 10,
};

// Paragraph format properties.
enum BlockProperty : int {
    LineSpacingRule = QTextFormat::UserProperty + 100,  // int: 0 single ... 5 multiple (PARAFORMAT2 rule)
    LineSpacingTwips,                                   // int: the \sl value as written
};

}  // namespace tk::richformat
