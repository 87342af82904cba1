// The RTF reader's destinations: font and colour tables, pictures, objects, fields and lists.
#include "platform/codepage.h"
#include "richtext/embedded_stream.h"
#include "richtext/rich_format.h"
#include "richtext/rtf_reader_p.h"

#include <QTextDocument>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace tk::rtf {

namespace {

constexpr int kMaxFonts = 4096;
constexpr int kMaxColors = 65536;
constexpr int kMaxFields = 64;

// The bullet style closest to a bullet character: hollow circles and squares have styles of
// their own, everything else is a disc.
QTextListFormat::Style bulletStyle(QStringView text) {
    for (QChar c : text) {
        switch (c.unicode()) {
            case 0x25CB:  // white circle
            case 0x25E6:  // white bullet
            case u'o':
                return QTextListFormat::ListCircle;
            case 0x25A0:  // black square
            case 0x25AA:  // small black square
            case 0x25A1:  // white square
            case 0xF0A7:  // square in the Wingdings font
                return QTextListFormat::ListSquare;
            default:
                break;
        }
    }
    return QTextListFormat::ListDisc;
}

QTextListFormat::Style styleOfNfc(int nfc) {
    switch (nfc) {
        case 1:
            return QTextListFormat::ListUpperRoman;
        case 2:
            return QTextListFormat::ListLowerRoman;
        case 3:
            return QTextListFormat::ListUpperAlpha;
        case 4:
            return QTextListFormat::ListLowerAlpha;
        case 23:
            return QTextListFormat::ListDisc;
        case 255:
            return QTextListFormat::ListStyleUndefined;
        default:
            return QTextListFormat::ListDecimal;
    }
}

// The target of a HYPERLINK field instruction: HYPERLINK "url" or HYPERLINK \l "anchor".
QString hyperlinkTarget(const QString& instruction) {
    const QString text = instruction.trimmed();
    if (!text.startsWith(QLatin1String("HYPERLINK"), Qt::CaseInsensitive)) {
        return {};
    }
    QString url;
    QString anchor;
    qsizetype at = 9;
    while (at < text.size()) {
        while (at < text.size() && text[at].isSpace()) {
            ++at;
        }
        if (at >= text.size()) {
            break;
        }
        QString token;
        if (text[at] == u'"') {
            const qsizetype end = text.indexOf(u'"', at + 1);
            token = text.mid(at + 1, end < 0 ? -1 : end - at - 1);
            at = end < 0 ? text.size() : end + 1;
        } else {
            const qsizetype start = at;
            while (at < text.size() && !text[at].isSpace()) {
                ++at;
            }
            token = text.mid(start, at - start);
        }
        if (token == QLatin1String("\\l")) {
            anchor = QStringLiteral("#");
        } else if (token.startsWith(u'\\')) {
            // Switches with an argument (\o "tip", \t "frame") take the next token too.
            if (token == QLatin1String("\\o") || token == QLatin1String("\\t") || token == QLatin1String("\\m")) {
                anchor += QString();
            }
        } else if (anchor == QLatin1String("#")) {
            anchor += token;
        } else if (url.isEmpty()) {
            url = token;
        }
    }
    return url + (anchor.size() > 1 ? anchor : QString());
}

// The character of a SYMBOL field's code in its font (a symbol font or None) or code page.
QString symbolCharacter(const symbolfont::SymbolField& field, symbolfont::Font font, const char* charset) {
    using symbolfont::Font;
    using Kind = symbolfont::SymbolField::Kind;
    QString text;
    QByteArray bytes;
    switch (field.kind) {
        case Kind::Unicode:
            symbolfont::appendCharacter(&text, symbolfont::unicodeCharacter(font, field.code));
            return text;
        case Kind::ShiftJis:
            if (field.code > 0xFF) {
                bytes.append(char(field.code >> 8 & 0xFF));
            }
            bytes.append(char(field.code & 0xFF));
            text = field.code <= 0xFFFF ? codepage::decode("CP932", bytes) : QString();
            break;
        case Kind::Ansi:
        case Kind::Glyph:
            if (field.code <= 0xFF || (field.kind == Kind::Ansi && field.code <= 0xFFFF && font == Font::None)) {
                if (field.code > 0xFF) {
                    bytes.append(char(field.code >> 8));  // a double-byte code of the code page
                }
                bytes.append(char(field.code & 0xFF));
                text = font != Font::None ? symbolfont::decode(font, bytes) : codepage::decode(charset, bytes);
            } else {
                symbolfont::appendCharacter(&text, symbolfont::unicodeCharacter(font, field.code));
            }
            break;
    }
    // A code that is no character of its code page shows nothing rather than a replacement mark.
    return text.contains(QChar(0xFFFD)) ? QString() : text;
}

}  // namespace

namespace {

// Sixteen hex digits into eight bytes; false (nothing written) when any of them is not a digit.
bool hexBlock(const char* in, char* out) {
#ifdef __SSE2__
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    const __m128i lower = _mm_or_si128(v, _mm_set1_epi8(0x20));
    // Signed compares: bytes past ASCII are negative and so neither digits nor letters.
    const __m128i digit =
        _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8('0' - 1)), _mm_cmplt_epi8(v, _mm_set1_epi8('9' + 1)));
    const __m128i letter =
        _mm_and_si128(_mm_cmpgt_epi8(lower, _mm_set1_epi8('a' - 1)), _mm_cmplt_epi8(lower, _mm_set1_epi8('f' + 1)));
    if (_mm_movemask_epi8(_mm_or_si128(digit, letter)) != 0xFFFF) {
        return false;
    }
    const __m128i values = _mm_or_si128(_mm_and_si128(digit, _mm_sub_epi8(v, _mm_set1_epi8('0'))),
                                        _mm_and_si128(letter, _mm_sub_epi8(lower, _mm_set1_epi8('a' - 10))));
    // Each 16-bit lane holds a high digit in its low byte and a low digit in its high byte.
    const __m128i high = _mm_and_si128(_mm_slli_epi16(values, 4), _mm_set1_epi16(0x00F0));
    const __m128i low = _mm_srli_epi16(values, 8);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(_mm_or_si128(high, low), _mm_setzero_si128()));
    return true;
#else
    return false;
#endif
}

// Each byte's value as a hex digit, or -1.
const std::array<signed char, 256>& hexValues() {
    static const std::array<signed char, 256> values = [] {
        std::array<signed char, 256> table{};
        for (int c = 0; c < 256; ++c) {
            table[size_t(c)] = static_cast<signed char>(hexValue(char(c)));
        }
        return table;
    }();
    return values;
}

}  // namespace

qsizetype HexCollector::addRun(QByteArrayView rest, QByteArray* out) {
    return collect(rest, out, true);
}

void HexCollector::add(QByteArrayView text, QByteArray* out) {
    collect(text, out, false);
}

// Pictures and objects are megabytes of hex digits: the bytes are written straight into room made
// for them, sixteen digits at a time where they are all digits.
qsizetype HexCollector::collect(QByteArrayView input, QByteArray* out, bool stopAtControl) {
    const std::array<signed char, 256>& values = hexValues();
    const char* const begin = input.data();
    const char* in = begin;
    const char* const end = in + input.size();
    bool stopped = false;
    // In pieces, so that the room made for the bytes is bounded by the piece, not the rest.
    while (in < end && !stopped) {
        const char* const pieceEnd = in + std::min<qsizetype>(end - in, kPiece);
        const qsizetype start = out->size();
        out->resize(start + (pieceEnd - in + 1) / 2 + 8);
        char* p = out->data() + start;
        while (in < pieceEnd) {
            if (high < 0 && pieceEnd - in >= 16 && hexBlock(in, p)) {
                in += 16;
                p += 8;
                continue;
            }
            const char c = *in;
            if (stopAtControl && (c == '\\' || c == '{' || c == '}')) {
                stopped = true;
                break;
            }
            ++in;
            const int v = values[static_cast<unsigned char>(c)];
            if (v < 0) {
                continue;
            }
            if (high < 0) {
                high = v;
            } else {
                *p++ = char(high * 16 + v);
                high = -1;
            }
        }
        out->truncate(p - out->data());
    }
    return in - begin;
}

bool RtfReader::destinationWord(Kw kw, GroupState& state) {
    switch (kw) {
        case Kw::Rtf:
        case Kw::ShpPict:
            return true;
        case Kw::FontTable:
            state.dest = Dest::FontTable;
            tableFont_ = -1;
            return true;
        case Kw::ColorTable:
            state.dest = Dest::ColorTable;
            colors_.clear();
            red_ = green_ = blue_ = 0;
            colorSet_ = false;
            return true;
        case Kw::StyleSheet:
        case Kw::Info:
        case Kw::SkipDest:
        case Kw::ListName:
        case Kw::ListText:
        case Kw::NonShpPict:
        case Kw::LevelNumbers:
            state.dest = Dest::Skip;
            return true;
        case Kw::Pict:
            if (state.dest == Dest::Normal || state.dest == Dest::ObjResult) {
                const bool tail = state.dest == Dest::ObjResult && object_.tailBytes > 0;
                state.dest = Dest::Pict;
                picture_ = RtfPicture();
                pictureHex_ = HexCollector();
                pictureKindWord_.clear();
                pictureReserved_ = false;
                if (tail) {
                    reservePicture(object_.tailBytes);
                }
            } else {
                state.dest = Dest::Skip;
            }
            return true;
        case Kw::Object:
            if (state.dest == Dest::Normal && !object_.active) {
                object_ = ObjectState();
                object_.active = true;
                object_.start = state.groupOffset;
                object_.depth = depth();
                state.dest = Dest::Object;
            } else {
                state.dest = Dest::Skip;
            }
            return true;
        case Kw::ObjClass:
            state.dest = state.dest == Dest::Object ? Dest::ObjClass : Dest::Skip;
            return true;
        case Kw::TkObject:
            object_.own = object_.own || state.dest == Dest::Object;
            state.dest = state.dest == Dest::Object ? Dest::TkObject : Dest::Skip;
            return true;
        case Kw::ObjData:
            state.dest = state.dest == Dest::Object ? Dest::ObjData : Dest::Skip;
            object_.data.clear();
            objectHex_ = HexCollector();
            return true;
        case Kw::Result:
            if (state.dest == Dest::Object) {
                state.dest = Dest::ObjResult;
            }
            return true;
        case Kw::Field:
            if (fields_.size() < size_t(kMaxFields)) {
                fields_.push_back({QString(), depth()});
                fieldShown_ = &fields_.back().shown;
            }
            return true;
        case Kw::FieldInst:
            state.dest = fields_.empty() ? Dest::Skip : Dest::FieldInst;
            return true;
        case Kw::FieldResult:
            startFieldResult(state);
            return true;
        case Kw::ListTable:
            state.dest = Dest::ListTable;
            return true;
        case Kw::List:
            state.dest = Dest::List;
            list_ = ListDef();
            return true;
        case Kw::ListLevel:
            state.dest = Dest::ListLevel;
            level_ = ListLevelDef();
            levelText_.clear();
            return true;
        case Kw::LevelText:
            state.dest = Dest::LevelText;
            levelText_.clear();
            return true;
        case Kw::ListOverrideTable:
            state.dest = Dest::ListOverrideTable;
            return true;
        case Kw::ListOverride:
            state.dest = Dest::ListOverride;
            overrideList_ = 0;
            overrideLs_ = 0;
            return true;
        case Kw::PnText:
            state.dest = state.dest == Dest::Normal ? Dest::PnText : Dest::Skip;
            pnText_.clear();
            return true;
        case Kw::Footnote:
            startNote(state);
            return true;
        case Kw::NestTableProps:
            state.dest = state.dest == Dest::Normal ? Dest::NestTableProps : Dest::Skip;
            return true;
        case Kw::Pn:
            state.dest = Dest::Pn;
            state.para.pn = Numbering();
            state.para.pn.style = QTextListFormat::ListDecimal;
            return true;
        case Kw::PnTxtA:
            state.dest = Dest::PnTxtA;
            state.para.pn.suffix.clear();
            return true;
        case Kw::PnTxtB:
            state.dest = Dest::PnTxtB;
            state.para.pn.prefix.clear();
            return true;
        case Kw::Upr:
            state.dest = Dest::Upr;
            return true;
        case Kw::Ud:
            state.dest = Dest::Normal;
            return true;
        default:
            return false;
    }
}

void RtfReader::endGroup(GroupState& closing, GroupState& parent) {
    if (object_.active && depth() + 1 == object_.depth) {
        endObject(parent);
    }
    if (!fields_.empty() && depth() + 1 == fields_.back().depth) {
        endField(closing, parent);
    }
    if (closing.dest == parent.dest) {
        return;
    }
    switch (closing.dest) {
        case Dest::FontTable:
            tableFont_ = -1;
            applyFont(parent, defaultFont_);
            break;
        case Dest::Pict:
            endPicture(parent);
            break;
        case Dest::ListLevel:
            endListLevel();
            break;
        case Dest::List:
            if (lists_.size() < kMaxFonts) {
                lists_.insert(list_.id, list_);
            }
            break;
        case Dest::ListOverride:
            if (overrideLs_ > 0 && overrides_.size() < kMaxFonts) {
                overrides_.insert(overrideLs_, overrideList_);
            }
            break;
        case Dest::Pn:
            parent.para.pn = closing.para.pn;
            parent.para.hasPn =
                closing.para.pn.style != QTextListFormat::ListStyleUndefined || closing.para.pn.continuation;
            break;
        case Dest::Note:
            endNote();
            break;
        case Dest::PnTxtA:
            parent.para.pn.suffix = closing.para.pn.suffix;
            break;
        case Dest::PnTxtB:
            parent.para.pn.prefix = closing.para.pn.prefix;
            if (parent.para.pn.style == QTextListFormat::ListDisc) {
                parent.para.pn.style = bulletStyle(parent.para.pn.prefix);
            }
            break;
        default:
            break;
    }
}

void RtfReader::fontTableWord(Kw kw, int param, GroupState& state) {
    if (kw == Kw::F) {
        tableFont_ = -1;
        fontsByName_.clear();
        if (fonts_.size() < kMaxFonts || fonts_.contains(param)) {
            tableFont_ = param;
            fonts_.insert(param, FontEntry());
            state.charset = ansiCodePage_;
        }
        return;
    }
    if (kw == Kw::U || kw == Kw::Uc) {
        documentWord(kw, param, state);
        return;
    }
    if (tableFont_ < 0) {
        return;
    }
    FontEntry& font = fonts_[tableFont_];
    switch (kw) {
        case Kw::FCharset:
            // Mac writers write 256 and up for the Mac's own default: the document's code page.
            font.charset = param >= 0 && param <= 255 ? param : -1;
            if (font.codePage == 0) {
                state.charset = charsetCodePage(font.charset);
            }
            break;
        case Kw::Cpg:
            font.codePage = param;
            state.charset = codePageName(param);
            break;
        case Kw::FPrq:
            font.pitchFamily = (font.pitchFamily & 0xF0) | (param & 3);
            break;
        case Kw::FRoman:
        case Kw::FSwiss:
        case Kw::FModern:
        case Kw::FScript:
        case Kw::FDecor: {
            const int family = kw == Kw::FRoman    ? 0x10
                               : kw == Kw::FSwiss  ? 0x20
                               : kw == Kw::FModern ? 0x30
                               : kw == Kw::FScript ? 0x40
                                                   : 0x50;
            font.pitchFamily = (font.pitchFamily & 0x0F) | family;
            break;
        }
        default:
            break;
    }
}

void RtfReader::fontTableText(QByteArrayView bytes, GroupState& state) {
    if (tableFont_ < 0 || fonts_[tableFont_].nameDone) {
        return;
    }
    const qsizetype end = bytes.indexOf(';');
    if (bytesCharset_ != state.charset) {
        flushBytes();
        bytesCharset_ = state.charset;
    }
    bytes_.append(end < 0 ? bytes : bytes.first(end));
    if (end >= 0) {
        flushBytes();
        FontEntry& font = fonts_[tableFont_];
        font.name = font.name.trimmed();
        font.nameDone = true;
    }
}

void RtfReader::colorTableText(QByteArrayView bytes) {
    for (char c : bytes) {
        if (c != ';') {
            continue;
        }
        if (colors_.size() < kMaxColors) {
            colors_.append(colorSet_ ? QColor(red_, green_, blue_) : QColor());
        }
        red_ = green_ = blue_ = 0;
        colorSet_ = false;
    }
}

void RtfReader::pictureWord(Kw kw, std::string_view word, bool has, int param) {
    using richformat::PictureType;
    auto kind = [&](PictureType type) {
        picture_.kind = type;
        pictureKindWord_ = "\\" + QByteArray(word.data(), qsizetype(word.size()));
        if (has) {
            pictureKindWord_ += QByteArray::number(param);
        }
    };
    switch (kw) {
        case Kw::PngBlip:
            kind(PictureType::Png);
            break;
        case Kw::JpegBlip:
            kind(PictureType::Jpeg);
            break;
        case Kw::DiBitmap:
            kind(PictureType::Dib);
            break;
        case Kw::WBitmap:
            kind(PictureType::Bitmap);
            break;
        case Kw::WMetafile:
            kind(PictureType::Wmf);
            break;
        case Kw::EmfBlip:
            kind(PictureType::Emf);
            break;
        case Kw::MacPict:
        case Kw::PmMetafile:
            kind(PictureType::Other);
            break;
        case Kw::PicW:
            picture_.picW = std::clamp(param, 0, 1000000);
            break;
        case Kw::PicH:
            picture_.picH = std::clamp(param, 0, 1000000);
            break;
        case Kw::PicWGoal:
            picture_.goalW = std::clamp(param, 0, kMaxPictureTwips);
            break;
        case Kw::PicHGoal:
            picture_.goalH = std::clamp(param, 0, kMaxPictureTwips);
            break;
        case Kw::PicScaleX:
            picture_.scaleX = std::clamp(param, 1, 1000);
            break;
        case Kw::PicScaleY:
            picture_.scaleY = std::clamp(param, 1, 1000);
            break;
        case Kw::PicBpp:
            picture_.bitmapBpp = std::clamp(param, 1, 32);
            break;
        case Kw::PicWBmp:
            picture_.bitmapRowBytes = std::clamp(param, 0, 1 << 20);
            break;
        default:
            break;
    }
}

void RtfReader::endPicture(GroupState& parent) {
    using richformat::PictureType;
    if (picture_.kind == PictureType::None) {
        picture_.kind = PictureType::Other;
    }
    QByteArray header = pictureKindWord_;
    header += "\\picw" + QByteArray::number(picture_.picW) + "\\pich" + QByteArray::number(picture_.picH);
    if (picture_.kind == PictureType::Bitmap) {
        header += "\\picbpp" + QByteArray::number(picture_.bitmapBpp) + "\\picwbmp" +
                  QByteArray::number(picture_.bitmapRowBytes);
    }
    picture_.header = header;
    // Room made from a count that the picture did not fill is given back: the picture is kept.
    if (pictureReserved_ && picture_.data.capacity() - picture_.data.size() > 2 * HexCollector::kMaxOvershoot) {
        picture_.data.squeeze();
    }
    pictureReserved_ = false;
    if (parent.dest == Dest::ObjResult && object_.active) {
        object_.picture = pictureFormat(builder_.document(), picture_, pictureBudget_, &pendingPictures_);
        object_.hasPicture = true;
    } else if (parent.dest == Dest::Normal) {
        builder_.image(pictureFormat(builder_.document(), picture_, pictureBudget_, &pendingPictures_), parent.para);
    }
    picture_ = RtfPicture();
}

void RtfReader::reservePicture(qsizetype bytes) {
    // A hostile count makes no room beyond what the hex digits left in the input could fill.
    const qsizetype left = (tokenizer_.data().size() - tokenizer_.position()) / 2;
    picture_.data.reserve(std::min(bytes, left) + HexCollector::kMaxOvershoot);
    pictureReserved_ = true;
}

void RtfReader::endObject(GroupState& parent) {
    using richformat::PictureType;
    QTextImageFormat format;
    if (object_.hasPicture) {
        format = object_.picture;
    } else {
        const QSizeF size(richformat::twipsToPixels(object_.width > 0 ? object_.width : 1440),
                          richformat::twipsToPixels(object_.height > 0 ? object_.height : 1440));
        format.setName(placeholderResource(builder_.document(), size.toSize(), pictureBudget_));
        format.setWidth(size.width());
        format.setHeight(size.height());
    }
    QString className = object_.className.trimmed();
    const bool whole = takeNative(&className);
    format.setProperty(richformat::ObjectClass, className);
    format.setProperty(richformat::ObjectData, object_.data);
    // This program's own groups are written anew from the properties, which hold all they said;
    // any other group (or one of ours that lost a part) is kept as read to be written back unchanged.
    const auto kind = PictureType(format.intProperty(richformat::PictureKind));
    if (!(object_.own && whole && object_.hasPicture && (kind == PictureType::Png || kind == PictureType::Jpeg))) {
        const qsizetype end = tokenizer_.position();
        format.setProperty(richformat::ObjectRtf,
                           tokenizer_.data().sliced(object_.start, end - object_.start).toByteArray());
    }
    if (parent.dest == Dest::Normal) {
        builder_.image(format, parent.para);
    }
    object_ = ObjectState();
}

// The server's own data is the native data inside the embedded-object stream; data that is not
// such a stream (a linked object, a damaged one) is kept as it was read. A native data whose last
// bytes are the result picture's has them joined back. True when the native data is all there.
bool RtfReader::takeNative(QString* className) {
    QString streamClass;
    qsizetype offset = 0;
    qsizetype size = 0;
    const qsizetype missing = object_.tailBytes;
    if (!findEmbeddedNative(object_.data, &streamClass, &offset, &size, missing)) {
        return false;
    }
    if (className->isEmpty()) {
        *className = streamClass;
    }
    const QByteArray tail = missing > 0 && object_.hasPicture
                                ? object_.picture.property(richformat::PictureData).toByteArray()
                                : QByteArray();
    if (missing > 0 && tail.size() == missing) {
        QByteArray native;
        native.reserve(size + missing);
        native.append(object_.data.constData() + offset, size).append(tail);
        object_.data = std::move(native);
        return true;
    }
    // Cut in place: the stream's head goes without copying the data after it. Without its tail
    // (the result picture is missing or not the one written) the part there is kept.
    object_.data.truncate(offset + size);
    object_.data.remove(0, offset);
    return missing == 0;
}

void RtfReader::startFieldResult(GroupState& state) {
    if (state.dest == Dest::FieldInst) {
        state.dest = Dest::Skip;  // a result inside an instruction is not shown
        return;
    }
    if (fields_.empty()) {
        return;
    }
    const QString target = hyperlinkTarget(fields_.back().instruction);
    if (!target.isEmpty()) {
        state.chr.setProperty(richformat::LinkTarget, target);
        state.chr.setAnchor(true);
        state.chr.setAnchorHref(target);
        touchFormat(state);
    }
}

// A field whose result showed nothing shows what its instruction gives: a SYMBOL field its character.
void RtfReader::endField(const GroupState& closing, const GroupState& parent) {
    const FieldState field = std::move(fields_.back());
    fields_.pop_back();
    fieldShown_ = fields_.empty() ? &noField_ : &fields_.back().shown;
    if (field.shown) {
        *fieldShown_ = true;
        return;
    }
    if (closing.dest != Dest::Normal || parent.dest != Dest::Normal) {
        return;
    }
    const std::optional<symbolfont::SymbolField> symbol = symbolfont::parseSymbolField(field.instruction);
    if (!symbol) {
        return;
    }
    QTextCharFormat format = closing.chr;
    const QString text = symbolFieldText(*symbol, closing, &format);
    if (text.isEmpty()) {
        return;
    }
    if (symbol->points > 0) {
        format.setFontPointSize(symbol->points);
    }
    lastVersion_ = ++formatCounter_;
    builder_.text(text, format, lastVersion_, parent.para);
    *fieldShown_ = true;
}

// The character of a SYMBOL field, in the field's font: a symbol font by its name, a font of the
// document by its name, or the current one (charset) when the field names none.
QString RtfReader::symbolFieldText(const symbolfont::SymbolField& field, const GroupState& closing,
                                   QTextCharFormat* format) {
    using symbolfont::Font;
    const char* charset = closing.charset;
    QString symbolFamily = fonts_.value(closing.font).name;
    if (!field.fontName.isEmpty()) {
        const Font named = symbolfont::fontNamed(field.fontName);
        if (named != Font::None) {
            charset = symbolfont::charsetMarker(named);
            symbolFamily = field.fontName;
        } else {
            charset = ansiCodePage_;
            format->setFontFamilies(QStringList{field.fontName});
            const int number = fontNumberNamed(field.fontName);
            if (number >= 0) {
                const FontEntry& entry = fonts_[number];
                charset = fontCodePage(number);
                format->setProperty(richformat::FontCharset, entry.charset < 0 ? 1 : entry.charset);
                format->setProperty(richformat::FontPitchFamily, entry.pitchFamily);
            }
        }
    }
    const Font font = symbolfont::fontOfCharset(charset);
    if (symbolfont::mapped(font)) {
        dropSymbolFamily(*format);
    }
    QString text = symbolCharacter(field, font, charset);
    if (symbolfont::mapped(font) && !symbolFamily.isEmpty() && text.size() == 1 &&
        (text[0].unicode() & 0xFF00) == 0xF000) {
        // A glyph without a character is drawn by its font alone.
        format->setFontFamilies(QStringList{symbolFamily});
        format->setProperty(richformat::FontCharset, 2);
    }
    return text;
}

// The number of the font table's font of that name (case-insensitive; the lowest number when
// several have it), or -1. Indexed once: a document may hold many fields and many fonts.
int RtfReader::fontNumberNamed(const QString& name) {
    if (fontsByName_.isEmpty()) {
        for (auto it = fonts_.cbegin(); it != fonts_.cend(); ++it) {
            const QString key = it->name.toCaseFolded();
            const auto known = fontsByName_.constFind(key);
            if (known == fontsByName_.cend() || it.key() < known.value()) {
                fontsByName_.insert(key, it.key());
            }
        }
    }
    return fontsByName_.value(name.toCaseFolded(), -1);
}

// Once a symbol font's glyphs are read as Unicode characters, the font would draw other glyphs for
// them: the text takes the default font, whose fallback draws the characters.
void RtfReader::dropSymbolFamily(QTextCharFormat& format) {
    format.clearProperty(QTextFormat::FontFamilies);
    format.clearProperty(QTextFormat::FontFamily);
    format.clearProperty(richformat::FontCharset);
    format.clearProperty(richformat::FontPitchFamily);
}

void RtfReader::listWord(Kw kw, int param, GroupState& state) {
    switch (kw) {
        case Kw::ListId:
            (state.dest == Dest::ListOverride ? overrideList_ : list_.id) = param;
            break;
        case Kw::Ls:
            if (state.dest == Dest::ListOverride) {
                overrideLs_ = param;
            }
            break;
        case Kw::LevelNfc:
        case Kw::LevelNfcN:
            level_.style = styleOfNfc(param);
            break;
        case Kw::LevelStartAt:
            level_.start = param;
            break;
        default:
            break;
    }
}

void RtfReader::endListLevel() {
    if (!levelText_.isEmpty()) {
        const QString body = levelText_.mid(1, levelText_[0].unicode());
        qsizetype first = -1;
        qsizetype last = -1;
        for (qsizetype i = 0; i < body.size(); ++i) {
            if (body[i].unicode() < 10) {
                if (first < 0) {
                    first = i;
                }
                last = i;
            }
        }
        if (level_.style == QTextListFormat::ListDisc) {
            level_.style = bulletStyle(body);
        } else if (first >= 0) {
            level_.prefix = body.left(first);
            level_.suffix = body.mid(last + 1);
        }
    }
    if (list_.levelCount < int(list_.levels.size())) {
        list_.levels[size_t(list_.levelCount++)] = level_;
    }
}

void RtfReader::pnWord(Kw kw, int param, GroupState& state) {
    Numbering& pn = state.para.pn;
    switch (kw) {
        case Kw::PnlvlBlt:
            pn.style = QTextListFormat::ListDisc;
            pn.level = 0;
            break;
        case Kw::PnlvlBody:
            if (pn.style == QTextListFormat::ListStyleUndefined || pn.style == QTextListFormat::ListDisc) {
                pn.style = QTextListFormat::ListDecimal;
            }
            pn.level = 0;
            break;
        case Kw::Pnlvl:
            pn.level = std::clamp(param - 1, 0, 8);
            break;
        case Kw::PnlvlCont:
            pn.style = QTextListFormat::ListStyleUndefined;
            pn.continuation = true;
            break;
        case Kw::PnDec:
            pn.style = QTextListFormat::ListDecimal;
            break;
        case Kw::PnUcLtr:
            pn.style = QTextListFormat::ListUpperAlpha;
            break;
        case Kw::PnLcLtr:
            pn.style = QTextListFormat::ListLowerAlpha;
            break;
        case Kw::PnUcRm:
            pn.style = QTextListFormat::ListUpperRoman;
            break;
        case Kw::PnLcRm:
            pn.style = QTextListFormat::ListLowerRoman;
            break;
        case Kw::PnStart:
            pn.start = param;
            break;
        case Kw::PnIndent:
            pn.tabTwips = std::clamp(param, -31680, 31680);
            break;
        default:
            return;
    }
    if (state.dest == Dest::Normal) {
        state.para.hasPn = pn.style != QTextListFormat::ListStyleUndefined || pn.continuation;
    }
}

// A paragraph may carry both forms, the list table's for newer readers and \pn for older ones: the
// list table's wins, and the number tab, which only \pn gives, comes from there.
const Numbering* RtfReader::numberingFor(const ParaState& para) {
    const bool hasPn = para.hasPn && para.pn.style != QTextListFormat::ListStyleUndefined;
    if (para.ls > 0) {
        const auto ov = overrides_.constFind(para.ls);
        const auto def = ov == overrides_.constEnd() ? lists_.constEnd() : lists_.constFind(ov.value());
        const int level = def == lists_.constEnd() ? 0 : std::min(para.ilvl, def->levelCount - 1);
        if (def != lists_.constEnd() && def->levelCount > 0 &&
            def->levels[size_t(level)].style != QTextListFormat::ListStyleUndefined) {
            const ListLevelDef& lvl = def->levels[size_t(level)];
            const int tab = hasPn ? para.pn.tabTwips : 0;
            numbering_ = Numbering{lvl.style, level, lvl.start, tab, lvl.prefix, lvl.suffix, para.ls};
            return &numbering_;
        }
    }
    if (!hasPn) {
        return nullptr;
    }
    if (pnText_.isEmpty()) {
        return &para.pn;
    }
    numbering_ = para.pn;
    numbering_.shown = shownNumber(para.pn);
    return &numbering_;
}

namespace {

// The value of a Roman numeral, or 0.
int romanValue(QStringView text) {
    int value = 0;
    int previous = 0;
    for (qsizetype i = text.size() - 1; i >= 0; --i) {
        int digit = 0;
        switch (text[i].toLower().unicode()) {
            case u'i':
                digit = 1;
                break;
            case u'v':
                digit = 5;
                break;
            case u'x':
                digit = 10;
                break;
            case u'l':
                digit = 50;
                break;
            case u'c':
                digit = 100;
                break;
            case u'd':
                digit = 500;
                break;
            case u'm':
                digit = 1000;
                break;
            default:
                return 0;
        }
        value += digit < previous ? -digit : digit;
        previous = std::max(previous, digit);
    }
    return value > 0 && value < 40000 ? value : 0;
}

// The value of letters counted a, b, ... z, aa, ab, ..., or 0.
int letterValue(QStringView text) {
    if (text.isEmpty() || text.size() > 3) {
        return 0;
    }
    int value = 0;
    for (QChar c : text) {
        const char16_t u = c.toLower().unicode();
        if (u < u'a' || u > u'z') {
            return 0;
        }
        value = value * 26 + (u - u'a' + 1);
    }
    return value;
}

}  // namespace

// The number the writer showed in the paragraph's \pntext, with the item's own text before and
// after it taken away; 0 when it is not a number of the paragraph's style.
int RtfReader::shownNumber(const Numbering& pn) const {
    QStringView text = QStringView(pnText_).trimmed();
    const QStringView prefix = QStringView(pn.prefix).trimmed();
    const QStringView suffix = QStringView(pn.suffix).trimmed();
    if (!prefix.isEmpty() && text.startsWith(prefix)) {
        text = text.sliced(prefix.size());
    }
    if (!suffix.isEmpty() && text.endsWith(suffix)) {
        text.chop(suffix.size());
    }
    text = text.trimmed();
    switch (pn.style) {
        case QTextListFormat::ListDecimal: {
            bool ok = false;
            const int value = text.size() <= 6 ? text.toInt(&ok) : 0;
            return ok && value > 0 ? value : 0;
        }
        case QTextListFormat::ListUpperRoman:
        case QTextListFormat::ListLowerRoman:
            return romanValue(text);
        case QTextListFormat::ListUpperAlpha:
        case QTextListFormat::ListLowerAlpha:
            return letterValue(text);
        default:
            return 0;
    }
}

namespace {

// Notes a document may have; real documents stay far below.
constexpr size_t kMaxNotes = 65536;
constexpr size_t kMaxNoteParagraphs = 65536;

}  // namespace

// An automatic note number in the text: it is written when its note has been read.
void RtfReader::markWord(GroupState& state) {
    flushMark();
    markPending_ = true;
    markFormat_ = state.chr;
    markVersion_ = state.chrVersion;
    markPara_ = state.para;
}

// A number with no note after it is a footnote's.
void RtfReader::flushMark() {
    if (!markPending_) {
        return;
    }
    markPending_ = false;
    builder_.text(QString::number(++footnotes_), markFormat_, markVersion_, markPara_);
}

void RtfReader::startNote(GroupState& state) {
    if (state.dest != Dest::Normal || noteDepth_ >= 0 || notes_.size() >= kMaxNotes) {
        state.dest = Dest::Skip;
        return;
    }
    Note note;
    note.numbered = markPending_;
    markPending_ = false;  // written at the note's end, in the note's own run of numbers
    note.paragraphs.emplace_back();
    notes_.push_back(std::move(note));
    noteDepth_ = depth();
    state.dest = Dest::Note;
}

QString RtfReader::noteNumber(Note& note) {
    if (note.number == 0) {
        note.number = note.endnote ? ++endnotes_ : ++footnotes_;
    }
    return noteLabel(note);
}

QString RtfReader::noteLabel(const Note& note) const {
    return richformat::numberText(note.number, note.endnote ? endnoteStyle_ : footnoteStyle_);
}

// How the document numbers its footnotes (\ftnn...) and endnotes (\aftnn...).
bool RtfReader::noteNumberingWord(Kw kw) {
    static const std::pair<Kw, QTextListFormat::Style> styles[] = {
        {Kw::FtnNar, QTextListFormat::ListDecimal},      {Kw::FtnNalc, QTextListFormat::ListLowerAlpha},
        {Kw::FtnNauc, QTextListFormat::ListUpperAlpha},  {Kw::FtnNrlc, QTextListFormat::ListLowerRoman},
        {Kw::FtnNruc, QTextListFormat::ListUpperRoman},  {Kw::AftnNar, QTextListFormat::ListDecimal},
        {Kw::AftnNalc, QTextListFormat::ListLowerAlpha}, {Kw::AftnNauc, QTextListFormat::ListUpperAlpha},
        {Kw::AftnNrlc, QTextListFormat::ListLowerRoman}, {Kw::AftnNruc, QTextListFormat::ListUpperRoman}};
    for (const auto& [word, style] : styles) {
        if (word == kw) {
            (kw >= Kw::AftnNar ? endnoteStyle_ : footnoteStyle_) = style;
            return true;
        }
    }
    return false;
}

void RtfReader::endNote() {
    noteDepth_ = -1;
    Note& note = notes_.back();
    if (note.numbered) {
        builder_.text(noteNumber(note), markFormat_, markVersion_, markPara_);
    }
}

void RtfReader::noteText(QStringView text, const QTextCharFormat& format) {
    std::vector<NoteRun>& runs = notes_.back().paragraphs.back();
    if (!runs.empty() && runs.back().format == format) {
        runs.back().text.append(text);
    } else {
        runs.push_back({text.toString(), format});
    }
}

// The words of a note's text that would act on the document at the note's mark.
bool RtfReader::noteWord(Kw kw, GroupState& state) {
    Note& note = notes_.back();
    switch (kw) {
        case Kw::FtnAlt:
            note.endnote = note.endnote || note.number == 0;
            return true;
        case Kw::Chftn:
            note.numberShown = true;
            noteText(noteNumber(note), state.chr);
            return true;
        case Kw::Par:
        case Kw::Sect:
        case Kw::Page:
        case Kw::Row:
        case Kw::NestRow:
            if (note.paragraphs.size() < kMaxNoteParagraphs) {
                note.paragraphs.emplace_back();
            }
            return true;
        case Kw::Cell:
        case Kw::NestCell:
            noteText(u"\t", state.chr);
            return true;
        case Kw::Trowd:
        case Kw::TrLeft:
        case Kw::Cellx:
        case Kw::ClVmgf:
        case Kw::ClVmrg:
        case Kw::ClCbPat:
        case Kw::BorderWord:
            return true;
        default:
            return false;
    }
}

// The notes' paragraphs after the document's last: footnotes, then endnotes, each note's first
// paragraph led by its number unless its text shows the number itself.
void RtfReader::appendNotes() {
    // The body's last paragraph (a document cut short ends inside a note's group).
    auto body = stack_.rbegin();
    while (body->dest != Dest::Normal && std::next(body) != stack_.rend()) {
        ++body;
    }
    builder_.endOpenParagraph(body->para, numberingFor(body->para), body->chr);
    const QTextCharFormat plain = stack_.front().chr;
    bool first = true;
    for (const bool endnotes : {false, true}) {
        for (const Note& note : notes_) {
            if (note.endnote != endnotes) {
                continue;
            }
            bool numberDue = note.number > 0 && !note.numberShown;
            for (const std::vector<NoteRun>& runs : note.paragraphs) {
                if (runs.empty()) {
                    continue;
                }
                if (!first) {
                    builder_.paragraph(ParaState(), nullptr, plain);
                }
                first = false;
                if (numberDue) {
                    builder_.text(QString(noteLabel(note) + QLatin1Char(' ')), plain, ++formatCounter_, ParaState());
                    numberDue = false;
                }
                for (const NoteRun& run : runs) {
                    builder_.text(run.text, run.format, ++formatCounter_, ParaState());
                }
            }
        }
    }
}

// A nested table's cell ends: the next cell's text follows a tab. The tab waits for that text,
// so that a row's last cell leaves none behind.
void RtfReader::nestedCell(GroupState& state) {
    if (state.dest != Dest::Normal) {
        return;
    }
    flushNestedTab();  // the cell before was empty
    nestedTabPending_ = true;
    nestedRowOpen_ = true;
}

void RtfReader::flushNestedTab() {
    if (!nestedTabPending_) {
        return;
    }
    nestedTabPending_ = false;
    const GroupState& state = top();
    builder_.text(u"\t", state.chr, state.chrVersion, state.para);
}

// A nested table's row ends: the next row is a paragraph of its own in the outer cell. A second
// end with nothing between (a row ended both in its properties and after them) makes no empty one.
void RtfReader::nestedRow(GroupState& state) {
    if (state.dest != Dest::Normal && state.dest != Dest::NestTableProps) {
        return;
    }
    nestedTabPending_ = false;
    if (!nestedRowOpen_ && builder_.breakPending()) {
        return;
    }
    nestedRowOpen_ = false;
    flushMark();
    builder_.paragraph(state.para, numberingFor(state.para), state.chr);
    pnText_.clear();
}

}  // namespace tk::rtf
