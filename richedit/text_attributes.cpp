#include "richedit/text_attributes.h"

#include "richedit/custom_rich_edit.h"
#include "richtext/rich_edit_window.h"

#include <algorithm>

namespace tk {

using namespace tk::richedit;

namespace {

constexpr TColor kSystemColor = 0x80000000;
constexpr quint8 kFixedPitch = 1;
constexpr quint8 kVariablePitch = 2;
constexpr int kTwipsPerPoint = 20;

// The character format messages' target for each kind of attribute object.
int targetOf(TAttributeType type) {
    switch (type) {
        case TAttributeType::atDefault:
            return SCF_DEFAULT;
        case TAttributeType::atWord:
            return SCF_SELECTION | SCF_WORD;
        case TAttributeType::atSelection:
            break;
    }
    return SCF_SELECTION;
}

quint32 effectsOf(TFontStyles style) {
    return (style.testFlag(TFontStyle::fsBold) ? CFE_BOLD : 0) |
           (style.testFlag(TFontStyle::fsItalic) ? CFE_ITALIC : 0) |
           (style.testFlag(TFontStyle::fsUnderline) ? CFE_UNDERLINE : 0) |
           (style.testFlag(TFontStyle::fsStrikeOut) ? CFE_STRIKEOUT : 0);
}

// The system colour indexes have palette roles; those not listed read as the window text.
QPalette::ColorRole roleOf(int index) {
    switch (index) {
        case 5:  // window
            return QPalette::Base;
        case 13:  // highlight
            return QPalette::Highlight;
        case 14:  // highlighted text
            return QPalette::HighlightedText;
        case 15:  // button face
            return QPalette::Button;
        case 18:  // button text
            return QPalette::ButtonText;
        case 4:  // menu
            return QPalette::Window;
        default:
            return QPalette::Text;
    }
}

}  // namespace

QColor colorFromTColor(TColor color, const QPalette& palette) {
    if (color == clDefault) {
        return palette.color(QPalette::Text);
    }
    if (color & kSystemColor) {
        return palette.color(roleOf(static_cast<int>(color & 0xFF)));
    }
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

TColor tcolorFromColor(const QColor& color) {
    if (!color.isValid()) {
        return clDefault;
    }
    const QColor rgb = color.toRgb();
    return static_cast<TColor>(rgb.red()) | (static_cast<TColor>(rgb.green()) << 8) |
           (static_cast<TColor>(rgb.blue()) << 16);
}

// A plain colour value for the window: a system colour resolves under the application palette.
static quint32 colorRefOf(TColor color) {
    return (color & kSystemColor) ? tcolorFromColor(colorFromTColor(color, QPalette())) : (color & 0x00FFFFFF);
}

// ---- character attributes ----

TTextAttributes2::TTextAttributes2(TCustomRichEdit2& owner, TAttributeType type) : owner_(owner), type_(type) {}

CharFormat2 TTextAttributes2::read() const {
    if (!owner_.HandleAllocated()) {
        return {};
    }
    return owner_.richWindow().model().charFormat(targetOf(type_));
}

void TTextAttributes2::write(const CharFormat2& format) const {
    if (owner_.HandleAllocated()) {
        (void)owner_.richWindow().model().setCharFormat(targetOf(type_), format);
    }
}

QString TTextAttributes2::Name() const {
    return read().szFaceName;
}

void TTextAttributes2::SetName(const QString& name) {
    CharFormat2 cf;
    cf.dwMask = CFM_FACE;
    cf.szFaceName = name.left(32);
    write(cf);
}

int TTextAttributes2::Size() const {
    return read().yHeight / kTwipsPerPoint;
}

void TTextAttributes2::SetSize(int points) {
    CharFormat2 cf;
    cf.dwMask = CFM_SIZE;
    cf.yHeight = points * kTwipsPerPoint;
    write(cf);
}

TFontStyles TTextAttributes2::Style() const {
    const quint32 effects = read().dwEffects;
    TFontStyles style;
    style.setFlag(TFontStyle::fsBold, effects & CFE_BOLD);
    style.setFlag(TFontStyle::fsItalic, effects & CFE_ITALIC);
    style.setFlag(TFontStyle::fsUnderline, effects & CFE_UNDERLINE);
    style.setFlag(TFontStyle::fsStrikeOut, effects & CFE_STRIKEOUT);
    return style;
}

void TTextAttributes2::SetStyle(TFontStyles style) {
    CharFormat2 cf;
    cf.dwMask = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT;
    cf.dwEffects = effectsOf(style);
    write(cf);
}

TColor TTextAttributes2::Color() const {
    const CharFormat2 cf = read();
    return (cf.dwEffects & CFE_AUTOCOLOR) ? clWindowText : cf.crTextColor;
}

void TTextAttributes2::SetColor(TColor color) {
    CharFormat2 cf;
    cf.dwMask = CFM_COLOR;
    if (color == clWindowText || color == clDefault) {
        cf.dwEffects = CFE_AUTOCOLOR;
    } else {
        cf.crTextColor = colorRefOf(color);
    }
    write(cf);
}

TColor TTextAttributes2::BackgroundColor() const {
    const CharFormat2 cf = read();
    return (cf.dwEffects & CFE_AUTOBACKCOLOR) ? clWindow : cf.crBackColor;
}

void TTextAttributes2::SetBackgroundColor(TColor color) {
    CharFormat2 cf;
    cf.dwMask = CFM_BACKCOLOR;
    if (color == clWindow || color == clDefault) {
        cf.dwEffects = CFE_AUTOBACKCOLOR;
    } else {
        cf.crBackColor = colorRefOf(color);
    }
    write(cf);
}

quint8 TTextAttributes2::Charset() const {
    return read().bCharSet;
}

void TTextAttributes2::SetCharset(quint8 charset) {
    CharFormat2 cf;
    cf.dwMask = CFM_CHARSET;
    cf.bCharSet = charset;
    write(cf);
}

TFontPitch TTextAttributes2::Pitch() const {
    switch (read().bPitchAndFamily & 3) {
        case kFixedPitch:
            return TFontPitch::fpFixed;
        case kVariablePitch:
            return TFontPitch::fpVariable;
        default:
            return TFontPitch::fpDefault;
    }
}

// The pitch has no mask bit: the record is sent, and the window changes nothing.
void TTextAttributes2::SetPitch(TFontPitch pitch) {
    CharFormat2 cf;
    cf.bPitchAndFamily = pitch == TFontPitch::fpVariable ? kVariablePitch
                         : pitch == TFontPitch::fpFixed  ? kFixedPitch
                                                         : 0;
    write(cf);
}

void TTextAttributes2::SetUnderlineKind(quint8 code) {
    CharFormat2 cf;
    cf.dwMask = CFM_UNDERLINETYPE | CFM_UNDERLINE;
    cf.bUnderlineType = code;
    cf.dwEffects = code != 0 ? CFE_UNDERLINE : 0;
    write(cf);
}

void TTextAttributes2::Assign(const QFont& font, TColor color) {
    CharFormat2 cf;
    if (font.resolveMask() & QFont::FixedPitchResolved) {
        cf.bPitchAndFamily = font.fixedPitch() ? kFixedPitch : kVariablePitch;
    }
    cf.dwMask = CFM_SIZE | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT | CFM_FACE | CFM_COLOR;
    cf.yHeight = static_cast<qint32>(font.pointSizeF() * kTwipsPerPoint);
    TFontStyles style;
    style.setFlag(TFontStyle::fsBold, font.bold());
    style.setFlag(TFontStyle::fsItalic, font.italic());
    style.setFlag(TFontStyle::fsUnderline, font.underline());
    style.setFlag(TFontStyle::fsStrikeOut, font.strikeOut());
    cf.dwEffects = effectsOf(style);
    cf.szFaceName = font.family().left(32);
    if (color == clWindowText || color == clDefault) {
        cf.dwEffects |= CFE_AUTOCOLOR;
    } else {
        cf.crTextColor = colorRefOf(color);
    }
    // A QFont names no character set; the program's fonts are Korean ones.
    cf.dwMask |= CFM_CHARSET | CFM_WEIGHT;
    cf.bCharSet = 129;
    cf.wWeight = static_cast<quint16>(font.weight());
    write(cf);
}

void TTextAttributes2::Assign(const TTextAttributes2& source) {
    write(source.read());
}

void TTextAttributes2::AssignTo(QFont& font, TColor* color) const {
    if (color != nullptr) {
        *color = Color();
    }
    font.setFamily(Name());
    const TFontStyles style = Style();
    font.setBold(style.testFlag(TFontStyle::fsBold));
    font.setItalic(style.testFlag(TFontStyle::fsItalic));
    font.setUnderline(style.testFlag(TFontStyle::fsUnderline));
    font.setStrikeOut(style.testFlag(TFontStyle::fsStrikeOut));
    const int size = Size();
    if (size > 0) {
        font.setPointSize(size);
    }
    const TFontPitch pitch = Pitch();
    if (pitch != TFontPitch::fpDefault) {
        font.setFixedPitch(pitch == TFontPitch::fpFixed);
    }
}

// ---- paragraph attributes ----

TParaAttributes2::TParaAttributes2(TCustomRichEdit2& owner) : owner_(owner) {}

ParaFormat2 TParaAttributes2::read() const {
    if (!owner_.HandleAllocated()) {
        return {};
    }
    return owner_.richWindow().model().paraFormat();
}

// Right-to-left text has its left and right exchanged: left alignment keeps to the reading start.
void TParaAttributes2::write(ParaFormat2 format) const {
    RichEditWindow& window = owner_.richWindow();
    if (owner_.layoutDirection() == Qt::RightToLeft) {
        if (format.wAlignment == PFA_LEFT) {
            format.wAlignment = PFA_RIGHT;
        } else if (format.wAlignment == PFA_RIGHT) {
            format.wAlignment = PFA_LEFT;
        }
    }
    (void)window.model().setParaFormat(format);
}

quint8 TParaAttributes2::Alignment() const {
    return static_cast<quint8>(read().wAlignment - 1);
}

void TParaAttributes2::SetAlignment(quint8 alignment) {
    ParaFormat2 pf;
    pf.dwMask = PFM_ALIGNMENT;
    pf.wAlignment = static_cast<quint16>(alignment + 1);
    write(pf);
}

int TParaAttributes2::FirstIndent() const {
    return read().dxStartIndent / kTwipsPerPoint;
}

void TParaAttributes2::SetFirstIndent(int points) {
    ParaFormat2 pf;
    pf.dwMask = PFM_STARTINDENT;
    pf.dxStartIndent = points * kTwipsPerPoint;
    write(pf);
}

int TParaAttributes2::LeftIndent() const {
    return read().dxOffset / kTwipsPerPoint;
}

void TParaAttributes2::SetLeftIndent(int points) {
    ParaFormat2 pf;
    pf.dwMask = PFM_OFFSET;
    pf.dxOffset = points * kTwipsPerPoint;
    write(pf);
}

int TParaAttributes2::RightIndent() const {
    return read().dxRightIndent / kTwipsPerPoint;
}

void TParaAttributes2::SetRightIndent(int points) {
    ParaFormat2 pf;
    pf.dwMask = PFM_RIGHTINDENT;
    pf.dxRightIndent = points * kTwipsPerPoint;
    write(pf);
}

quint8 TParaAttributes2::Numbering() const {
    return static_cast<quint8>(read().wNumbering & 0xFF);
}

// A numbered paragraph needs room for its number: at least 10 points of left indent.
void TParaAttributes2::SetNumbering(quint8 numbering) {
    if (numbering == 0) {
        SetLeftIndent(0);
    } else if (LeftIndent() < 10) {
        SetLeftIndent(10);
    }
    ParaFormat2 pf;
    pf.dwMask = PFM_NUMBERING;
    pf.wNumbering = numbering;
    write(pf);
}

qint16 TParaAttributes2::NumberingStart() const {
    return read().wNumberingStart;
}

void TParaAttributes2::SetNumberingStart(qint16 start) {
    ParaFormat2 pf;
    pf.dwMask = PFM_NUMBERINGSTART;
    pf.wNumberingStart = start;
    write(pf);
}

quint16 TParaAttributes2::NumberingTab() const {
    return static_cast<quint16>(read().wNumberingTab / kTwipsPerPoint);
}

void TParaAttributes2::SetNumberingTab(quint16 points) {
    ParaFormat2 pf;
    pf.dwMask = PFM_NUMBERINGTAB;
    pf.wNumberingTab = static_cast<quint16>(points * kTwipsPerPoint);
    write(pf);
}

int TParaAttributes2::SpaceBefore() const {
    return read().dySpaceBefore / kTwipsPerPoint;
}

void TParaAttributes2::SetSpaceBefore(int points) {
    ParaFormat2 pf;
    pf.dwMask = PFM_SPACEBEFORE;
    pf.dySpaceBefore = points * kTwipsPerPoint;
    write(pf);
}

int TParaAttributes2::SpaceAfter() const {
    return read().dySpaceAfter / kTwipsPerPoint;
}

void TParaAttributes2::SetSpaceAfter(int points) {
    ParaFormat2 pf;
    pf.dwMask = PFM_SPACEAFTER;
    pf.dySpaceAfter = points * kTwipsPerPoint;
    write(pf);
}

int TParaAttributes2::LineSpacing() const {
    return read().dyLineSpacing / kTwipsPerPoint;
}

// Both halves of the line spacing travel together: each write keeps the other half as it is.
void TParaAttributes2::SetLineSpacing(int spacing) {
    ParaFormat2 pf = read();
    pf.dwMask = PFM_LINESPACING;
    pf.dyLineSpacing = spacing * kTwipsPerPoint;
    write(pf);
}

quint8 TParaAttributes2::LineSpacingRule() const {
    return read().bLineSpacingRule;
}

void TParaAttributes2::SetLineSpacingRule(quint8 rule) {
    ParaFormat2 pf = read();
    pf.dwMask = PFM_LINESPACING;
    pf.bLineSpacingRule = rule;
    write(pf);
}

int TParaAttributes2::Tab(int index) const {
    if (index < 0 || index >= MAX_TAB_STOPS) {
        return 0;
    }
    return read().rgxTabs[static_cast<size_t>(index)] / kTwipsPerPoint;
}

void TParaAttributes2::SetTab(int index, int points) {
    if (index < 0 || index >= MAX_TAB_STOPS) {
        return;
    }
    ParaFormat2 pf = read();
    pf.dwMask = PFM_TABSTOPS;
    pf.rgxTabs[static_cast<size_t>(index)] = points * kTwipsPerPoint;
    pf.cTabCount = static_cast<qint16>(std::max<int>(pf.cTabCount, index + 1));
    write(pf);
}

void TParaAttributes2::Assign(const TParaAttributes2& source) {
    write(source.read());
}

}  // namespace tk
