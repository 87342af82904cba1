#pragma once

#include <QTextFormat>

class QTextBlock;
class QTextDocument;

// Properties that the rich edit window keeps on Qt's text formats beyond what QTextFormat has,
// shared by the RTF reader and writer and the rich edit window.
//
// Units: font sizes are points (QTextCharFormat::fontPointSize); margins, indents, spacing and tab
// positions are document pixels at 96 per inch, so 15 twips make one pixel (twipsToPixels).
// Paragraph indents live on the block format (leftMargin = the left indent, textIndent = the first
// line's indent relative to it, rightMargin); a numbered paragraph's list format has indent 0 so
// that the number sits in the paragraph's hanging indent, as in RTF.
namespace tk::richformat {

inline constexpr double kTwipsPerPixel = 15.0;
inline double twipsToPixels(int twips) {
    return twips / kTwipsPerPixel;
}
inline int pixelsToTwips(double pixels) {
    return int(pixels * kTwipsPerPixel + (pixels < 0 ? -0.5 : 0.5));
}

// Character format properties.
enum CharProperty : int {
    Protected = QTextFormat::UserProperty + 1,  // bool: edits of this text are refused unless allowed
    Hidden,                                     // bool: hidden text (\v)
    UnderlineKind,                              // int, UnderlineType below; Qt's underline style shows it
    FontCharset,                                // int: the font's character set (129 Korean, 0 ANSI ...)
    FontPitchFamily,                            // int: pitch and family byte of the font
    LinkTarget,                                 // QString: target of a field hyperlink, when one was read

    // Pictures and objects are image characters (QTextImageFormat) whose name is a document image
    // resource showing them.
    PictureKind = QTextFormat::UserProperty + 20,  // int, PictureType below
    PictureData,                                   // QByteArray: the picture's bytes as stored in RTF
    PictureHeader,  // QByteArray: RTF control words of the picture besides its size (\wmetafile8\picw..)
    ObjectRtf,      // QByteArray: another program's {\object ...} group as read, written back unchanged
    ObjectClass,    // QString: the object's class name (\objclass)
    ObjectData,     // QByteArray: the object server's stored data (the native data of \objdata)
    ObjectFlags,    // int: the object record's flags (REO_...)
    ObjectAspect,   // int: how the object is shown (DVASPECT_CONTENT or DVASPECT_ICON)
    ObjectUser,     // int: the record's user value
    ObjectKey,      // int: the key of the object's live instance in the window, when it has one
    // QString: a linked object's source file, kept on its character while the document is open.
    ObjectLinkSource = QTextFormat::UserProperty + 40,
};

// The format text takes on beside a picture or object: its character properties without the
// picture's or the object's own (the image, its size, data and class), so that text typed or
// inserted after a picture is text, never another copy of the picture.
QTextCharFormat withoutPicture(QTextCharFormat format);
// True when a format carries a picture's or an object's properties.
bool hasPicture(const QTextCharFormat& format);

// Underline kinds as the rich edit window counts them.
enum class UnderlineType : int {
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

// How a picture's bytes are encoded.
enum class PictureType : int {
    None = 0,  // no stored bytes: the writer encodes the shown image as PNG
    Png,
    Jpeg,
    Dib,     // device-independent bitmap without file header (\dibitmap)
    Bitmap,  // device-dependent bitmap bits (\wbitmap)
    Wmf,     // Windows metafile (\wmetafile): kept, drawn (a framed box of its size when it cannot be)
    Emf,     // enhanced metafile (\emfblip): kept, drawn (a framed box of its size when it cannot be)
    Other,   // anything else read (\macpict ...): kept, shown as a framed box
};

// Paragraph format properties.
enum BlockProperty : int {
    LineSpacingRule = QTextFormat::UserProperty + 100,  // int: 0 single ... 5 multiple (PARAFORMAT2 rule)
    // int: PARAFORMAT2's dyLineSpacing: twips for rules 3 (at least) and 4 (exactly), twentieths of
    // a line for rule 5 (multiple), unused for 0 to 2.
    LineSpacingTwips,
    // int: a numbered paragraph's first-line indent as read (\fi, where its number starts), kept
    // while its textIndent is 0 so that Qt draws the number in the hanging indent before the text.
    // Readers of paragraph formats use it in place of textIndent when textIndent is 0.
    NumberFirstIndentTwips,
};

// List format properties (QTextListFormat) beyond Qt's style, prefix and suffix.
enum ListProperty : int {
    NumberingStart = QTextFormat::UserProperty + 120,  // int: the first number (default 1)
    NumberingTabTwips,                                 // int: distance from the number to the text
};

// A list's first number, prefix and suffix as they are stored, and a number written in the list's
// style (1, a, A, i or I onwards; roman numbers past 3999 as digits).
int numberingStart(const QTextListFormat& format);
QString numberPrefix(const QTextListFormat& format);
QString numberSuffix(const QTextListFormat& format);
QString numberText(int n, QTextListFormat::Style style);
bool isNumbered(QTextListFormat::Style style);
// The label of a numbered paragraph counted from its list's first number ("3." for the first
// paragraph of a list from 3), the same as the one saved; empty for a paragraph in no numbered list.
QString numberLabel(const QTextBlock& block);

// The document's default character format beyond its default font: colours, underline kind,
// character set and the like, for text that has no such property of its own. The font part lives
// in QTextDocument::defaultFont(); font properties given here are dropped.
QTextCharFormat defaultCharFormat(const QTextDocument& document);
void setDefaultCharFormat(QTextDocument& document, const QTextCharFormat& format);
// The format text of the given format shows: the document's defaults under its own properties.
QTextCharFormat withDefaults(const QTextCharFormat& defaults, const QTextCharFormat& format);

}  // namespace tk::richformat
