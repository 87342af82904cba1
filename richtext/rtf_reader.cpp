#include "richtext/rtf_reader.h"

#include "platform/codepage.h"
#include "richtext/rich_format.h"
#include "richtext/rtf_reader_p.h"
#include "richtext/symbol_fonts.h"

#include <QTextCursor>
#include <QTextDocument>

#include <cstring>
#include <string_view>

namespace tk::rtf {

namespace {

// Twips limit for indents and spacing: 22 inches.
constexpr int kMaxTwips = 31680;

int clampTwips(int twips) {
    return std::clamp(twips, -kMaxTwips, kMaxTwips);
}

double twipsPx(int twips) {
    return richformat::twipsToPixels(clampTwips(twips));
}

// Marks the version of a group's East Asian variant of its character format.
constexpr quint64 kEastAsianVersion = quint64(1) << 63;
// Marks the version of a group's format for the glyph codes of its symbol font.
constexpr quint64 kGlyphVersion = quint64(1) << 62;

// A symbol font's glyph code that has no Unicode character (U+F0xx).
bool isGlyphCode(QChar c) {
    return (c.unicode() & 0xFF00) == 0xF000;
}

bool hasEastAsian(QStringView text) {
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= 0x1100 && u < 0x1200) || (u >= 0x2E80 && u < 0xA000) || (u >= 0xA960 && u < 0xA980) ||
            (u >= 0xAC00 && u < 0xD800) || (u >= 0xF900 && u < 0xFB00) || (u >= 0xFF00 && u < 0xFFF0)) {
            return true;
        }
    }
    return false;
}

// Spaces and punctuation belong to no script: they take the script of the text they stand in.
bool isScriptNeutral(QStringView text) {
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (!(u == u' ' || u == u'\t' || (u >= u'!' && u <= u'/') || (u >= u':' && u <= u'@') ||
              (u >= u'[' && u <= u'`') || (u >= u'{' && u <= u'~'))) {
            return false;
        }
    }
    return true;
}

}  // namespace

RtfReader::RtfReader(const RtfTokenizer& tokenizer, QTextCursor& cursor, qint64 memoryBudget)
    : tokenizer_(tokenizer), builder_(cursor, memoryBudget) {
    stack_.reserve(64);
    GroupState root;
    root.charset = ansiCodePage_;
    root.chr.setFontPointSize(12);
    stack_.push_back(root);
}

RtfError RtfReader::groupStart() {
    flushBytes();
    skip_ = 0;
    if (top().dest == Dest::Skip) {
        // Nothing inside a skipped group is read: its groups are only counted.
        ++skippedGroups_;
        return RtfError::None;
    }
    // The stack's memory (its capacity doubles) is taken from the budget once per new depth.
    static_assert(2 * sizeof(GroupState) <= kGroupMemory);
    if (stack_.size() > deepest_) {
        if (!builder_.spendMemory(kGroupMemory)) {
            return RtfError::None;  // the builder is out of memory: reading stops here
        }
        deepest_ = stack_.size();
    }
    stack_.push_back(stack_.back());
    GroupState& state = stack_.back();
    state.ignorable = false;
    state.groupOffset = tokenizer_.position() - 1;
    return RtfError::None;
}

RtfError RtfReader::groupEnd() {
    flushBytes();
    skip_ = 0;
    if (skippedGroups_ > 0) {
        --skippedGroups_;
        return RtfError::None;
    }
    if (stack_.size() <= 1) {
        return RtfError::Unbalanced;
    }
    GroupState closing = std::move(stack_.back());
    stack_.pop_back();
    endGroup(closing, stack_.back());
    if (stack_.size() == 1) {
        // The document's own group closed: its last paragraph's properties are the final ones.
        stack_.back().para = closing.para;
        finished_ = true;
    }
    return RtfError::None;
}

void RtfReader::flushBytes() {
    if (bytes_.isEmpty()) {
        return;
    }
    const char* charset = bytesCharset_ ? bytesCharset_ : ansiCodePage_;
    if (const symbolfont::Font symbol = symbolfont::fontOfCharset(charset); symbol != symbolfont::Font::None) {
        flushSymbolBytes(symbol);
        return;
    }
    const QString text = codepage::decode(charset, bytes_);
    bytes_.clear();
    deliver(text);
}

// Bytes in a symbol font are glyph codes; only the document's text reads them as characters, other
// destinations (field instructions, font and list texts) keep the bytes as letters.
void RtfReader::flushSymbolBytes(symbolfont::Font font) {
    if (top().dest != Dest::Normal) {
        const QString text = codepage::decode("CP1252", bytes_);
        bytes_.clear();
        deliver(text);
        return;
    }
    const QString text = symbolfont::decode(font, bytes_);
    bytes_.clear();
    symbolfont::mapped(font) ? deliverSymbolText(text) : deliver(text);
}

void RtfReader::deliver(QStringView text) {
    GroupState& state = top();
    switch (state.dest) {
        case Dest::Normal: {
            if (markPending_ || nestedTabPending_) [[unlikely]] {
                flushMark();
                flushNestedTab();
            }
            const quint64 version = state.chrVersion | kEastAsianVersion;
            // A space or a full stop inside Korean text stays with the Korean run, as word
            // processors lay such weak characters out; each change of run costs the document an insert.
            const bool continuesEastAsian = lastVersion_ == version && isScriptNeutral(text);
            if (state.eastAsian.any() &&
                (state.assoc == AssocScript::EastAsian || continuesEastAsian || hasEastAsian(text))) {
                // Korean arrives a character at a time (\uN): build its format once per format state.
                if (version != eastAsianVersion_) {
                    eastAsianFormat_ = eastAsianFormat(state);
                    eastAsianVersion_ = version;
                }
                builder_.text(text, eastAsianFormat_, version, state.para);
                lastVersion_ = version;
            } else {
                builder_.text(text, state.chr, state.chrVersion, state.para);
                lastVersion_ = state.chrVersion;
            }
            *fieldShown_ = true;
            break;
        }
        case Dest::FontTable:
            if (tableFont_ >= 0) {
                FontEntry& font = fonts_[tableFont_];
                if (!font.nameDone && font.name.size() < 256) {
                    font.name.append(text);
                }
            }
            break;
        case Dest::FieldInst:
            if (!fields_.empty() && fields_.back().instruction.size() < 4096) {
                fields_.back().instruction.append(text);
            }
            break;
        case Dest::ObjClass:
            if (object_.className.size() < 256) {
                object_.className.append(text);
            }
            break;
        case Dest::LevelText:
            if (levelText_.size() < 256) {
                levelText_.append(text);
            }
            break;
        case Dest::Note:
            noteText(text, state.eastAsian.any() && (state.assoc == AssocScript::EastAsian || hasEastAsian(text))
                               ? eastAsianFormat(state)
                               : state.chr);
            break;
        case Dest::PnText:
            pnText_.append(text.left(64 - std::min<qsizetype>(64, pnText_.size())));
            break;
        case Dest::PnTxtA:
            state.para.pn.suffix.append(text.left(32 - std::min<qsizetype>(32, state.para.pn.suffix.size())));
            break;
        case Dest::PnTxtB:
            state.para.pn.prefix.append(text.left(32 - std::min<qsizetype>(32, state.para.pn.prefix.size())));
            break;
        default:
            break;
    }
}

void RtfReader::deliverChar(char16_t c) {
    flushBytes();
    const QChar ch(c);
    deliver(QStringView(&ch, 1));
}

void RtfReader::deliverSymbolCharacter(char32_t c) {
    flushBytes();
    QString text;
    symbolfont::appendCharacter(&text, c);
    deliverSymbolText(text);
}

// Text read from a mapped symbol font: its characters take the group's format, which has no
// family; the glyph codes left without a character keep the symbol font, the only one that draws
// them, so that they survive being written and read again.
void RtfReader::deliverSymbolText(QStringView text) {
    const GroupState& state = top();
    if (state.dest != Dest::Normal) {
        deliver(text);
        return;
    }
    qsizetype from = 0;
    while (from < text.size()) {
        const bool glyph = isGlyphCode(text[from]);
        qsizetype end = from + 1;
        while (end < text.size() && isGlyphCode(text[end]) == glyph) {
            ++end;
        }
        if (!glyph) {
            deliver(text.sliced(from, end - from));
        } else {
            const quint64 version = state.chrVersion | kGlyphVersion;
            if (version != glyphVersion_) {
                glyphFormat_ = state.chr;
                const FontEntry font = fonts_.value(state.font);
                glyphFormat_.setFontFamilies(QStringList{font.name});
                glyphFormat_.setProperty(richformat::FontCharset, 2);
                glyphFormat_.setProperty(richformat::FontPitchFamily, font.pitchFamily);
                glyphVersion_ = version;
            }
            builder_.text(text.sliced(from, end - from), glyphFormat_, version, state.para);
            lastVersion_ = version;
            *fieldShown_ = true;
        }
        from = end;
    }
}

RtfError RtfReader::text(QByteArrayView bytes) {
    if (skip_ > 0) {
        const qsizetype skipped = std::min<qsizetype>(skip_, bytes.size());
        skip_ -= skipped;
        bytes = bytes.sliced(skipped);
        if (bytes.isEmpty()) {
            return RtfError::None;
        }
    }
    GroupState& state = top();
    switch (state.dest) {
        case Dest::Skip:
        case Dest::Upr:
        case Dest::Object:
        case Dest::ObjResult:
        case Dest::TkObject:
        case Dest::ListTable:
        case Dest::List:
        case Dest::ListLevel:
        case Dest::ListOverrideTable:
        case Dest::ListOverride:
        case Dest::Pn:
        case Dest::NestTableProps:
            return RtfError::None;
        case Dest::Pict:
            pictureHex_.add(bytes, &picture_.data);
            return RtfError::None;
        case Dest::ObjData:
            objectHex_.add(bytes, &object_.data);
            return RtfError::None;
        case Dest::ColorTable:
            colorTableText(bytes);
            return RtfError::None;
        case Dest::FontTable:
            fontTableText(bytes, state);
            return RtfError::None;
        default:
            break;
    }
    if (bytesCharset_ != state.charset) {
        flushBytes();
        bytesCharset_ = state.charset;
    }
    // The text's memory is taken before it is copied: a document of one huge text must stop here.
    if (builder_.reserveText(bytes.size())) {
        bytes_.append(bytes);
    }
    return RtfError::None;
}

qsizetype RtfReader::hexDigits(QByteArrayView rest) {
    return top().dest == Dest::Pict ? pictureHex_.addRun(rest, &picture_.data) : objectHex_.addRun(rest, &object_.data);
}

RtfError RtfReader::hexByte(unsigned char byte) {
    if (skip_ > 0) {
        --skip_;
        return RtfError::None;
    }
    const char c = char(byte);
    GroupState& state = top();
    if (state.dest == Dest::Pict || state.dest == Dest::ObjData) {
        // Data written as escapes instead of hex digits.
        (state.dest == Dest::Pict ? picture_.data : object_.data).append(c);
        return RtfError::None;
    }
    return text(QByteArrayView(&c, 1));
}

RtfError RtfReader::binary(QByteArrayView bytes) {
    flushBytes();
    if (skip_ > 0) {
        --skip_;  // binary data after \u counts as one of the characters skipped
        return RtfError::None;
    }
    if (top().dest == Dest::Pict) {
        picture_.data.append(bytes);
    } else if (top().dest == Dest::ObjData) {
        object_.data.append(bytes);
    }
    return RtfError::None;
}

RtfError RtfReader::controlSymbol(char symbol) {
    flushBytes();
    GroupState& state = top();
    if (symbol == '*') {
        state.ignorable = true;
        return RtfError::None;
    }
    if (skip_ > 0) {
        --skip_;
        return RtfError::None;
    }
    switch (symbol) {
        case '~':
            deliverChar(0x00A0);
            break;
        case '-':
            deliverChar(0x00AD);
            break;
        case '_':
            deliverChar(0x2011);
            break;
        default:
            break;
    }
    return RtfError::None;
}

RtfError RtfReader::controlWord(std::string_view word, bool hasParameter, int parameter) {
    flushBytes();
    if (skip_ > 0) {
        --skip_;
        return RtfError::None;
    }
    GroupState& state = top();
    if (state.dest == Dest::Skip) {
        return RtfError::None;
    }
    const Kw kw = lookupKeyword(word);
    const bool ignorable = state.ignorable;
    state.ignorable = false;
    if (state.dest == Dest::Upr) {
        if (kw == Kw::Ud) {
            state.dest = Dest::Normal;
        }
        return RtfError::None;
    }
    if (kw == Kw::Unknown) {
        if (ignorable) {
            state.dest = Dest::Skip;
        }
        return RtfError::None;
    }
    if (destinationWord(kw, state)) {
        return RtfError::None;
    }
    switch (state.dest) {
        case Dest::Normal:
            if (kw == Kw::Chftn) {
                markWord(state);
                return RtfError::None;
            }
            break;
        case Dest::Note:
            if (noteWord(kw, state)) {
                return RtfError::None;
            }
            break;
        case Dest::NestTableProps:
            // Only the row's end counts: the inner row's definition is not the outer table's.
            if (kw == Kw::NestRow) {
                nestedRow(state);
            }
            return RtfError::None;
        case Dest::FontTable:
            fontTableWord(kw, parameter, state);
            return RtfError::None;
        case Dest::ColorTable:
            if (kw == Kw::Red || kw == Kw::Green || kw == Kw::Blue) {
                const int value = std::clamp(parameter, 0, 255);
                (kw == Kw::Red ? red_ : kw == Kw::Green ? green_ : blue_) = value;
                colorSet_ = true;
            }
            return RtfError::None;
        case Dest::Pict:
            pictureWord(kw, word, hasParameter, parameter);
            return RtfError::None;
        case Dest::ListTable:
        case Dest::List:
        case Dest::ListLevel:
        case Dest::ListOverrideTable:
        case Dest::ListOverride:
            listWord(kw, parameter, state);
            return RtfError::None;
        case Dest::Object:
            if (kw == Kw::ObjW || kw == Kw::ObjH) {
                (kw == Kw::ObjW ? object_.width : object_.height) = std::clamp(parameter, 0, kMaxPictureTwips);
            }
            return RtfError::None;
        case Dest::TkObject:
            if (kw == Kw::TkResultData) {
                object_.tailBytes = std::max(parameter, 0);
            }
            return RtfError::None;
        default:
            break;
    }
    if (characterWord(kw, hasParameter, parameter, state) || associatedWord(kw, hasParameter, parameter, state) ||
        paragraphWord(kw, hasParameter, parameter, state) || specialWord(kw, parameter, state) ||
        tableWord(kw, parameter, state)) {
        return RtfError::None;
    }
    documentWord(kw, parameter, state);
    return RtfError::None;
}

void RtfReader::documentWord(Kw kw, int param, GroupState& state) {
    switch (kw) {
        case Kw::Ansi:
        case Kw::Mac:
        case Kw::Pc:
        case Kw::Pca:
            // \ansi alone names no code page: the program's own one is taken.
            ansiCodePage_ = kw == Kw::Mac ? "MACINTOSH" : kw == Kw::Pc ? "CP437" : kw == Kw::Pca ? "CP850" : "CP949";
            state.charset = ansiCodePage_;
            break;
        case Kw::AnsiCpg:
            ansiCodePage_ = codePageName(param);
            state.charset = ansiCodePage_;
            break;
        case Kw::Deff:
            defaultFont_ = param;
            break;
        case Kw::Uc:
            state.uc = std::max(param, 0);
            break;
        case Kw::U: {
            const int value = param < 0 ? param + 65536 : param;
            const char16_t c = value >= 0 && value <= 0xFFFF ? char16_t(value) : char16_t(0xFFFD);
            // A symbol font's glyph codes written as U+F0xx read as the characters they show.
            const symbolfont::Font symbol = symbolfont::fontOfCharset(state.charset);
            if (symbolfont::mapped(symbol) && state.dest == Dest::Normal) {
                deliverSymbolCharacter(symbolfont::unicodeCharacter(symbol, c));
            } else {
                deliverChar(c);
            }
            skip_ = state.uc;
            break;
        }
        default:
            if (noteNumberingWord(kw)) {
                break;
            }
            if (state.dest == Dest::Pn || state.dest == Dest::Normal) {
                pnWord(kw, param, state);
            }
            break;
    }
}

bool RtfReader::characterWord(Kw kw, bool has, int param, GroupState& state) {
    const bool on = !has || param != 0;
    QTextCharFormat& chr = state.chr;
    switch (kw) {
        case Kw::Plain:
            applyPlain(state);
            return true;
        case Kw::F:
            applyFont(state, param);
            return true;
        case Kw::Fs:
            chr.setFontPointSize(has && param > 0 ? std::clamp(param, 2, 3276) / 2.0 : 12.0);
            break;
        case Kw::B:
            chr.setFontWeight(on ? QFont::Bold : QFont::Normal);
            break;
        case Kw::I:
            chr.setFontItalic(on);
            break;
        case Kw::Strike:
        case Kw::StrikeD:
            chr.setFontStrikeOut(on);
            break;
        case Kw::Caps:
        case Kw::SCaps:
            chr.setFontCapitalization(!on ? QFont::MixedCase : kw == Kw::Caps ? QFont::AllUppercase : QFont::SmallCaps);
            break;
        case Kw::Ul:
            setUnderline(state, on ? int(richformat::UnderlineType::Single) : 0);
            return true;
        case Kw::UlNone:
        case Kw::UlW:
        case Kw::UlD:
        case Kw::UlDash:
        case Kw::UlDashD:
        case Kw::UlDashDD:
        case Kw::UlDb:
        case Kw::UlWave:
        case Kw::UlTh:
        case Kw::UlHair: {
            using K = richformat::UnderlineType;
            static const std::pair<Kw, K> kinds[] = {
                {Kw::UlNone, K::None},     {Kw::UlW, K::Words},           {Kw::UlD, K::Dotted},  {Kw::UlDash, K::Dash},
                {Kw::UlDashD, K::DashDot}, {Kw::UlDashDD, K::DashDotDot}, {Kw::UlDb, K::Double}, {Kw::UlWave, K::Wave},
                {Kw::UlTh, K::Thick},      {Kw::UlHair, K::Hairline}};
            K kind = K::None;
            for (const auto& [word, k] : kinds) {
                if (word == kw) {
                    kind = k;
                }
            }
            setUnderline(state, on ? int(kind) : 0);
            return true;
        }
        case Kw::Sub:
            chr.setVerticalAlignment(on ? QTextCharFormat::AlignSubScript : QTextCharFormat::AlignNormal);
            break;
        case Kw::Super:
            chr.setVerticalAlignment(on ? QTextCharFormat::AlignSuperScript : QTextCharFormat::AlignNormal);
            break;
        case Kw::NoSuperSub:
            chr.setVerticalAlignment(QTextCharFormat::AlignNormal);
            break;
        case Kw::Up:
            chr.setVerticalAlignment(param > 0 ? QTextCharFormat::AlignSuperScript : QTextCharFormat::AlignNormal);
            break;
        case Kw::Dn:
            chr.setVerticalAlignment(param > 0 ? QTextCharFormat::AlignSubScript : QTextCharFormat::AlignNormal);
            break;
        case Kw::V:
            on ? chr.setProperty(richformat::Hidden, true) : chr.clearProperty(richformat::Hidden);
            break;
        case Kw::Protect:
            on ? chr.setProperty(richformat::Protected, true) : chr.clearProperty(richformat::Protected);
            break;
        case Kw::Cf: {
            const QColor color = colorAt(param);
            color.isValid() ? chr.setForeground(color) : chr.clearForeground();
            break;
        }
        case Kw::Cb:
        case Kw::Highlight:
        case Kw::ChCbPat: {
            const QColor color = colorAt(param);
            color.isValid() ? chr.setBackground(color) : chr.clearBackground();
            break;
        }
        default:
            return false;
    }
    touchFormat(state);
    return true;
}

bool RtfReader::associatedWord(Kw kw, bool has, int param, GroupState& state) {
    EastAsianFormat& ea = state.eastAsian;
    const bool eastAsian = state.assoc == AssocScript::EastAsian;
    switch (kw) {
        case Kw::Loch:
        case Kw::Hich:
        case Kw::Ltrch:
            state.assoc = AssocScript::Latin;
            state.charset = fontCodePage(state.font);
            return true;
        case Kw::Rtlch:
            state.assoc = AssocScript::RightToLeft;
            return true;
        case Kw::Dbch:
            state.assoc = AssocScript::EastAsian;
            if (ea.font >= 0) {
                state.charset = fontCodePage(ea.font);  // double-byte text is in the associated font
            }
            return true;
        case Kw::Af:
            if (eastAsian) {
                ea.font = fonts_.contains(param) ? param : -1;
                if (ea.font >= 0) {
                    state.charset = fontCodePage(ea.font);
                }
            }
            break;
        case Kw::Afs:
            if (eastAsian) {
                ea.halfPoints = has && param > 0 ? std::clamp(param, 2, 3276) : 0;
            }
            break;
        case Kw::Ab:
        case Kw::Ai:
            if (eastAsian) {
                (kw == Kw::Ab ? ea.bold : ea.italic) = (!has || param != 0) ? 1 : 0;
            }
            break;
        default:
            return false;
    }
    if (eastAsian) {
        touchFormat(state);
    }
    return true;
}

QTextCharFormat RtfReader::eastAsianFormat(const GroupState& state) const {
    QTextCharFormat format = state.chr;
    const EastAsianFormat& ea = state.eastAsian;
    if (ea.font >= 0) {
        const FontEntry font = fonts_.value(ea.font);
        format.setFontFamilies(QStringList{font.name});
        format.setProperty(richformat::FontCharset, font.charset < 0 ? 1 : font.charset);
    }
    if (ea.halfPoints > 0) {
        format.setFontPointSize(ea.halfPoints / 2.0);
    }
    if (ea.bold >= 0) {
        format.setFontWeight(ea.bold ? QFont::Bold : QFont::Normal);
    }
    if (ea.italic >= 0) {
        format.setFontItalic(ea.italic != 0);
    }
    return format;
}

void RtfReader::setUnderline(GroupState& state, int kind) {
    using K = richformat::UnderlineType;
    QTextCharFormat::UnderlineStyle style = QTextCharFormat::SingleUnderline;
    switch (K(kind)) {
        case K::None:
            style = QTextCharFormat::NoUnderline;
            break;
        case K::Dotted:
            style = QTextCharFormat::DotLine;
            break;
        case K::Dash:
            style = QTextCharFormat::DashUnderline;
            break;
        case K::DashDot:
            style = QTextCharFormat::DashDotLine;
            break;
        case K::DashDotDot:
            style = QTextCharFormat::DashDotDotLine;
            break;
        case K::Wave:
            style = QTextCharFormat::WaveUnderline;
            break;
        default:
            break;
    }
    state.chr.setUnderlineStyle(style);
    if (kind == 0) {
        state.chr.clearProperty(richformat::UnderlineKind);
    } else {
        state.chr.setProperty(richformat::UnderlineKind, kind);
    }
    touchFormat(state);
}

QColor RtfReader::colorAt(int index) const {
    return index >= 0 && index < colors_.size() ? colors_[index] : QColor();
}

void RtfReader::applyPlain(GroupState& state) {
    state.chr = QTextCharFormat();
    state.eastAsian = EastAsianFormat();
    state.chr.setFontPointSize(12);
    applyFont(state, defaultFont_);
}

void RtfReader::applyFont(GroupState& state, int number) {
    auto it = fonts_.constFind(number);
    if (it == fonts_.constEnd()) {
        it = fonts_.constFind(defaultFont_);  // an unknown font falls back to the default one
    }
    state.font = it == fonts_.constEnd() ? -1 : it.key();
    if (it == fonts_.constEnd()) {
        state.chr.clearProperty(QTextFormat::FontFamilies);
        state.chr.clearProperty(richformat::FontCharset);
        state.chr.clearProperty(richformat::FontPitchFamily);
        state.charset = ansiCodePage_;
    } else {
        const FontEntry& font = it.value();
        state.chr.setFontFamilies(QStringList{font.name});
        state.chr.setProperty(richformat::FontCharset, font.charset < 0 ? 1 : font.charset);
        state.chr.setProperty(richformat::FontPitchFamily, font.pitchFamily);
        state.charset = fontCodePage(it.key());
        if (symbolfont::mapped(symbolfont::fontOfCharset(state.charset))) {
            dropSymbolFamily(state.chr);
        }
    }
    touchFormat(state);
}

const char* RtfReader::fontCodePage(int number) {
    const auto it = fonts_.constFind(number);
    if (it == fonts_.constEnd()) {
        return ansiCodePage_;
    }
    if (it->symbol < 0) {
        it->symbol = static_cast<signed char>(symbolfont::fontOf(it->name, it->charset));
    }
    if (it->symbol != static_cast<signed char>(symbolfont::Font::None)) {
        return symbolfont::charsetMarker(symbolfont::Font(it->symbol));
    }
    return it->codePage > 0 ? codePageName(it->codePage) : charsetCodePage(it->charset);
}

bool RtfReader::paragraphWord(Kw kw, bool has, int param, GroupState& state) {
    ParaState& para = state.para;
    QTextBlockFormat& block = para.block;
    switch (kw) {
        case Kw::Pard:
            para = ParaState();
            return true;
        case Kw::PageBb:
            block.setPageBreakPolicy(!has || param != 0 ? QTextFormat::PageBreak_AlwaysBefore
                                                        : QTextFormat::PageBreak_Auto);
            return true;
        case Kw::RtlPar:
            block.setLayoutDirection(Qt::RightToLeft);
            return true;
        case Kw::LtrPar:
            block.clearProperty(QTextFormat::LayoutDirection);
            return true;
        case Kw::Ql:
            block.setAlignment(Qt::AlignLeft);
            return true;
        case Kw::Qr:
            block.setAlignment(Qt::AlignRight);
            return true;
        case Kw::Qc:
            block.setAlignment(Qt::AlignHCenter);
            return true;
        case Kw::Qj:
            block.setAlignment(Qt::AlignJustify);
            return true;
        case Kw::Fi:
            block.setTextIndent(twipsPx(param));
            return true;
        case Kw::Li:
        case Kw::Lin:
            block.setLeftMargin(twipsPx(param));
            return true;
        case Kw::Ri:
        case Kw::Rin:
            block.setRightMargin(twipsPx(param));
            return true;
        case Kw::Sb:
            block.setTopMargin(twipsPx(std::max(param, 0)));
            return true;
        case Kw::Sa:
            block.setBottomMargin(twipsPx(std::max(param, 0)));
            return true;
        case Kw::Sl:
            para.sl = clampTwips(param);
            applyLineSpacing(para);
            return true;
        case Kw::SlMult:
            para.slMult = !has || param != 0;
            applyLineSpacing(para);
            return true;
        case Kw::Tqr:
            para.tabType = QTextOption::RightTab;
            return true;
        case Kw::Tqc:
            para.tabType = QTextOption::CenterTab;
            return true;
        case Kw::Tqdec:
            para.tabType = QTextOption::DelimiterTab;
            return true;
        case Kw::Tx:
        case Kw::Tb:
            if (para.tabs.size() < 64) {
                para.tabs.append(QTextOption::Tab(twipsPx(std::max(param, 0)), para.tabType,
                                                  para.tabType == QTextOption::DelimiterTab ? QChar('.') : QChar()));
            }
            para.tabType = QTextOption::LeftTab;
            return true;
        case Kw::InTbl:
            para.inTable = !has || param != 0;
            return true;
        case Kw::Itap:
            // A nesting level is a table's paragraph even without \intbl; a level past any real
            // nesting is still a nested one.
            para.itap = std::clamp(param, 0, 64);
            para.inTable = para.inTable || para.itap > 0;
            return true;
        case Kw::Ls:
            if (state.dest == Dest::Normal) {
                para.ls = param;
            }
            return state.dest == Dest::Normal;
        case Kw::Ilvl:
            para.ilvl = std::clamp(param, 0, 8);
            return true;
        default:
            return false;
    }
}

// \sl and \slmult as the rich edit window keeps line spacing: a rule (0 single, 1 one and a half,
// 2 double, 3 at least, 4 exactly, 5 multiple) and its value (twips for 3 and 4, twentieths of a
// line for 5), with the matching Qt line height.
void RtfReader::applyLineSpacing(ParaState& para) {
    QTextBlockFormat& block = para.block;
    int rule = 0;
    int value = 0;
    if (para.slMult && para.sl > 0) {
        rule = para.sl == 240 ? 0 : para.sl == 360 ? 1 : para.sl == 480 ? 2 : 5;
        value = rule == 5 ? std::max(1, para.sl / 12) : 0;
    } else if (para.sl > 0) {
        rule = 3;
        value = para.sl;
    } else if (para.sl < 0) {
        rule = 4;
        value = -para.sl;
    }
    if (rule == 0) {
        block.clearProperty(QTextFormat::LineHeight);
        block.clearProperty(QTextFormat::LineHeightType);
        block.clearProperty(richformat::LineSpacingRule);
        block.clearProperty(richformat::LineSpacingTwips);
        return;
    }
    block.setProperty(richformat::LineSpacingRule, rule);
    block.setProperty(richformat::LineSpacingTwips, value);
    if (rule == 3 || rule == 4) {
        block.setLineHeight(richformat::twipsToPixels(value),
                            rule == 3 ? QTextBlockFormat::MinimumHeight : QTextBlockFormat::FixedHeight);
    } else {
        block.setLineHeight(rule == 1 ? 150.0 : rule == 2 ? 200.0 : value * 5.0, QTextBlockFormat::ProportionalHeight);
    }
}

bool RtfReader::specialWord(Kw kw, int param, GroupState& state) {
    static const std::pair<Kw, char16_t> characters[] = {
        {Kw::Tab, u'\t'},        {Kw::Line, 0x2028},    {Kw::EmDash, 0x2014},  {Kw::EnDash, 0x2013},
        {Kw::Bullet, 0x2022},    {Kw::LQuote, 0x2018},  {Kw::RQuote, 0x2019},  {Kw::LDblQuote, 0x201C},
        {Kw::RDblQuote, 0x201D}, {Kw::EmSpace, 0x2003}, {Kw::EnSpace, 0x2002}, {Kw::QmSpace, 0x2005},
        {Kw::Zwj, 0x200D},       {Kw::Zwnj, 0x200C},    {Kw::LtrMark, 0x200E}, {Kw::RtlMark, 0x200F}};
    for (const auto& [word, c] : characters) {
        if (word == kw) {
            deliverChar(c);
            return true;
        }
    }
    if (kw == Kw::Par || kw == Kw::Page || kw == Kw::Sect) {
        if (state.dest == Dest::Normal) {
            flushMark();
            nestedTabPending_ = false;
            builder_.paragraph(state.para, numberingFor(state.para), state.chr);
            pnText_.clear();
            if (kw == Kw::Page) {
                builder_.pageBreakBeforeNext();
            }
        }
        return true;
    }
    return false;
}

bool RtfReader::tableWord(Kw kw, int param, GroupState& state) {
    RowDefinition& row = builder_.rowDefinition();
    switch (kw) {
        case Kw::Trowd:
            row = RowDefinition();
            return true;
        case Kw::TrLeft:
            row.left = clampTwips(param);
            return true;
        case Kw::Cellx:
            if (row.cellRight.size() < 64) {
                row.cellRight.append(clampTwips(param));
                row.cellBackground.append(row.pendingBackground);
                row.cellMerge.append(row.pendingMerge);
            }
            row.pendingBackground = QColor();
            row.pendingMerge = CellMerge::None;
            return true;
        case Kw::ClVmgf:
            row.pendingMerge = CellMerge::First;
            return true;
        case Kw::ClVmrg:
            row.pendingMerge = CellMerge::Continue;
            return true;
        case Kw::ClCbPat:
            row.pendingBackground = colorAt(param);
            return true;
        case Kw::BorderWord:
            row.borders = true;
            return true;
        case Kw::NestCell:
            nestedCell(state);
            return true;
        case Kw::NestRow:
            nestedRow(state);
            return true;
        case Kw::Cell:
            if (state.para.itap > 1) {
                // A nested table's cell ended with the outer table's word; right after \nestcell it
                // ends the same cell again.
                if (!nestedTabPending_) {
                    nestedCell(state);
                }
            } else if (state.dest == Dest::Normal) {
                flushMark();
                nestedTabPending_ = false;
                nestedRowOpen_ = false;
                builder_.cell(state.para, numberingFor(state.para));
                pnText_.clear();
            }
            return true;
        case Kw::Row:
            if (state.para.itap > 1) {
                nestedRow(state);
            } else if (state.dest == Dest::Normal) {
                nestedTabPending_ = false;
                nestedRowOpen_ = false;
                builder_.row();
            }
            return true;
        default:
            return false;
    }
}

const char* RtfReader::codePageName(int codePage) {
    const char* name = codepage::codePageCharset(codePage);
    return name ? name : "CP1252";
}

const char* RtfReader::charsetCodePage(int charset) {
    if (charset == -1 || charset == 1) {  // the document's own code page
        return ansiCodePage_;
    }
    const char* name = codepage::charsetCodePage(charset);
    return name ? name : "CP1252";
}

void RtfReader::finish() {
    pendingPictures_.decodeInto(builder_.document());
    flushBytes();
    flushMark();
    if (noteDepth_ >= 0) {
        endNote();  // the document ended inside the note: its mark is still written
    }
    if (!notes_.empty()) {
        appendNotes();
        builder_.finish(ParaState(), nullptr);
        return;
    }
    const ParaState para = top().para;
    builder_.finish(para, numberingFor(para));
}

QString tooLargeText() {
    return QStringLiteral(
               "문서가 너무 커서 열지 않았습니다. 읽으려면 메모리가 %1 MB보다 많이 필요합니다. 다른 "
               "프로그램에서 문서를 여러 개로 나누어 저장한 뒤 하나씩 여세요.")
        .arg(kMaxReadMemory >> 20);
}

qint64 leastReadMemory(QByteArrayView data) {
    // A mark takes four bytes at least ("\\par" before the next backslash): data that could not
    // pass the cap even if it were all marks is not searched.
    if (data.size() + data.size() / 4 * kParagraphMemory <= kMaxReadMemory) {
        return data.size();
    }
    auto isLetter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    qint64 marks = 0;
    const char* at = data.data();
    const char* const end = at + data.size();
    while ((at = static_cast<const char*>(std::memchr(at, '\\', size_t(end - at)))) != nullptr) {
        ++at;
        const std::string_view word(at, size_t(std::min<qsizetype>(end - at, 4)));
        const size_t length = word.starts_with("par") ? 3 : (word == "page" || word == "sect") ? 4 : 0;
        if (length > 0 && (at + length == end || !isLetter(at[length]))) {
            ++marks;
        }
    }
    return data.size() + marks * kParagraphMemory;
}

RtfError readRtf(QByteArrayView data, QTextCursor& cursor, QString* errorString) {
    if (!looksLikeRtf(data)) {
        if (errorString) {
            *errorString = QStringLiteral("RTF 문서가 아닙니다. 파일이 {\\rtf로 시작하는지 확인하세요.");
        }
        return RtfError::NotRtf;
    }
    RtfError error = RtfError::TooLarge;
    RtfTokenizer tokenizer(data);
    if (leastReadMemory(data) <= kMaxReadMemory) {
        cursor.beginEditBlock();
        RtfReader reader(tokenizer, cursor, kMaxReadMemory - data.size());
        error = tokenizer.run(reader);
        reader.finish();
        cursor.endEditBlock();
        if (error == RtfError::None && reader.outOfMemory()) {
            error = RtfError::TooLarge;
        }
    }
    if (error == RtfError::TooLarge && errorString) {
        *errorString = tooLargeText();
    } else if (error != RtfError::None && errorString) {
        *errorString = QStringLiteral(
                           "RTF 문서의 %1번째 바이트에서 열린 적 없는 묶음이 닫혀 있어 문서를 읽지 못했습니다. "
                           "문서를 만든 프로그램에서 다시 저장해 보세요.")
                           .arg(tokenizer.position());
    }
    return error;
}

bool looksLikeRtf(QByteArrayView data) {
    qsizetype at = 0;
    if (data.startsWith("\xEF\xBB\xBF")) {
        at = 3;
    }
    while (at < data.size() && (data[at] == ' ' || data[at] == '\t' || data[at] == '\r' || data[at] == '\n')) {
        ++at;
    }
    return data.sliced(at).startsWith("{\\rtf");
}

}  // namespace tk::rtf
