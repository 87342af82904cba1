#pragma once

#include "richtext/rich_edit_types.h"

#include <QColor>
#include <QFlags>
#include <QFont>
#include <QPalette>
#include <QString>
#include <QtGlobal>

namespace tk {

class TCustomRichEdit2;

// A colour as the control's properties hold it: 0x00BBGGRR for a plain colour, or 0x80000000 with
// a system colour index in the low byte, which follows the palette.
using TColor = quint32;
inline constexpr TColor clWindowText = 0x80000008, clWindow = 0x80000005, clDefault = 0x20000000;

// The colour a TColor stands for under a palette; clDefault reads as the window text colour.
QColor colorFromTColor(TColor color, const QPalette& palette);
// The plain colour value of a QColor (alpha dropped); an invalid colour is clDefault.
TColor tcolorFromColor(const QColor& color);

// Which character format an attribute object reads and writes.
enum class TAttributeType { atDefault, atSelection, atWord };
enum class TFontPitch { fpDefault, fpVariable, fpFixed };
enum class TFontStyle { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
Q_DECLARE_FLAGS(TFontStyles, TFontStyle)
Q_DECLARE_OPERATORS_FOR_FLAGS(TFontStyles)

// Character formatting of the control's text. The object keeps nothing of its own: each read asks
// the control's window for the current format of its target, each write sends one record whose
// mask names only the fields changed. Sizes are whole points; the window keeps twips.
class TTextAttributes2 {
  public:
    TTextAttributes2(TCustomRichEdit2& owner, TAttributeType type);
    TTextAttributes2(const TTextAttributes2&) = delete;
    TTextAttributes2& operator=(const TTextAttributes2&) = delete;

    TAttributeType Type() const { return type_; }

    QString Name() const;
    void SetName(const QString& name);
    int Size() const;
    void SetSize(int points);
    TFontStyles Style() const;
    void SetStyle(TFontStyles style);
    TColor Color() const;
    void SetColor(TColor color);
    TColor BackgroundColor() const;
    void SetBackgroundColor(TColor color);
    quint8 Charset() const;
    void SetCharset(quint8 charset);
    TFontPitch Pitch() const;
    void SetPitch(TFontPitch pitch);
    // An underline type code, 0 for none; write-only.
    void SetUnderlineKind(quint8 code);

    // Face, size, style, colour, character set, weight and pitch of the font in one record.
    void Assign(const QFont& font, TColor color);
    // The source's record as read, its mask included, sent unchanged to this target.
    void Assign(const TTextAttributes2& source);
    // Colour (when asked), name, character set, style, size and pitch into the font.
    void AssignTo(QFont& font, TColor* color = nullptr) const;

  private:
    richedit::CharFormat2 read() const;
    void write(const richedit::CharFormat2& format) const;

    TCustomRichEdit2& owner_;
    TAttributeType type_;
};

// Paragraph formatting of the paragraphs of the control's selection; every read and write goes to
// the window, as with TTextAttributes2. Lengths are whole points.
class TParaAttributes2 {
  public:
    explicit TParaAttributes2(TCustomRichEdit2& owner);
    TParaAttributes2(const TParaAttributes2&) = delete;
    TParaAttributes2& operator=(const TParaAttributes2&) = delete;

    // 0 left, 1 right, 2 centre, 3 justified.
    quint8 Alignment() const;
    void SetAlignment(quint8 alignment);
    int FirstIndent() const;
    void SetFirstIndent(int points);
    int LeftIndent() const;
    void SetLeftIndent(int points);
    int RightIndent() const;
    void SetRightIndent(int points);
    // 0 none, 1 bullet, 2 arabic, 3 and 4 lower and upper letters, 5 and 6 lower and upper roman.
    quint8 Numbering() const;
    void SetNumbering(quint8 numbering);
    qint16 NumberingStart() const;
    void SetNumberingStart(qint16 start);
    quint16 NumberingTab() const;
    void SetNumberingTab(quint16 points);
    int SpaceBefore() const;
    void SetSpaceBefore(int points);
    int SpaceAfter() const;
    void SetSpaceAfter(int points);
    // Points for the exact and at-least rules (3, 4), twentieths of a line for rule 5.
    int LineSpacing() const;
    void SetLineSpacing(int spacing);
    quint8 LineSpacingRule() const;
    void SetLineSpacingRule(quint8 rule);
    // Tab stop 0-31 in points.
    int Tab(int index) const;
    void SetTab(int index, int points);

    // The source's record as read, sent unchanged.
    void Assign(const TParaAttributes2& source);

  private:
    richedit::ParaFormat2 read() const;
    void write(richedit::ParaFormat2 format) const;

    TCustomRichEdit2& owner_;
};

}  // namespace tk
