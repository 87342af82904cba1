#include "richtext/rtf_writer.h"

#include "platform/codepage.h"
#include "richtext/rich_format.h"
#include "richtext/rtf_object_writer.h"

#include <QHash>
#include <QImage>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextList>
#include <QTextTable>
#include <QUrl>

#include <algorithm>
#include <unordered_map>
#include <utility>

namespace tk::rtf {

namespace {

using richformat::numberingStart;
using richformat::numberPrefix;
using richformat::numberSuffix;
using richformat::numberText;
using richformat::pixelsToTwips;

constexpr int kKoreanCharset = 129;
constexpr int kDefaultTableWidthTwips = 9000;

const char* codePageOfCharset(int charset) {
    const char* name = codepage::charsetCodePage(charset);
    return name ? name : codepage::kAnsi;
}

struct FontInfo {
    QString name;
    int charset = kKoreanCharset;
    int pitchFamily = 0;
};

bool isBullet(QTextListFormat::Style style) {
    return style == QTextListFormat::ListDisc || style == QTextListFormat::ListCircle ||
           style == QTextListFormat::ListSquare;
}

constexpr int kBulletNfc = 23;  // \levelnfc of a bullet list: the level text is the bullet

// The list table's number format (\levelnfc) of a list style.
int levelNfc(QTextListFormat::Style style) {
    switch (style) {
        case QTextListFormat::ListUpperRoman:
            return 1;
        case QTextListFormat::ListLowerRoman:
            return 2;
        case QTextListFormat::ListUpperAlpha:
            return 3;
        case QTextListFormat::ListLowerAlpha:
            return 4;
        default:
            return isBullet(style) ? kBulletNfc : 0;
    }
}

QString bulletText(QTextListFormat::Style style) {
    return style == QTextListFormat::ListCircle   ? QStringLiteral("\u25CB")
           : style == QTextListFormat::ListSquare ? QStringLiteral("\u25AA")
                                                  : QStringLiteral("\u2022");
}

// A list of the document as the list table describes it; its \ls number is its place plus one.
struct ListInfo {
    const QTextList* list = nullptr;
    int firstIndent = 0;  // twips, of the list's first paragraph written
    int leftIndent = 0;
};

// What a run in one of the document's character formats starts with.
struct RunInfo {
    bool ready = false;
    bool image = false;
    int font = 0;
    int charset = kKoreanCharset;
    QByteArray words;        // \f1\fs20\b ...
    QByteArray koreanWords;  // the same with the font's Korean twin, made when first needed
    QString link;
};

class RtfWriter final {
  public:
    RtfWriter(const QTextDocument& document, int from, int to) : doc_(document), from_(from), to_(to) {}
    QByteArray write();

  private:
    void collectFormats();
    int fontIndex(const QTextCharFormat& format);
    int colorIndex(const QColor& color);
    void writeHeader(QByteArray& out);
    void writeListTables(QByteArray& out);
    void writeListLevel(const ListInfo& info);
    void writeHexByte(int value);
    void writeLevelTextPart(const QString& text);
    int listNumber(const QTextBlock& block);
    std::pair<int, int> indentsOf(const QTextBlock& block) const;
    void writeFrame(QTextFrame* frame, bool inTable);
    void writeTable(QTextTable* table);
    void writeBlock(const QTextBlock& block, bool inTable, bool lastInCell);
    void writeParagraphFormat(const QTextBlock& block, bool inTable);
    void writeParagraphWords(const QTextBlock& block);
    void writeNumbering(const QTextBlock& block);
    void writeCharFormat(const QTextCharFormat& format);
    RunInfo& runInfo(int formatIndex);
    int fontIndexFor(const QString& name, int charset, int pitchFamily);
    bool needsKoreanFont(QStringView text, int charset);
    const QByteArray& koreanWords(RunInfo& run);
    void writeText(QStringView text, int charset);
    void writeFontName(const QString& name, int charset);
    const QByteArray& fallbackOf(char16_t c, int charset);
    void writeImage(const QTextImageFormat& format);
    void word(const char* name, int value) { out_.append('\\').append(name).append(QByteArray::number(value)); }
    void word(const char* name) { out_.append('\\').append(name); }

    const QTextDocument& doc_;
    int from_;
    int to_;
    QByteArray out_;
    QList<FontInfo> fonts_;
    QHash<QString, int> fontIndex_;
    QList<QColor> colors_;
    QHash<QRgb, int> colorIndex_;
    std::unordered_map<quint32, QByteArray> fallback_;  // (charset << 16 | character) -> code-page bytes
    QList<QTextFormat> formats_;
    std::vector<RunInfo> runs_;
    std::vector<QByteArray> paragraphs_;
    std::vector<bool> paragraphReady_;
    QString linkOpen_;
    std::vector<ListInfo> lists_;
    QHash<const QTextList*, int> listNumbers_;
};

QByteArray RtfWriter::write() {
    const QFont base = doc_.defaultFont();
    fontIndexFor(base.family(), kKoreanCharset, 0);
    collectFormats();
    out_.reserve(qsizetype(doc_.characterCount()) * 3 + 4096);
    writeFrame(doc_.rootFrame(), false);
    QByteArray result;
    result.reserve(out_.size() + 4096);
    writeHeader(result);
    result.append(out_);
    result.append("}\r\n");
    return result;
}

// Fonts and colours must be known before the body is written, since their tables come first.
void RtfWriter::collectFormats() {
    formats_ = doc_.allFormats();
    runs_.resize(size_t(formats_.size()));
    paragraphs_.resize(size_t(formats_.size()));
    paragraphReady_.resize(size_t(formats_.size()));
    // Text without a colour (or another property) of its own is saved as shown: in the default's.
    const QTextCharFormat defaults = richformat::defaultCharFormat(doc_);
    for (QTextFormat& format : formats_) {
        if (format.isCharFormat()) {
            format = richformat::withDefaults(defaults, format.toCharFormat());
            const QTextCharFormat chr = format.toCharFormat();
            fontIndex(chr);
            if (chr.hasProperty(QTextFormat::ForegroundBrush)) {
                colorIndex(chr.foreground().color());
            }
            if (chr.hasProperty(QTextFormat::BackgroundBrush)) {
                colorIndex(chr.background().color());
            }
        } else if (format.isTableCellFormat() && format.hasProperty(QTextFormat::BackgroundBrush)) {
            colorIndex(format.background().color());
        }
    }
}

RunInfo& RtfWriter::runInfo(int formatIndex) {
    static RunInfo none;
    if (formatIndex < 0 || size_t(formatIndex) >= runs_.size()) {
        none = RunInfo();
        return none;
    }
    RunInfo& info = runs_[size_t(formatIndex)];
    if (!info.ready) {
        const QTextCharFormat format = formats_[formatIndex].toCharFormat();
        std::swap(info.words, out_);
        writeCharFormat(format);
        std::swap(info.words, out_);
        info.font = fontIndex(format);
        info.charset = fonts_[info.font].charset;
        info.link = format.stringProperty(richformat::LinkTarget);
        info.image = format.isImageFormat();
        info.ready = true;
    }
    return info;
}

int RtfWriter::fontIndex(const QTextCharFormat& format) {
    const QStringList families = format.fontFamilies().toStringList();
    const QString name = families.isEmpty() ? QString() : families.first();
    if (name.isEmpty()) {
        return 0;
    }
    int charset = kKoreanCharset;
    if (format.hasProperty(richformat::FontCharset)) {
        charset = format.intProperty(richformat::FontCharset);
        charset = charset == 1 ? kKoreanCharset : charset;  // "default" is the program's own
    }
    return fontIndexFor(name, charset, format.intProperty(richformat::FontPitchFamily));
}

// One font-table entry per face and character set, so that a face can have a Korean twin.
int RtfWriter::fontIndexFor(const QString& name, int charset, int pitchFamily) {
    const QString key = name + QChar(0) + QString::number(charset);
    const auto it = fontIndex_.constFind(key);
    if (it != fontIndex_.constEnd()) {
        return it.value();
    }
    fonts_.append(FontInfo{name, charset, pitchFamily});
    fontIndex_.insert(key, int(fonts_.size() - 1));
    return int(fonts_.size() - 1);
}

// True when the text has characters that the font's code page lacks and CP949 has: readers that
// know only code pages then need the face's Korean twin to read the fallback bytes.
bool RtfWriter::needsKoreanFont(QStringView text, int charset) {
    if (charset == kKoreanCharset) {
        return false;
    }
    for (QChar c : text) {
        if (c.unicode() >= 0x80 && !c.isSurrogate() && fallbackOf(c.unicode(), charset) == "?" &&
            fallbackOf(c.unicode(), kKoreanCharset) != "?") {
            return true;
        }
    }
    return false;
}

const QByteArray& RtfWriter::koreanWords(RunInfo& run) {
    if (run.koreanWords.isEmpty()) {
        const FontInfo font = fonts_[run.font];  // a copy: the list may grow below
        const int twin = fontIndexFor(font.name, kKoreanCharset, font.pitchFamily);
        const QByteArray own = "\\f" + QByteArray::number(run.font);
        run.koreanWords = "\\f" + QByteArray::number(twin) + run.words.mid(own.size());
    }
    return run.koreanWords;
}

int RtfWriter::colorIndex(const QColor& color) {
    if (!color.isValid()) {
        return 0;
    }
    const QRgb rgb = color.rgb() & 0xFFFFFF;
    const auto it = colorIndex_.constFind(rgb);
    if (it != colorIndex_.constEnd()) {
        return it.value();
    }
    colors_.append(color);
    colorIndex_.insert(rgb, int(colors_.size()));  // index 0 is the automatic colour
    return int(colors_.size());
}

void RtfWriter::writeHeader(QByteArray& out) {
    out.append("{\\rtf1\\ansi\\ansicpg949\\deff0\\deflang1042{\\fonttbl");
    static const char* families[] = {"fnil", "froman", "fswiss", "fmodern", "fscript", "fdecor"};
    for (qsizetype i = 0; i < fonts_.size(); ++i) {
        const FontInfo& font = fonts_[i];
        const int family = (font.pitchFamily >> 4) & 0x0F;
        out.append("{\\f").append(QByteArray::number(i)).append('\\');
        out.append(families[family < 6 ? family : 0]);
        out.append("\\fcharset").append(QByteArray::number(font.charset));
        if (font.pitchFamily & 3) {
            out.append("\\fprq").append(QByteArray::number(font.pitchFamily & 3));
        }
        out.append(' ');
        std::swap(out, out_);
        writeFontName(font.name, font.charset);
        std::swap(out, out_);
        out.append(";}");
    }
    out.append("}\r\n{\\colortbl ;");
    for (const QColor& color : colors_) {
        out.append("\\red").append(QByteArray::number(color.red()));
        out.append("\\green").append(QByteArray::number(color.green()));
        out.append("\\blue").append(QByteArray::number(color.blue())).append(';');
    }
    out.append("}\r\n");
    writeListTables(out);
    out.append("\\viewkind4\\uc1\r\n");
}

// The list table and its override table for the lists met in the body, one simple list each. Readers
// that know them take each list's kind, first number and text around the number from here.
void RtfWriter::writeListTables(QByteArray& out) {
    if (lists_.empty()) {
        return;
    }
    std::swap(out, out_);
    out_.append("{\\*\\listtable");
    for (size_t i = 0; i < lists_.size(); ++i) {
        out_.append("{\\list");
        word("listtemplateid", int(i + 1));
        word("listsimple");
        writeListLevel(lists_[i]);
        word("listid", int(i + 1));
        out_.append('}');
    }
    out_.append("}\r\n{\\*\\listoverridetable");
    for (size_t i = 0; i < lists_.size(); ++i) {
        out_.append("{\\listoverride");
        word("listid", int(i + 1));
        word("listoverridecount", 0);
        word("ls", int(i + 1));
        out_.append('}');
    }
    out_.append("}\r\n");
    std::swap(out, out_);
}

void RtfWriter::writeListLevel(const ListInfo& info) {
    const QTextListFormat format = info.list->format();
    const int nfc = levelNfc(format.style());
    out_.append("{\\listlevel");
    word("levelnfc", nfc);
    word("levelnfcn", nfc);
    out_.append("\\leveljc0\\leveljcn0\\levelfollow0");
    word("levelstartat", numberingStart(format));
    // The level text starts with its length; \'00 stands for the number, whose place
    // \levelnumbers gives.
    static constexpr qsizetype kMaxAround = 100;
    const QString prefix = nfc == kBulletNfc ? bulletText(format.style()) : numberPrefix(format).left(kMaxAround);
    const QString suffix = nfc == kBulletNfc ? QString() : numberSuffix(format).left(kMaxAround);
    const int length = int(prefix.size()) + (nfc == kBulletNfc ? 0 : 1) + int(suffix.size());
    out_.append("{\\leveltext");
    writeHexByte(length);
    writeLevelTextPart(prefix);
    if (nfc != kBulletNfc) {
        out_.append("\\'00");
        writeLevelTextPart(suffix);
    }
    out_.append(";}{\\levelnumbers");
    if (nfc != kBulletNfc) {
        writeHexByte(int(prefix.size()) + 1);
    }
    out_.append(";}");
    if (info.firstIndent) {
        word("fi", info.firstIndent);
    }
    if (info.leftIndent) {
        word("li", info.leftIndent);
    }
    out_.append('}');
}

void RtfWriter::writeHexByte(int value) {
    static const char hex[] = "0123456789abcdef";
    out_.append("\\'").append(hex[(value >> 4) & 15]).append(hex[value & 15]);
}

// A ";" would end the level text early in some readers, so it goes as its byte.
void RtfWriter::writeLevelTextPart(const QString& text) {
    qsizetype from = 0;
    for (qsizetype at = text.indexOf(u';'); at >= 0; at = text.indexOf(u';', from)) {
        writeText(QStringView(text).mid(from, at - from), kKoreanCharset);
        writeHexByte(';');
        from = at + 1;
    }
    writeText(QStringView(text).mid(from), kKoreanCharset);
}

void RtfWriter::writeFrame(QTextFrame* frame, bool inTable) {
    for (auto it = frame->begin(); !it.atEnd(); ++it) {
        if (QTextFrame* child = it.currentFrame()) {
            if (child->lastPosition() < from_ || (to_ >= 0 && child->firstPosition() >= to_)) {
                continue;
            }
            if (auto* table = qobject_cast<QTextTable*>(child); table && !inTable) {
                writeTable(table);
            } else {
                writeFrame(child, inTable);
            }
            continue;
        }
        const QTextBlock block = it.currentBlock();
        const int end = block.position() + block.length();
        if (end <= from_ || (to_ >= 0 && block.position() >= to_)) {
            continue;
        }
        writeBlock(block, inTable, false);
    }
}

void RtfWriter::writeTable(QTextTable* table) {
    const QTextTableFormat format = table->format();
    const QList<QTextLength> widths = format.columnWidthConstraints();
    QList<int> right;
    int edge = pixelsToTwips(format.leftMargin());
    for (int c = 0; c < table->columns(); ++c) {
        int width = kDefaultTableWidthTwips / std::max(1, table->columns());
        if (c < widths.size() && widths[c].type() == QTextLength::FixedLength) {
            width = std::max(15, pixelsToTwips(widths[c].rawValue()));
        } else if (c < widths.size() && widths[c].type() == QTextLength::PercentageLength) {
            width = std::max(15, int(kDefaultTableWidthTwips * widths[c].rawValue() / 100));
        }
        edge += width;
        right.append(edge);
    }
    const bool borders = format.border() > 0;
    for (int r = 0; r < table->rows(); ++r) {
        out_.append("\\trowd\\trgaph108");
        word("trleft", pixelsToTwips(format.leftMargin()));
        for (int c = 0; c < table->columns();) {
            const QTextTableCell cell = table->cellAt(r, c);
            if (cell.row() != r) {
                word("clvmrg");
            } else if (cell.rowSpan() > 1) {
                word("clvmgf");
            }
            if (borders) {
                out_.append(
                    "\\clbrdrt\\brdrs\\brdrw10\\clbrdrl\\brdrs\\brdrw10\\clbrdrb\\brdrs\\brdrw10"
                    "\\clbrdrr\\brdrs\\brdrw10");
            }
            const QTextCharFormat cellFormat = cell.format();
            if (cellFormat.hasProperty(QTextFormat::BackgroundBrush)) {
                word("clcbpat", colorIndex(cellFormat.background().color()));
            }
            c += std::max(1, cell.columnSpan());
            word("cellx", right[std::min(c, int(right.size())) - 1]);
        }
        out_.append("\r\n");
        for (int c = 0; c < table->columns();) {
            const QTextTableCell cell = table->cellAt(r, c);
            c += std::max(1, cell.columnSpan());
            if (cell.row() != r) {
                out_.append("\\pard\\intbl\\cell ");
                continue;
            }
            // A table inside a cell is written as the cell's paragraphs, so its text stays.
            QList<QTextBlock> blocks;
            for (QTextBlock block = doc_.findBlock(cell.firstPosition());
                 block.isValid() && block.position() <= cell.lastPosition(); block = block.next()) {
                blocks.append(block);
            }
            for (qsizetype i = 0; i < blocks.size(); ++i) {
                writeBlock(blocks[i], true, i + 1 == blocks.size());
            }
            if (blocks.isEmpty()) {
                out_.append("\\pard\\intbl\\cell ");
            }
        }
        out_.append("\\row\r\n");
    }
    out_.append("\\pard\r\n");
}

void RtfWriter::writeBlock(const QTextBlock& block, bool inTable, bool lastInCell) {
    writeParagraphFormat(block, inTable);
    if (block.textList()) {
        writeNumbering(block);
    }
    const int blockEnd = block.position() + block.length() - 1;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        const int start = std::max(fragment.position(), from_);
        const int end =
            to_ >= 0 ? std::min(fragment.position() + fragment.length(), to_) : fragment.position() + fragment.length();
        if (start >= end) {
            continue;
        }
        RunInfo& run = runInfo(fragment.charFormatIndex());
        if (run.link != linkOpen_) {
            if (!linkOpen_.isEmpty()) {
                out_.append("}}");
            }
            if (!run.link.isEmpty()) {
                out_.append("{\\field{\\*\\fldinst HYPERLINK \"");
                writeText(run.link, kKoreanCharset);
                out_.append("\"}{\\fldrslt ");
            }
            linkOpen_ = run.link;
        }
        const QString text = fragment.text();
        const QStringView part = QStringView(text).mid(start - fragment.position(), end - start);
        const auto writeRun = [&](QStringView piece) {
            out_.append('{');
            if (needsKoreanFont(piece, run.charset)) {
                out_.append(koreanWords(run));
                out_.append(' ');
                writeText(piece, kKoreanCharset);
            } else {
                out_.append(run.words);
                out_.append(' ');
                writeText(piece, run.charset);
            }
            out_.append('}');
        };
        if (!run.image) {
            writeRun(part);
            continue;
        }
        // Only the object characters of a picture's run are pictures: text that took on a
        // picture's format stays text.
        const QTextImageFormat image = fragment.charFormat().toImageFormat();
        qsizetype textFrom = 0;
        for (qsizetype i = 0; i <= part.size(); ++i) {
            if (i < part.size() && part[i] != QChar::ObjectReplacementCharacter) {
                continue;
            }
            if (i > textFrom) {
                writeRun(part.mid(textFrom, i - textFrom));
            }
            if (i < part.size()) {
                writeImage(image);
            }
            textFrom = i + 1;
        }
    }
    if (!linkOpen_.isEmpty()) {
        out_.append("}}");
        linkOpen_.clear();
    }
    if (to_ >= 0 && blockEnd >= to_) {
        return;  // the range ends inside this paragraph
    }
    // The paragraph mark keeps the paragraph's own character format (the size of an empty line).
    out_.append("\\plain");
    out_.append(runInfo(block.charFormatIndex()).words);
    out_.append(lastInCell ? "\\cell\r\n" : "\\par\r\n");
}

void RtfWriter::writeParagraphFormat(const QTextBlock& block, bool inTable) {
    out_.append("\\pard");
    if (inTable) {
        word("intbl");
    }
    const int index = block.blockFormatIndex();
    if (index >= 0 && size_t(index) < paragraphs_.size()) {
        if (!paragraphReady_[size_t(index)]) {
            std::swap(paragraphs_[size_t(index)], out_);
            writeParagraphWords(block);
            std::swap(paragraphs_[size_t(index)], out_);
            paragraphReady_[size_t(index)] = true;
        }
        out_.append(paragraphs_[size_t(index)]);
    } else {
        writeParagraphWords(block);
    }
}

// A paragraph's first-line and left indents in twips, as written.
std::pair<int, int> RtfWriter::indentsOf(const QTextBlock& block) const {
    const QTextBlockFormat format = block.blockFormat();
    // Qt's indent levels (of the paragraph and of its list) become part of the left indent.
    int levels = format.indent();
    if (const QTextList* list = block.textList()) {
        levels += list->format().indent();
    }
    const qreal left = format.leftMargin() + levels * doc_.indentWidth();
    // A numbered paragraph's first-line indent is kept aside, unless someone has set one since.
    const bool numbered =
        block.textList() && format.hasProperty(richformat::NumberFirstIndentTwips) && format.textIndent() == 0;
    const int fi =
        numbered ? format.intProperty(richformat::NumberFirstIndentTwips) : pixelsToTwips(format.textIndent());
    return {fi, pixelsToTwips(left)};
}

void RtfWriter::writeParagraphWords(const QTextBlock& block) {
    const QTextBlockFormat format = block.blockFormat();
    if (format.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore) {
        word("pagebb");
    }
    if (format.layoutDirection() == Qt::RightToLeft) {
        word("rtlpar");
    }
    const Qt::Alignment align = format.alignment() & Qt::AlignHorizontal_Mask;
    if (align & Qt::AlignHCenter) {
        word("qc");
    } else if (align & Qt::AlignJustify) {
        word("qj");
    } else if (align & Qt::AlignRight) {
        word("qr");
    }
    const auto [fi, li] = indentsOf(block);
    if (fi) {
        word("fi", fi);
    }
    if (li) {
        word("li", li);
    }
    if (const int ri = pixelsToTwips(format.rightMargin())) {
        word("ri", ri);
    }
    if (const int sb = pixelsToTwips(format.topMargin())) {
        word("sb", sb);
    }
    if (const int sa = pixelsToTwips(format.bottomMargin())) {
        word("sa", sa);
    }
    if (format.hasProperty(richformat::LineSpacingRule)) {
        const int value = format.intProperty(richformat::LineSpacingTwips);
        switch (format.intProperty(richformat::LineSpacingRule)) {
            case 1:
                out_.append("\\sl360\\slmult1");
                break;
            case 2:
                out_.append("\\sl480\\slmult1");
                break;
            case 3:
                word("sl", value);
                word("slmult", 0);
                break;
            case 4:
                word("sl", -value);
                word("slmult", 0);
                break;
            case 5:
                word("sl", value * 12);  // twentieths of a line in 240ths
                word("slmult", 1);
                break;
            default:
                break;
        }
    } else if (format.hasProperty(QTextFormat::LineHeightType)) {
        const qreal height = format.lineHeight();
        switch (format.lineHeightType()) {
            case QTextBlockFormat::ProportionalHeight:
                word("sl", int(height * 240 / 100));
                word("slmult", 1);
                break;
            case QTextBlockFormat::FixedHeight:
                word("sl", -pixelsToTwips(height));
                word("slmult", 0);
                break;
            case QTextBlockFormat::MinimumHeight:
                word("sl", pixelsToTwips(height));
                word("slmult", 0);
                break;
            default:
                break;
        }
    }
    for (const QTextOption::Tab& tab : format.tabPositions()) {
        if (tab.type == QTextOption::RightTab) {
            word("tqr");
        } else if (tab.type == QTextOption::CenterTab) {
            word("tqc");
        } else if (tab.type == QTextOption::DelimiterTab) {
            word("tqdec");
        }
        word("tx", pixelsToTwips(tab.position));
    }
    out_.append(' ');
}

// The list's \ls number, the list registered for the list table when first met.
int RtfWriter::listNumber(const QTextBlock& block) {
    const QTextList* list = block.textList();
    const auto it = listNumbers_.constFind(list);
    if (it != listNumbers_.constEnd()) {
        return it.value();
    }
    const auto [fi, li] = indentsOf(block);
    lists_.push_back(ListInfo{list, fi, li});
    listNumbers_.insert(list, int(lists_.size()));
    return int(lists_.size());
}

// Numbering in both forms: the list table's (\ls) and the older paragraph form, which some readers
// know alone. The number comes first as text for readers that know no numbering, in the \pntext
// group that readers of either form skip (the older rich edit controls know no \listtext).
void RtfWriter::writeNumbering(const QTextBlock& block) {
    const QTextList* list = block.textList();
    const QTextListFormat format = list->format();
    const bool bullet = isBullet(format.style());
    word("ls", listNumber(block));
    out_.append("\\ilvl0{\\pntext\\f0 ");
    if (bullet) {
        writeText(bulletText(format.style()), kKoreanCharset);
    } else {
        // The list's own first number counts, which Qt's item text does not know of.
        const QString number = numberPrefix(format) +
                               numberText(list->itemNumber(block) + numberingStart(format), format.style()) +
                               numberSuffix(format);
        writeText(number, kKoreanCharset);
    }
    out_.append("\\tab}{\\*\\pn");
    if (bullet) {
        out_.append("\\pnlvlblt");
    } else {
        out_.append("\\pnlvlbody");
        switch (format.style()) {
            case QTextListFormat::ListLowerAlpha:
                word("pnlcltr");
                break;
            case QTextListFormat::ListUpperAlpha:
                word("pnucltr");
                break;
            case QTextListFormat::ListLowerRoman:
                word("pnlcrm");
                break;
            case QTextListFormat::ListUpperRoman:
                word("pnucrm");
                break;
            default:
                word("pndec");
                break;
        }
        word("pnstart", numberingStart(format));
    }
    word("pnindent", format.intProperty(richformat::NumberingTabTwips));
    if (bullet) {
        out_.append(format.style() == QTextListFormat::ListCircle   ? "{\\pntxtb\\u9675?}"
                    : format.style() == QTextListFormat::ListSquare ? "{\\pntxtb\\u9642?}"
                                                                    : "{\\pntxtb\\u8226?}");
    } else {
        if (const QString prefix = numberPrefix(format); !prefix.isEmpty()) {
            out_.append("{\\pntxtb ");
            writeText(prefix, kKoreanCharset);
            out_.append('}');
        }
        if (const QString suffix = numberSuffix(format); !suffix.isEmpty()) {
            out_.append("{\\pntxta ");
            writeText(suffix, kKoreanCharset);
            out_.append('}');
        }
    }
    out_.append('}');
}

void RtfWriter::writeCharFormat(const QTextCharFormat& format) {
    word("f", fontIndex(format));
    const double points = format.fontPointSize() > 0 ? format.fontPointSize() : doc_.defaultFont().pointSizeF();
    word("fs", std::max(2, int(points * 2 + 0.5)));
    if (format.fontWeight() >= QFont::DemiBold) {
        word("b");
    }
    if (format.fontItalic()) {
        word("i");
    }
    if (format.fontStrikeOut()) {
        word("strike");
    }
    if (format.fontCapitalization() == QFont::AllUppercase) {
        word("caps");
    } else if (format.fontCapitalization() == QFont::SmallCaps) {
        word("scaps");
    }
    using K = richformat::UnderlineType;
    K kind = K(format.intProperty(richformat::UnderlineKind));
    if (kind == K::None && format.fontUnderline()) {
        kind = K::Single;
    }
    static const char* underlines[] = {nullptr,   "ul",       "ulw",    "uldb", "uld",   "uldash",
                                       "uldashd", "uldashdd", "ulwave", "ulth", "ulhair"};
    if (int(kind) > 0 && int(kind) <= 10) {
        word(underlines[int(kind)]);
    }
    if (format.verticalAlignment() == QTextCharFormat::AlignSuperScript) {
        word("super");
    } else if (format.verticalAlignment() == QTextCharFormat::AlignSubScript) {
        word("sub");
    }
    if (format.boolProperty(richformat::Hidden)) {
        word("v");
    }
    if (format.boolProperty(richformat::Protected)) {
        word("protect");
    }
    if (format.hasProperty(QTextFormat::ForegroundBrush)) {
        word("cf", colorIndex(format.foreground().color()));
    }
    if (format.hasProperty(QTextFormat::BackgroundBrush)) {
        const int index = colorIndex(format.background().color());
        word("chcbpat", index);
        word("highlight", index);
    }
}

// Characters outside ASCII are written as \uN followed by their bytes in the font's code page (or
// "?"), with \uc telling readers how many bytes to skip. Every caller writes inside a group of its
// own, so \uc starts at 1 here and needs no restoring.
void RtfWriter::writeText(QStringView text, int charset) {
    int uc = 1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 0x20 && c < 0x80 && c != '\\' && c != '{' && c != '}') {
            // A span of plain ASCII goes in at once.
            qsizetype end = i + 1;
            while (end < text.size()) {
                const char16_t d = text[end].unicode();
                if (d < 0x20 || d >= 0x80 || d == '\\' || d == '{' || d == '}') {
                    break;
                }
                ++end;
            }
            const qsizetype at = out_.size();
            out_.resize(at + (end - i));
            char* p = out_.data() + at;
            for (qsizetype j = i; j < end; ++j) {
                *p++ = char(text[j].unicode());
            }
            i = end - 1;
            continue;
        }
        if (c >= 0x20 && c < 0x80) {
            if (c == '\\' || c == '{' || c == '}') {
                out_.append('\\');
            }
            out_.append(char(c));
            continue;
        }
        switch (c) {
            case u'\t':
                out_.append("\\tab ");
                continue;
            case 0x2028:
            case u'\n':
                out_.append("\\line ");
                continue;
            case 0x00A0:
                out_.append("\\~");
                continue;
            case 0x00AD:
                out_.append("\\-");
                continue;
            case 0x2011:
                out_.append("\\_");
                continue;
            case QChar::ObjectReplacementCharacter:
            case QChar::ParagraphSeparator:
                continue;
            default:
                break;
        }
        if (c < 0x20) {
            continue;
        }
        const QByteArray& fallback = fallbackOf(c, charset);
        const int count = fallback.size() == 1 ? 1 : int(fallback.size() / 4);
        if (count != uc) {
            word("uc", count);
            uc = count;
        }
        word("u", c > 32767 ? int(c) - 65536 : int(c));
        out_.append(fallback);
    }
}

// Font names in the code page alone when they have a form there: readers that know only code
// pages read them, and those that know \\u read them too.
void RtfWriter::writeFontName(const QString& name, int charset) {
    QByteArray bytes;
    if (!codepage::encode(codePageOfCharset(charset), name, &bytes)) {
        writeText(name, charset);
        return;
    }
    static const char hex[] = "0123456789abcdef";
    for (char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        if (u >= 0x20 && u < 0x80 && u != '\\' && u != '{' && u != '}' && u != ';') {
            out_.append(b);
        } else {
            out_.append("\\'").append(hex[u >> 4]).append(hex[u & 15]);
        }
    }
}

// "?" or the \'xx escapes of the character's bytes in the code page of the charset.
const QByteArray& RtfWriter::fallbackOf(char16_t c, int charset) {
    const quint32 key = (quint32(charset) << 16) | c;
    auto it = fallback_.find(key);
    if (it == fallback_.end()) {
        QByteArray bytes;
        const QChar ch(c);
        if (QChar::isSurrogate(c) || !codepage::encode(codePageOfCharset(charset), QStringView(&ch, 1), &bytes) ||
            bytes.isEmpty() || bytes == "?") {
            it = fallback_.emplace(key, QByteArray("?")).first;
        } else {
            static const char hex[] = "0123456789abcdef";
            QByteArray rtf;
            for (char b : bytes) {
                const auto u = static_cast<unsigned char>(b);
                rtf.append("\\'").append(hex[u >> 4]).append(hex[u & 15]);
            }
            it = fallback_.emplace(key, rtf).first;
        }
    }
    return it->second;
}

void RtfWriter::writeImage(const QTextImageFormat& format) {
    const QByteArray object = format.property(richformat::ObjectRtf).toByteArray();
    if (!object.isEmpty()) {
        out_.append(object);
        return;
    }
    if (!format.stringProperty(richformat::ObjectClass).isEmpty()) {
        appendObjectGroup(out_, doc_, format);
        return;
    }
    appendPicture(out_, doc_, format);
}

}  // namespace

QByteArray writeRtf(const QTextDocument& document, int from, int to) {
    RtfWriter writer(document, std::max(0, from), to);
    return writer.write();
}

}  // namespace tk::rtf
