#pragma once

#include "richtext/rtf_builder.h"
#include "richtext/rtf_keywords.h"
#include "richtext/rtf_picture.h"
#include "richtext/rtf_tokenizer.h"
#include "richtext/symbol_fonts.h"

#include <QColor>
#include <QHash>
#include <QTextCharFormat>

#include <array>
#include <map>
#include <string>
#include <vector>

namespace tk::rtf {

// Where the text of a group goes.
enum class Dest : unsigned char {
    Normal,
    Skip,
    Upr,  // the code-page half of \upr: dropped, its \ud half is read
    FontTable,
    ColorTable,
    Pict,
    Object,
    ObjClass,
    ObjData,
    ObjResult,
    TkObject,  // this program's mark on an object group it wrote
    FieldInst,
    ListTable,
    List,
    ListLevel,
    LevelText,
    ListOverrideTable,
    ListOverride,
    Pn,
    PnTxtA,
    PnTxtB,
    PnText,          // the writer's own rendering of a paragraph's number
    Note,            // a footnote's or endnote's text, kept for the end of the document
    NestTableProps,  // a nested table row's properties, whose \nestrow ends the row
};

// Formatting of East Asian text given by the associated words (\af, \afs, \ab, \ai after \dbch),
// which some writers use for Korean text instead of the plain ones.
struct EastAsianFormat {
    int font = -1;
    int halfPoints = 0;
    signed char bold = -1;
    signed char italic = -1;
    bool any() const { return font >= 0 || halfPoints > 0 || bold >= 0 || italic >= 0; }
};

// Which text the associated words describe.
enum class AssocScript : unsigned char { Latin, EastAsian, RightToLeft };

// The state of one group; a group starts with a copy of its parent's.
struct GroupState {
    Dest dest = Dest::Normal;
    bool ignorable = false;  // \* seen: an unknown destination word skips the group
    int uc = 1;
    int font = -1;
    const char* charset = nullptr;  // iconv name for text bytes
    QTextCharFormat chr;
    quint64 chrVersion = 0;
    EastAsianFormat eastAsian;
    AssocScript assoc = AssocScript::Latin;
    ParaState para;
    qsizetype groupOffset = 0;
};

struct FontEntry {
    QString name;
    int charset = -1;
    int codePage = 0;
    int pitchFamily = 0;
    bool nameDone = false;
    // The symbol font the entry is (a symbolfont::Font), -1 until first asked: runs name their font
    // again and again, and a name comparison each time would cost every document.
    mutable signed char symbol = -1;
};

struct ListLevelDef {
    QTextListFormat::Style style = QTextListFormat::ListDecimal;
    int start = 1;
    QString prefix;
    QString suffix;
};

struct ListDef {
    int id = 0;
    std::array<ListLevelDef, 9> levels;
    int levelCount = 0;
};

// A run of a footnote's or endnote's text in its format.
struct NoteRun {
    QString text;
    QTextCharFormat format;
};

// A footnote or endnote: its paragraphs are placed after the end of the document, each note led by
// its number, so that the note neither breaks the paragraph it is marked in nor is lost.
struct Note {
    bool endnote = false;
    bool numbered = false;     // marked by an automatic number (\chftn) in the text
    bool numberShown = false;  // the note's own text shows its number
    int number = 0;            // 0: not given yet
    std::vector<std::vector<NoteRun>> paragraphs;
};

struct FieldState {
    QString instruction;
    int depth = 0;
    bool shown = false;  // text of the field (its result) reached the document
};

struct ObjectState {
    bool active = false;
    qsizetype start = 0;
    int depth = 0;
    QString className;
    QByteArray data;
    int width = 0;
    int height = 0;
    bool hasPicture = false;
    QTextImageFormat picture;
    bool own = false;         // written by this program: written anew from its properties
    qsizetype tailBytes = 0;  // the native data's last bytes that are the result picture's
};

// Collects hex digits into bytes, ignoring anything else.
struct HexCollector {
    int high = -1;
    void add(QByteArrayView text, QByteArray* out);
    // Collects from the start of rest up to the next backslash or brace; returns how many bytes
    // that was. Room is made a piece of kPiece input bytes at a time, so out may grow up to
    // kMaxOvershoot bytes past what it ends with.
    qsizetype addRun(QByteArrayView rest, QByteArray* out);
    static constexpr qsizetype kPiece = 16384;
    static constexpr qsizetype kMaxOvershoot = kPiece / 2 + 8;

  private:
    qsizetype collect(QByteArrayView input, QByteArray* out, bool stopAtControl);
};

class RtfReader final : public RtfListener {
  public:
    // memoryBudget: what the document built may take, in bytes (see kMaxReadMemory).
    RtfReader(const RtfTokenizer& tokenizer, QTextCursor& cursor, qint64 memoryBudget);

    RtfError groupStart() override;
    RtfError groupEnd() override;
    RtfError controlWord(std::string_view word, bool hasParameter, int parameter) override;
    RtfError controlSymbol(char symbol) override;
    RtfError hexByte(unsigned char byte) override;
    RtfError text(QByteArrayView bytes) override;
    RtfError binary(QByteArrayView bytes) override;
    bool takesHexDigits() const override {
        return skip_ == 0 && (stack_.back().dest == Dest::Pict || stack_.back().dest == Dest::ObjData);
    }
    qsizetype hexDigits(QByteArrayView rest) override;
    // Reading ends with the document's own group, or when the document has used up its memory.
    bool finished() const override { return finished_ || builder_.outOfMemory(); }

    void finish();
    bool outOfMemory() const { return builder_.outOfMemory(); }
    int depth() const { return int(stack_.size()) - 1; }

  private:
    GroupState& top() { return stack_.back(); }
    void flushBytes();
    void deliver(QStringView text);
    void deliverChar(char16_t c);
    void flushSymbolBytes(symbolfont::Font font);
    void deliverSymbolCharacter(char32_t c);
    void deliverSymbolText(QStringView text);
    void touchFormat(GroupState& state) { state.chrVersion = ++formatCounter_; }
    const char* codePageName(int codePage);
    const char* charsetCodePage(int charset);
    const char* fontCodePage(int number);
    const Numbering* numberingFor(const ParaState& para);

    bool destinationWord(Kw kw, GroupState& state);
    void endGroup(GroupState& closing, GroupState& parent);
    bool characterWord(Kw kw, bool has, int param, GroupState& state);
    bool associatedWord(Kw kw, bool has, int param, GroupState& state);
    QTextCharFormat eastAsianFormat(const GroupState& state) const;
    // The East Asian format last built, and the format state it was built for.
    QTextCharFormat eastAsianFormat_;
    quint64 eastAsianVersion_ = 0;
    // The format of glyph codes in a symbol font, and the format state it was built for.
    QTextCharFormat glyphFormat_;
    quint64 glyphVersion_ = 0;
    // The format state of the text delivered last.
    quint64 lastVersion_ = 0;
    bool paragraphWord(Kw kw, bool has, int param, GroupState& state);
    bool specialWord(Kw kw, int param, GroupState& state);
    bool tableWord(Kw kw, int param, GroupState& state);
    void documentWord(Kw kw, int param, GroupState& state);
    void fontTableWord(Kw kw, int param, GroupState& state);
    void colorTableText(QByteArrayView bytes);
    void fontTableText(QByteArrayView bytes, GroupState& state);
    void pictureWord(Kw kw, std::string_view word, bool has, int param);
    void listWord(Kw kw, int param, GroupState& state);
    void pnWord(Kw kw, int param, GroupState& state);
    void applyFont(GroupState& state, int number);
    void applyPlain(GroupState& state);
    void applyLineSpacing(ParaState& para);
    void setUnderline(GroupState& state, int kind);
    QColor colorAt(int index) const;
    void endPicture(GroupState& parent);
    void endObject(GroupState& parent);
    bool takeNative(QString* className);
    void reservePicture(qsizetype bytes);
    void endListLevel();
    void startFieldResult(GroupState& state);
    bool noteWord(Kw kw, GroupState& state);
    void startNote(GroupState& state);
    void endNote();
    void noteText(QStringView text, const QTextCharFormat& format);
    QString noteNumber(Note& note);  // gives the note its number when it has none yet
    QString noteLabel(const Note& note) const;
    bool noteNumberingWord(Kw kw);
    void markWord(GroupState& state);
    void flushMark();
    void appendNotes();
    void nestedCell(GroupState& state);
    void nestedRow(GroupState& state);
    void flushNestedTab();
    int shownNumber(const Numbering& pn) const;
    void endField(const GroupState& closing, const GroupState& parent);
    QString symbolFieldText(const symbolfont::SymbolField& field, const GroupState& closing, QTextCharFormat* format);
    static void dropSymbolFamily(QTextCharFormat& format);
    int fontNumberNamed(const QString& name);

    const RtfTokenizer& tokenizer_;
    RtfBuilder builder_;
    std::vector<GroupState> stack_;
    bool finished_ = false;
    quint64 formatCounter_ = 0;
    qint64 skippedGroups_ = 0;  // groups open inside a skipped group
    size_t deepest_ = 0;        // the deepest the stack has been, its memory charged

    QByteArray bytes_;
    const char* bytesCharset_ = nullptr;
    qint64 skip_ = 0;

    const char* ansiCodePage_ = "CP949";
    int defaultFont_ = 0;
    QHash<int, FontEntry> fonts_;
    QHash<QString, int> fontsByName_;  // case-folded name -> font number, built when first needed
    int tableFont_ = -1;
    QList<QColor> colors_;
    int red_ = 0, green_ = 0, blue_ = 0;
    bool colorSet_ = false;

    RtfPicture picture_;
    PictureBudget pictureBudget_;
    PendingPictures pendingPictures_;
    QByteArray pictureKindWord_;
    HexCollector pictureHex_;
    bool pictureReserved_ = false;  // room for the picture was made from a declared count
    ObjectState object_;
    HexCollector objectHex_;
    std::vector<FieldState> fields_;
    // Where text reaching the document marks its field as shown: the innermost field's flag, or a
    // flag no one reads outside fields. A store costs the text less than a look at fields_.
    bool noField_ = false;
    bool* fieldShown_ = &noField_;

    QHash<int, ListDef> lists_;
    QHash<int, int> overrides_;  // \ls number -> list id
    ListDef list_;
    ListLevelDef level_;
    QString levelText_;
    int overrideList_ = 0;
    int overrideLs_ = 0;
    Numbering numbering_;
    QString pnText_;  // the \pntext of the paragraph being read

    std::vector<Note> notes_;
    int noteDepth_ = -1;  // depth of the note group being read, -1: none
    int footnotes_ = 0;
    int endnotes_ = 0;
    // Footnotes are numbered 1, 2, 3 and endnotes i, ii, iii unless the document says otherwise.
    QTextListFormat::Style footnoteStyle_ = QTextListFormat::ListDecimal;
    QTextListFormat::Style endnoteStyle_ = QTextListFormat::ListLowerRoman;
    // An automatic note number in the text waits for its note, which says whether it counts as a
    // footnote or an endnote.
    bool markPending_ = false;
    QTextCharFormat markFormat_;
    quint64 markVersion_ = 0;
    ParaState markPara_;

    // A nested table's cell ended: its text and the next cell's are kept apart by a tab.
    bool nestedTabPending_ = false;
    bool nestedRowOpen_ = false;
};

}  // namespace tk::rtf
