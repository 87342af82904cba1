// Character and paragraph formats of the rich edit window, as records with masks.
#include "richtext/rich_edit_model.h"
#include "richtext/rich_edit_units.h"
#include "richtext/rich_format.h"

#include <QHash>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>

#include <algorithm>
#include <cmath>
#include <tuple>

namespace tk::richedit {
namespace {

using Underline = richformat::UnderlineType;

constexpr quint32 kCharMaskAll = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT | CFM_PROTECTED | CFM_LINK |
                                 CFM_HIDDEN | CFM_SUBSCRIPT | CFM_UNDERLINETYPE | CFM_WEIGHT | CFM_SPACING | CFM_LCID |
                                 CFM_BACKCOLOR | CFM_CHARSET | CFM_OFFSET | CFM_FACE | CFM_COLOR | CFM_SIZE;
constexpr quint32 kParaMaskAll = PFM_STARTINDENT | PFM_RIGHTINDENT | PFM_OFFSET | PFM_ALIGNMENT | PFM_TABSTOPS |
                                 PFM_NUMBERING | PFM_SPACEBEFORE | PFM_SPACEAFTER | PFM_LINESPACING |
                                 PFM_NUMBERINGSTYLE | PFM_NUMBERINGTAB | PFM_NUMBERINGSTART | PFM_RTLPARA;

QTextCharFormat::UnderlineStyle qtUnderline(int kind) {
    switch (static_cast<Underline>(kind)) {
        case Underline::None:
            return QTextCharFormat::NoUnderline;
        case Underline::Dotted:
            return QTextCharFormat::DotLine;
        case Underline::Dash:
            return QTextCharFormat::DashUnderline;
        case Underline::DashDot:
            return QTextCharFormat::DashDotLine;
        case Underline::DashDotDot:
            return QTextCharFormat::DashDotDotLine;
        case Underline::Wave:
            return QTextCharFormat::WaveUnderline;
        default:
            return QTextCharFormat::SingleUnderline;
    }
}

// The record of one format, every field filled.
CharFormat2 toRecord(const QTextCharFormat& f, const QFont& defaultFont) {
    CharFormat2 cf;
    cf.dwMask = kCharMaskAll;
    const QFont font = f.font().resolve(defaultFont);
    const int weight = f.hasProperty(QTextFormat::FontWeight) ? f.fontWeight() : defaultFont.weight();
    if (weight >= QFont::DemiBold) {
        cf.dwEffects |= CFE_BOLD;
    }
    cf.wWeight = static_cast<quint16>(weight);
    if (f.hasProperty(QTextFormat::FontItalic) ? f.fontItalic() : defaultFont.italic()) {
        cf.dwEffects |= CFE_ITALIC;
    }
    int kind = f.intProperty(richformat::UnderlineKind);
    const bool underlined = f.hasProperty(QTextFormat::TextUnderlineStyle)
                                ? f.underlineStyle() != QTextCharFormat::NoUnderline
                                : defaultFont.underline();
    if (underlined && kind == 0) {
        kind = static_cast<int>(Underline::Single);
    }
    if (underlined) {
        cf.dwEffects |= CFE_UNDERLINE;
    }
    cf.bUnderlineType = underlined ? static_cast<quint8>(kind) : 0;
    if (f.hasProperty(QTextFormat::FontStrikeOut) ? f.fontStrikeOut() : defaultFont.strikeOut()) {
        cf.dwEffects |= CFE_STRIKEOUT;
    }
    if (f.boolProperty(richformat::Protected)) {
        cf.dwEffects |= CFE_PROTECTED;
    }
    if (f.boolProperty(richformat::Hidden)) {
        cf.dwEffects |= CFE_HIDDEN;
    }
    if (f.isAnchor()) {
        cf.dwEffects |= CFE_LINK;
    }
    if (f.verticalAlignment() == QTextCharFormat::AlignSubScript) {
        cf.dwEffects |= CFE_SUBSCRIPT;
    } else if (f.verticalAlignment() == QTextCharFormat::AlignSuperScript) {
        cf.dwEffects |= CFE_SUPERSCRIPT;
    }
    const double points = font.pointSizeF() > 0 ? font.pointSizeF() : defaultFont.pointSizeF();
    cf.yHeight = static_cast<qint32>(std::lround(points * 20));
    cf.yOffset = f.intProperty(CharOffsetTwips);
    if (f.foreground().style() == Qt::NoBrush) {
        cf.dwEffects |= CFE_AUTOCOLOR;
    } else {
        cf.crTextColor = toColorRef(f.foreground().color());
    }
    if (f.background().style() == Qt::NoBrush) {
        cf.dwEffects |= CFE_AUTOBACKCOLOR;
    } else {
        cf.crBackColor = toColorRef(f.background().color());
    }
    cf.bCharSet = static_cast<quint8>(f.intProperty(richformat::FontCharset));
    cf.bPitchAndFamily = static_cast<quint8>(f.intProperty(richformat::FontPitchFamily));
    const QStringList families = f.fontFamilies().toStringList();
    cf.szFaceName = families.isEmpty() ? defaultFont.family() : families.first();
    cf.sSpacing = static_cast<qint16>(pixelsToTwips(f.fontLetterSpacing()));
    cf.lcid = static_cast<quint32>(f.intProperty(CharLcid));
    return cf;
}

// Clears the mask bits of the fields in which b differs from a.
void narrowMask(CharFormat2& a, const CharFormat2& b) {
    const quint32 effectBits =
        CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT | CFM_PROTECTED | CFM_LINK | CFM_HIDDEN | CFM_SUBSCRIPT;
    a.dwMask &= ~((a.dwEffects ^ b.dwEffects) & effectBits);
    auto differs = [&a](bool d, quint32 bit) {
        if (d) {
            a.dwMask &= ~bit;
        }
    };
    differs(a.yHeight != b.yHeight, CFM_SIZE);
    differs(a.yOffset != b.yOffset, CFM_OFFSET);
    differs(a.szFaceName != b.szFaceName, CFM_FACE);
    differs(a.bCharSet != b.bCharSet, CFM_CHARSET);
    differs(a.wWeight != b.wWeight, CFM_WEIGHT);
    differs(a.sSpacing != b.sSpacing, CFM_SPACING);
    differs(a.lcid != b.lcid, CFM_LCID);
    differs(a.bUnderlineType != b.bUnderlineType, CFM_UNDERLINETYPE);
    differs((a.dwEffects ^ b.dwEffects) & CFE_AUTOCOLOR || a.crTextColor != b.crTextColor, CFM_COLOR);
    differs((a.dwEffects ^ b.dwEffects) & CFE_AUTOBACKCOLOR || a.crBackColor != b.crBackColor, CFM_BACKCOLOR);
}

void applyEffects(QTextCharFormat& f, const CharFormat2& cf) {
    const quint32 m = cf.dwMask;
    const quint32 e = cf.dwEffects;
    if (m & CFM_BOLD) {
        f.setFontWeight((e & CFE_BOLD) ? QFont::Bold : QFont::Normal);
    }
    if (m & CFM_ITALIC) {
        f.setFontItalic(e & CFE_ITALIC);
    }
    if (m & CFM_UNDERLINETYPE) {
        f.setProperty(richformat::UnderlineKind, static_cast<int>(cf.bUnderlineType));
        f.setUnderlineStyle(qtUnderline(cf.bUnderlineType));
    }
    if ((m & CFM_UNDERLINE) && !(m & CFM_UNDERLINETYPE)) {
        const int kind = (e & CFE_UNDERLINE) ? std::max(1, f.intProperty(richformat::UnderlineKind)) : 0;
        f.setProperty(richformat::UnderlineKind, kind);
        f.setUnderlineStyle(qtUnderline(kind));
    } else if ((m & CFM_UNDERLINE) && !(e & CFE_UNDERLINE)) {
        f.setProperty(richformat::UnderlineKind, 0);
        f.setUnderlineStyle(QTextCharFormat::NoUnderline);
    }
    if (m & CFM_STRIKEOUT) {
        f.setFontStrikeOut(e & CFE_STRIKEOUT);
    }
    if (m & CFM_PROTECTED) {
        if (e & CFE_PROTECTED) {
            f.setProperty(richformat::Protected, true);
        } else {
            f.clearProperty(richformat::Protected);
        }
    }
    if (m & CFM_HIDDEN) {
        if (e & CFE_HIDDEN) {
            f.setProperty(richformat::Hidden, true);
        } else {
            f.clearProperty(richformat::Hidden);
        }
    }
    if (m & CFM_SUBSCRIPT) {
        f.setVerticalAlignment((e & CFE_SUBSCRIPT)     ? QTextCharFormat::AlignSubScript
                               : (e & CFE_SUPERSCRIPT) ? QTextCharFormat::AlignSuperScript
                                                       : QTextCharFormat::AlignNormal);
    }
}

void applyCharFormat(QTextCharFormat& f, const CharFormat2& cf) {
    applyEffects(f, cf);
    const quint32 m = cf.dwMask;
    if ((m & CFM_SIZE) && cf.yHeight > 0) {
        f.setFontPointSize(cf.yHeight / 20.0);
    }
    if (m & CFM_FACE) {
        f.setFontFamilies(QStringList{cf.szFaceName.left(31)});
    }
    if (m & CFM_WEIGHT) {
        f.setFontWeight(std::clamp<int>(cf.wWeight, 1, 1000));
    }
    if (m & CFM_COLOR) {
        if (cf.dwEffects & CFE_AUTOCOLOR) {
            f.clearForeground();
        } else {
            f.setForeground(fromColorRef(cf.crTextColor));
        }
    }
    if (m & CFM_BACKCOLOR) {
        if (cf.dwEffects & CFE_AUTOBACKCOLOR) {
            f.clearBackground();
        } else {
            f.setBackground(fromColorRef(cf.crBackColor));
        }
    }
    if (m & CFM_CHARSET) {
        f.setProperty(richformat::FontCharset, static_cast<int>(cf.bCharSet));
    }
    if (m & CFM_OFFSET) {
        f.setProperty(CharOffsetTwips, cf.yOffset);
    }
    if (m & CFM_SPACING) {
        f.setFontLetterSpacingType(QFont::AbsoluteSpacing);
        f.setFontLetterSpacing(twipsToPixels(cf.sSpacing));
    }
    if (m & CFM_LCID) {
        f.setProperty(CharLcid, static_cast<int>(cf.lcid));
    }
    // The pitch byte carries no mask bit: a record sent with it alone changes nothing.
}

// ---- paragraphs ----

int listNumbering(const QTextList* list) {
    if (list == nullptr) {
        return 0;
    }
    switch (list->format().style()) {
        case QTextListFormat::ListDecimal:
            return PFN_ARABIC;
        case QTextListFormat::ListLowerAlpha:
            return PFN_LCLETTER;
        case QTextListFormat::ListUpperAlpha:
            return PFN_UCLETTER;
        case QTextListFormat::ListLowerRoman:
            return PFN_LCROMAN;
        case QTextListFormat::ListUpperRoman:
            return PFN_UCROMAN;
        default:
            return PFN_BULLET;
    }
}

QTextListFormat::Style listStyle(int numbering) {
    switch (numbering) {
        case PFN_ARABIC:
            return QTextListFormat::ListDecimal;
        case PFN_LCLETTER:
            return QTextListFormat::ListLowerAlpha;
        case PFN_UCLETTER:
            return QTextListFormat::ListUpperAlpha;
        case PFN_LCROMAN:
            return QTextListFormat::ListLowerRoman;
        case PFN_UCROMAN:
            return QTextListFormat::ListUpperRoman;
        default:
            return QTextListFormat::ListDisc;
    }
}

ParaFormat2 toRecord(const QTextBlock& block) {
    const QTextBlockFormat f = block.blockFormat();
    ParaFormat2 pf;
    pf.dwMask = kParaMaskAll;
    const int left = pixelsToTwips(f.leftMargin());
    // A numbered paragraph keeps its first-line indent aside, so that the number stays on the page.
    const bool numbered = block.textList() && f.textIndent() == 0 && f.hasProperty(richformat::NumberFirstIndentTwips);
    const int indent = numbered ? f.intProperty(richformat::NumberFirstIndentTwips) : pixelsToTwips(f.textIndent());
    pf.dxStartIndent = left + indent;
    pf.dxOffset = -indent;
    pf.dxRightIndent = pixelsToTwips(f.rightMargin());
    const Qt::Alignment a = f.alignment() & Qt::AlignHorizontal_Mask;
    pf.wAlignment = (a & Qt::AlignRight)     ? PFA_RIGHT
                    : (a & Qt::AlignHCenter) ? PFA_CENTER
                    : (a & Qt::AlignJustify) ? PFA_JUSTIFY
                                             : PFA_LEFT;
    const QList<QTextOption::Tab> tabs = f.tabPositions();
    pf.cTabCount = static_cast<qint16>(std::min<qsizetype>(tabs.size(), MAX_TAB_STOPS));
    for (int i = 0; i < pf.cTabCount; ++i) {
        pf.rgxTabs[i] = pixelsToTwips(tabs.at(i).position);
    }
    pf.dySpaceBefore = pixelsToTwips(f.topMargin());
    pf.dySpaceAfter = pixelsToTwips(f.bottomMargin());
    pf.bLineSpacingRule = static_cast<quint8>(f.intProperty(richformat::LineSpacingRule));
    pf.dyLineSpacing = f.intProperty(richformat::LineSpacingTwips);
    const QTextList* list = block.textList();
    pf.wNumbering = static_cast<quint16>(listNumbering(list));
    if (list != nullptr) {
        const QTextListFormat lf = list->format();
        pf.wNumberingStart = static_cast<qint16>(
            lf.hasProperty(richformat::NumberingStart) ? lf.intProperty(richformat::NumberingStart) : 1);
        pf.wNumberingTab = static_cast<quint16>(lf.intProperty(richformat::NumberingTabTwips));
        pf.wNumberingStyle = static_cast<quint16>(lf.intProperty(NumberingStyle));
    }
    if (f.layoutDirection() == Qt::RightToLeft) {
        pf.wEffects |= 1;  // PFE_RTLPARA
    }
    return pf;
}

void narrowMask(ParaFormat2& a, const ParaFormat2& b) {
    auto differs = [&a](bool d, quint32 bit) {
        if (d) {
            a.dwMask &= ~bit;
        }
    };
    differs(a.dxStartIndent != b.dxStartIndent, PFM_STARTINDENT);
    differs(a.dxOffset != b.dxOffset, PFM_OFFSET);
    differs(a.dxRightIndent != b.dxRightIndent, PFM_RIGHTINDENT);
    differs(a.wAlignment != b.wAlignment, PFM_ALIGNMENT);
    differs(a.cTabCount != b.cTabCount || a.rgxTabs != b.rgxTabs, PFM_TABSTOPS);
    differs(a.dySpaceBefore != b.dySpaceBefore, PFM_SPACEBEFORE);
    differs(a.dySpaceAfter != b.dySpaceAfter, PFM_SPACEAFTER);
    differs(a.bLineSpacingRule != b.bLineSpacingRule || a.dyLineSpacing != b.dyLineSpacing, PFM_LINESPACING);
    differs(a.wNumbering != b.wNumbering, PFM_NUMBERING);
    differs(a.wNumberingStart != b.wNumberingStart, PFM_NUMBERINGSTART);
    differs(a.wNumberingTab != b.wNumberingTab, PFM_NUMBERINGTAB);
    differs(a.wNumberingStyle != b.wNumberingStyle, PFM_NUMBERINGSTYLE);
    differs(a.wEffects != b.wEffects, PFM_RTLPARA);
}

void applyLineSpacing(QTextBlockFormat& f, int rule, int twips) {
    f.setProperty(richformat::LineSpacingRule, rule);
    f.setProperty(richformat::LineSpacingTwips, twips);
    switch (rule) {
        case 1:
            f.setLineHeight(150, QTextBlockFormat::ProportionalHeight);
            break;
        case 2:
            f.setLineHeight(200, QTextBlockFormat::ProportionalHeight);
            break;
        case 3:
            f.setLineHeight(twipsToPixels(twips), QTextBlockFormat::MinimumHeight);
            break;
        case 4:
            f.setLineHeight(twipsToPixels(twips), QTextBlockFormat::FixedHeight);
            break;
        case 5:
            f.setLineHeight(std::max(1, twips) * 100.0 / 20.0, QTextBlockFormat::ProportionalHeight);
            break;
        default:
            f.setLineHeight(100, QTextBlockFormat::SingleHeight);
            break;
    }
}

void applyParaFormat(QTextBlockFormat& f, const ParaFormat2& pf, const ParaFormat2& current) {
    const quint32 m = pf.dwMask;
    int start = current.dxStartIndent;
    int offset = current.dxOffset;
    if (m & PFM_STARTINDENT) {
        start = pf.dxStartIndent;
    } else if (m & PFM_OFFSETINDENT) {
        start += pf.dxStartIndent;
    }
    if (m & PFM_OFFSET) {
        offset = pf.dxOffset;
    }
    if (m & (PFM_STARTINDENT | PFM_OFFSETINDENT | PFM_OFFSET)) {
        f.setLeftMargin(twipsToPixels(start + offset));
        f.setTextIndent(twipsToPixels(-offset));
    }
    if (m & PFM_RIGHTINDENT) {
        f.setRightMargin(twipsToPixels(pf.dxRightIndent));
    }
    if (m & PFM_ALIGNMENT) {
        const Qt::Alignment a = pf.wAlignment == PFA_RIGHT     ? Qt::AlignRight
                                : pf.wAlignment == PFA_CENTER  ? Qt::AlignHCenter
                                : pf.wAlignment == PFA_JUSTIFY ? Qt::AlignJustify
                                                               : Qt::AlignLeft;
        f.setAlignment(a);
    }
    if (m & PFM_TABSTOPS) {
        QList<QTextOption::Tab> tabs;
        const int count = std::clamp<int>(pf.cTabCount, 0, MAX_TAB_STOPS);
        for (int i = 0; i < count; ++i) {
            tabs.append(QTextOption::Tab(twipsToPixels(pf.rgxTabs[i] & 0x00FFFFFF), QTextOption::LeftTab));
        }
        f.setTabPositions(tabs);
    }
    if (m & PFM_SPACEBEFORE) {
        f.setTopMargin(twipsToPixels(pf.dySpaceBefore));
    }
    if (m & PFM_SPACEAFTER) {
        f.setBottomMargin(twipsToPixels(pf.dySpaceAfter));
    }
    if (m & PFM_LINESPACING) {
        applyLineSpacing(f, pf.bLineSpacingRule, pf.dyLineSpacing);
    }
    if (m & PFM_RTLPARA) {
        f.setLayoutDirection((pf.wEffects & 1) ? Qt::RightToLeft : Qt::LeftToRight);
    }
}

void applyNumbering(QTextCursor& cursor, const QTextBlock& block, const ParaFormat2& pf) {
    const quint32 m = pf.dwMask;
    if (!(m & (PFM_NUMBERING | PFM_NUMBERINGSTART | PFM_NUMBERINGTAB | PFM_NUMBERINGSTYLE))) {
        return;
    }
    QTextList* list = block.textList();
    if ((m & PFM_NUMBERING) && pf.wNumbering == 0) {
        if (list != nullptr) {
            list->remove(block);
            QTextBlockFormat bf = block.blockFormat();
            bf.setIndent(0);
            cursor.setBlockFormat(bf);
        }
        return;
    }
    QTextListFormat lf = list != nullptr ? list->format() : QTextListFormat();
    if (list == nullptr && !(m & PFM_NUMBERING)) {
        return;
    }
    // The number sits in the paragraph's own hanging indent, not in an indent level of the list's.
    lf.setIndent(0);
    if (m & PFM_NUMBERING) {
        lf.setStyle(listStyle(pf.wNumbering));
    }
    if (m & PFM_NUMBERINGSTART) {
        lf.setProperty(richformat::NumberingStart, std::max<int>(1, pf.wNumberingStart));
    }
    if (m & PFM_NUMBERINGTAB) {
        lf.setProperty(richformat::NumberingTabTwips, static_cast<int>(pf.wNumberingTab));
    }
    if (m & PFM_NUMBERINGSTYLE) {
        lf.setProperty(NumberingStyle, static_cast<int>(pf.wNumberingStyle));
    }
    if (list != nullptr) {
        list->setFormat(lf);
        return;
    }
    // Neighbouring numbered paragraphs of the same kind continue one list.
    const QTextList* previous = block.previous().isValid() ? block.previous().textList() : nullptr;
    if (previous != nullptr && previous->format().style() == lf.style()) {
        const_cast<QTextList*>(previous)->add(block);
    } else {
        cursor.createList(lf);
    }
}

// A numbered paragraph keeps its first-line indent aside with a text indent of 0, so that Qt draws
// the number in the hanging indent where the first line would start; a paragraph that is no
// longer numbered takes it back.
void placeNumber(QTextCursor& at, const ParaFormat2& pf) {
    const QTextBlock block = at.block();
    QTextBlockFormat f = block.blockFormat();
    const bool indents = pf.dwMask & (PFM_STARTINDENT | PFM_OFFSETINDENT | PFM_OFFSET);
    if (block.textList() != nullptr) {
        if (!indents && f.textIndent() == 0) {
            return;
        }
        const int firstIndent = f.textIndent() != 0 || indents ? pixelsToTwips(f.textIndent())
                                                               : f.intProperty(richformat::NumberFirstIndentTwips);
        f.setProperty(richformat::NumberFirstIndentTwips, firstIndent);
        f.setTextIndent(0);
    } else if (f.hasProperty(richformat::NumberFirstIndentTwips)) {
        if (f.textIndent() == 0) {
            f.setTextIndent(twipsToPixels(f.intProperty(richformat::NumberFirstIndentTwips)));
        }
        f.clearProperty(richformat::NumberFirstIndentTwips);
    } else {
        return;
    }
    at.setBlockFormat(f);
}

template <typename F>
void forEachSelectedBlock(QTextDocument* document, int from, int to, F&& f) {
    QTextBlock block = document->findBlock(from);
    const QTextBlock last = document->findBlock(std::max(from, to));
    while (block.isValid()) {
        f(block);
        if (block == last) {
            break;
        }
        block = block.next();
    }
}

// Whether a record only sets properties to values of its own, whatever the text had: then one
// merge over the range does what applying it to each run's format would.
bool setsOnly(const CharFormat2& cf) {
    const quint32 m = cf.dwMask;
    const quint32 e = cf.dwEffects;
    const bool underlineFromText = (m & CFM_UNDERLINE) && (e & CFE_UNDERLINE) && !(m & CFM_UNDERLINETYPE);
    const bool clears = ((m & CFM_PROTECTED) && !(e & CFE_PROTECTED)) || ((m & CFM_HIDDEN) && !(e & CFE_HIDDEN)) ||
                        ((m & CFM_COLOR) && (e & CFE_AUTOCOLOR)) || ((m & CFM_BACKCOLOR) && (e & CFE_AUTOBACKCOLOR));
    return !underlineFromText && !clears;
}

// Applies the record to the format of each run of the range, working out each distinct format once.
void setEachFormat(const QTextCursor& range, const CharFormat2& format) {
    QTextDocument* document = range.document();
    const int from = range.selectionStart();
    const int to = range.selectionEnd();
    QHash<int, QTextCharFormat> changed;
    QList<std::tuple<int, int, int>> runs;  // start, end, format index
    forEachSelectedBlock(document, from, to, [&](const QTextBlock& block) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const int fStart = std::max(from, fragment.position());
            const int fEnd = std::min(to, fragment.position() + fragment.length());
            if (fStart >= fEnd) {
                continue;
            }
            const int index = fragment.charFormatIndex();
            if (!changed.contains(index)) {
                QTextCharFormat f = fragment.charFormat();
                applyCharFormat(f, format);
                changed.insert(index, f);
            }
            runs.append({fStart, fEnd, index});
        }
    });
    QTextCursor edit(document);
    edit.beginEditBlock();
    for (const auto& [start, end, index] : runs) {
        edit.setPosition(start);
        edit.setPosition(end, QTextCursor::KeepAnchor);
        edit.setCharFormat(changed.value(index));
    }
    edit.endEditBlock();
}

}  // namespace

CharFormat2 RichEditModel::charFormat(int target) const {
    const QFont defaultFont = document_->defaultFont();
    const QTextCharFormat defaults = richformat::defaultCharFormat(*document_);
    if (target == SCF_DEFAULT) {
        return toRecord(defaults, defaultFont);
    }
    const QTextCursor c = textCursor();
    if (!c.hasSelection()) {
        return toRecord(richformat::withDefaults(defaults, c.charFormat()), defaultFont);
    }
    // Reading every property of a large selection one after another scans it only once.
    const CharFormatCache& cache = charFormatCache_;
    if (cache.revision == revision_ && cache.start == c.selectionStart() && cache.end == c.selectionEnd()) {
        return cache.format;
    }
    QTextCursor probe(document_);
    probe.setPosition(c.selectionStart() + 1);
    CharFormat2 result = toRecord(richformat::withDefaults(defaults, probe.charFormat()), defaultFont);
    int lastFormat = -1;
    forEachSelectedBlock(document_, c.selectionStart(), c.selectionEnd(), [&](const QTextBlock& block) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.position() + fragment.length() <= c.selectionStart() ||
                fragment.position() >= c.selectionEnd()) {
                continue;
            }
            // Runs of one format in a row need reading once.
            if (fragment.charFormatIndex() == lastFormat) {
                continue;
            }
            lastFormat = fragment.charFormatIndex();
            narrowMask(result, toRecord(richformat::withDefaults(defaults, fragment.charFormat()), defaultFont));
        }
    });
    charFormatCache_ = {c.selectionStart(), c.selectionEnd(), revision_, result};
    return result;
}

// The whole default format is kept: the font in the document's default font, the rest beside it.
// Text typed at the caret from now on takes the change as well.
void RichEditModel::setDefaultFormat(const CharFormat2& format) {
    QTextCharFormat f = richformat::defaultCharFormat(*document_);
    f.setFont(document_->defaultFont());
    applyCharFormat(f, format);
    document_->setDefaultFont(f.font());
    richformat::setDefaultCharFormat(*document_, f);
    ++revision_;  // text without a format of its own reads differently now
    QTextCursor c = textCursor();
    if (!c.hasSelection() && !plainText_) {
        QTextCharFormat typing = c.charFormat();
        applyCharFormat(typing, format);
        c.setCharFormat(typing);
        setTextCursor(c);
    }
    defaultFormatChanged();
}

bool RichEditModel::setCharFormat(int target, const CharFormat2& format) {
    QTextCursor c = textCursor();
    if (target == SCF_DEFAULT) {
        setDefaultFormat(format);
        return true;
    }
    if ((target & SCF_WORD) && !c.hasSelection()) {
        c.select(QTextCursor::WordUnderCursor);
    }
    if (plainText_) {
        c.select(QTextCursor::Document);
    }
    // Changing only the protection itself is always allowed; other changes ask.
    if ((format.dwMask & ~CFM_PROTECTED) != 0 &&
        !const_cast<RichEditModel*>(this)->allowEdit(EditMessage::SetCharFormat, c.selectionStart(), c.selectionEnd(),
                                                     static_cast<quintptr>(target))) {
        return false;
    }
    if (!c.hasSelection()) {
        QTextCharFormat f = c.charFormat();
        applyCharFormat(f, format);
        c.setCharFormat(f);
        setTextCursor(c);
        return true;
    }
    const int from = c.selectionStart();
    const int to = c.selectionEnd();
    const bool large = to - from >= kLargeChange;
    batch([&] {
        if (large) {
            beginLargeChange();
        }
        QTextCursor range(document_);
        range.setPosition(from);
        range.setPosition(to, QTextCursor::KeepAnchor);
        if (setsOnly(format)) {
            QTextCharFormat change;
            applyCharFormat(change, format);
            range.mergeCharFormat(change);
        } else {
            setEachFormat(range, format);
        }
        if (large) {
            endLargeChange();
            largeChangeMade();
        }
    });
    return true;
}

ParaFormat2 RichEditModel::paraFormat() const {
    const QTextCursor c = textCursor();
    ParaFormat2 result = toRecord(document_->findBlock(c.selectionStart()));
    forEachSelectedBlock(document_, c.selectionStart(), c.selectionEnd(),
                         [&](const QTextBlock& block) { narrowMask(result, toRecord(block)); });
    return result;
}

bool RichEditModel::setParaFormat(const ParaFormat2& format) {
    const QTextCursor c = textCursor();
    const int from = c.selectionStart();
    const int to = c.selectionEnd();
    const QTextBlock first = document_->findBlock(from);
    const QTextBlock last = document_->findBlock(to);
    if (!allowEdit(EditMessage::SetParaFormat, first.position(), last.position() + last.length() - 1)) {
        return false;
    }
    batch([&] {
        QTextCursor edit(document_);
        edit.beginEditBlock();
        forEachSelectedBlock(document_, from, to, [&](const QTextBlock& block) {
            QTextCursor at(block);
            QTextBlockFormat f = block.blockFormat();
            applyParaFormat(f, format, toRecord(block));
            at.setBlockFormat(f);
            applyNumbering(at, block, format);
            placeNumber(at, format);
        });
        edit.endEditBlock();
    });
    return true;
}

}  // namespace tk::richedit
