#pragma once

#include <QRect>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>

// Records, flags and notification data of the rich edit window, with the values the rich text
// control and stored documents know them by.
namespace tk::richedit {

// Event mask bits: which notifications the window sends.
inline constexpr quint32 ENM_NONE = 0;
inline constexpr quint32 ENM_CHANGE = 0x00000001;
inline constexpr quint32 ENM_SCROLL = 0x00000004;
inline constexpr quint32 ENM_REQUESTRESIZE = 0x00040000;
inline constexpr quint32 ENM_SELCHANGE = 0x00080000;
inline constexpr quint32 ENM_PROTECTED = 0x00200000;
inline constexpr quint32 ENM_LINK = 0x04000000;

// Stream formats and flags.
inline constexpr int SF_TEXT = 0x0001;
inline constexpr int SF_RTF = 0x0002;
inline constexpr int SF_RTFNOOBJS = 0x0003;
inline constexpr int SF_UNICODE = 0x0010;
// Plain text in the code page named in the high word of the flags; the window knows CP_UTF8.
inline constexpr int SF_USECODEPAGE = 0x0020;
inline constexpr int CP_UTF8 = 65001;
inline constexpr int SFF_PLAINRTF = 0x4000;
inline constexpr int SFF_SELECTION = 0x8000;

// Text modes.
inline constexpr int TM_PLAINTEXT = 1;
inline constexpr int TM_RICHTEXT = 2;
inline constexpr int TM_SINGLELEVELUNDO = 4;
inline constexpr int TM_MULTILEVELUNDO = 8;

// Selection kinds.
inline constexpr int SEL_EMPTY = 0x0000;
inline constexpr int SEL_TEXT = 0x0001;
inline constexpr int SEL_OBJECT = 0x0002;
inline constexpr int SEL_MULTICHAR = 0x0004;
inline constexpr int SEL_MULTIOBJECT = 0x0008;

// Targets of the character format messages.
inline constexpr int SCF_DEFAULT = 0;
inline constexpr int SCF_SELECTION = 1;
inline constexpr int SCF_WORD = 2;

// Character format mask and effect bits.
inline constexpr quint32 CFM_BOLD = 0x00000001;
inline constexpr quint32 CFM_ITALIC = 0x00000002;
inline constexpr quint32 CFM_UNDERLINE = 0x00000004;
inline constexpr quint32 CFM_STRIKEOUT = 0x00000008;
inline constexpr quint32 CFM_PROTECTED = 0x00000010;
inline constexpr quint32 CFM_LINK = 0x00000020;
inline constexpr quint32 CFM_HIDDEN = 0x00000100;
inline constexpr quint32 CFM_SUBSCRIPT = 0x00030000;  // subscript and superscript together
inline constexpr quint32 CFM_UNDERLINETYPE = 0x00800000;
inline constexpr quint32 CFM_WEIGHT = 0x00400000;
inline constexpr quint32 CFM_SPACING = 0x00200000;
inline constexpr quint32 CFM_LCID = 0x02000000;
inline constexpr quint32 CFM_BACKCOLOR = 0x04000000;
inline constexpr quint32 CFM_CHARSET = 0x08000000;
inline constexpr quint32 CFM_OFFSET = 0x10000000;
inline constexpr quint32 CFM_FACE = 0x20000000;
inline constexpr quint32 CFM_COLOR = 0x40000000;
inline constexpr quint32 CFM_SIZE = 0x80000000;

inline constexpr quint32 CFE_BOLD = 0x00000001;
inline constexpr quint32 CFE_ITALIC = 0x00000002;
inline constexpr quint32 CFE_UNDERLINE = 0x00000004;
inline constexpr quint32 CFE_STRIKEOUT = 0x00000008;
inline constexpr quint32 CFE_PROTECTED = 0x00000010;
inline constexpr quint32 CFE_LINK = 0x00000020;
inline constexpr quint32 CFE_HIDDEN = 0x00000100;
inline constexpr quint32 CFE_SUBSCRIPT = 0x00010000;
inline constexpr quint32 CFE_SUPERSCRIPT = 0x00020000;
inline constexpr quint32 CFE_AUTOBACKCOLOR = 0x04000000;
inline constexpr quint32 CFE_AUTOCOLOR = 0x40000000;

// Paragraph format mask bits.
inline constexpr quint32 PFM_STARTINDENT = 0x00000001;
inline constexpr quint32 PFM_RIGHTINDENT = 0x00000002;
inline constexpr quint32 PFM_OFFSET = 0x00000004;
inline constexpr quint32 PFM_ALIGNMENT = 0x00000008;
inline constexpr quint32 PFM_TABSTOPS = 0x00000010;
inline constexpr quint32 PFM_NUMBERING = 0x00000020;
inline constexpr quint32 PFM_SPACEBEFORE = 0x00000040;
inline constexpr quint32 PFM_SPACEAFTER = 0x00000080;
inline constexpr quint32 PFM_LINESPACING = 0x00000100;
inline constexpr quint32 PFM_NUMBERINGSTYLE = 0x00002000;
inline constexpr quint32 PFM_NUMBERINGTAB = 0x00004000;
inline constexpr quint32 PFM_NUMBERINGSTART = 0x00008000;
inline constexpr quint32 PFM_RTLPARA = 0x00010000;
inline constexpr quint32 PFM_OFFSETINDENT = 0x80000000;

inline constexpr int PFA_LEFT = 1;
inline constexpr int PFA_RIGHT = 2;
inline constexpr int PFA_CENTER = 3;
inline constexpr int PFA_JUSTIFY = 4;

inline constexpr int PFN_BULLET = 1;
inline constexpr int PFN_ARABIC = 2;
inline constexpr int PFN_LCLETTER = 3;
inline constexpr int PFN_UCLETTER = 4;
inline constexpr int PFN_LCROMAN = 5;
inline constexpr int PFN_UCROMAN = 6;

inline constexpr int MAX_TAB_STOPS = 32;

// The largest text limit the window accepts.
inline constexpr int kMaxTextLimit = 0xFFFFFF;

// A character format. Lengths are in twips; colours are 0x00BBGGRR. dwMask says which fields are
// meant (when writing) or are the same over the whole range (when reading).
struct CharFormat2 {
    quint32 dwMask = 0;
    quint32 dwEffects = 0;
    qint32 yHeight = 0;
    qint32 yOffset = 0;
    quint32 crTextColor = 0;
    quint8 bCharSet = 0;
    quint8 bPitchAndFamily = 0;
    QString szFaceName;  // at most 31 characters are kept
    quint16 wWeight = 0;
    qint16 sSpacing = 0;
    quint32 crBackColor = 0;
    quint32 lcid = 0;
    quint8 bUnderlineType = 0;
};

// A paragraph format, lengths in twips. dxStartIndent is the first line's indent, dxOffset the
// other lines' indent relative to the first line.
struct ParaFormat2 {
    quint32 dwMask = 0;
    quint16 wNumbering = 0;
    qint32 dxStartIndent = 0;
    qint32 dxRightIndent = 0;
    qint32 dxOffset = 0;
    quint16 wAlignment = 0;
    qint16 cTabCount = 0;
    std::array<qint32, MAX_TAB_STOPS> rgxTabs{};
    qint32 dySpaceBefore = 0;
    qint32 dySpaceAfter = 0;
    qint32 dyLineSpacing = 0;
    quint8 bLineSpacingRule = 0;
    qint16 wNumberingStart = 0;
    quint16 wNumberingStyle = 0;
    quint16 wNumberingTab = 0;
    quint16 wEffects = 0;
};

// What kind of edit met protected text; these are the window messages the edit would be.
enum class EditMessage : unsigned {
    KeyDown = 0x0100,  // delete or backspace; wParam the key
    Char = 0x0102,     // typing; wParam the character
    Cut = 0x0300,
    Paste = 0x0302,  // also drops
    Clear = 0x0303,
    Undo = 0x0304,
    ReplaceSel = 0x00C2,  // wParam 1 when undoable
    SetCharFormat = 0x0444,
    SetParaFormat = 0x0447,
    InputMethod = 0x0286,  // composed input
};

struct ProtectedNotify {
    EditMessage msg = EditMessage::Char;
    quintptr wParam = 0;
    qintptr lParam = 0;
    int cpMin = 0;
    int cpMax = 0;
};

// Mouse messages reported for a link.
enum class LinkMouse : unsigned {
    Move = 0x0200,
    LeftDown = 0x0201,
    LeftUp = 0x0202,
    LeftDoubleClick = 0x0203,
    RightDown = 0x0204,
    RightUp = 0x0205,
    SetCursor = 0x0020,
};

struct LinkNotify {
    LinkMouse msg = LinkMouse::Move;
    int cpMin = 0;
    int cpMax = 0;
};

// Notifications of the window. Each is sent only while its bit is in the event mask, except
// saveClipboard, which the window always asks.
struct Notifications {
    std::function<void()> change;                                       // ENM_CHANGE
    std::function<void()> selectionChange;                              // ENM_SELCHANGE
    std::function<bool(const ProtectedNotify&)> protectedChange;        // ENM_PROTECTED; true allows
    std::function<void(const QRect&)> requestResize;                    // ENM_REQUESTRESIZE
    std::function<void(const LinkNotify&)> link;                        // ENM_LINK
    std::function<bool(int objectCount, int charCount)> saveClipboard;  // true keeps the clipboard
};

// Stream callback: fills or takes up to cb bytes of buffer and sets *transferred; returns 0 to go
// on, anything else stops the stream and becomes its error.
using EditStreamCallback = std::function<quint32(char* buffer, qint32 cb, qint32* transferred)>;

// dwError of a stream-in that refused a document too large to read; errorText says so.
inline constexpr quint32 kStreamTooLarge = 0x8003;

struct EditStream {
    EditStreamCallback callback;
    quint32 dwError = 0;
    QString errorText;  // for a refused document: what to tell the user
};

}  // namespace tk::richedit
