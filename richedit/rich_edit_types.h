#pragma once

#include <QtCore/qnamespace.h>
#include <QFlags>
#include <QString>
#include <QtGlobal>

// Option sets and small records of the rich text control. Bit positions follow the order in which
// the members are declared, as the stored settings and callers know them.
namespace tk {

enum class TRichStreamFormat { sfDefault, sfRichText, sfPlainText };

// The bytes plain text is saved in: the program's own form (CP949, or UTF-8 after a byte-order mark
// when a character has no CP949 form), or UTF-8 without a mark, as Linux programs expect.
enum class TTextEncoding { teAnsi, teUtf8 };

enum class TRichStreamMode : unsigned {
    smSelection = 1u << 0,
    smPlainRtf = 1u << 1,
    smNoObjects = 1u << 2,
    smUnicode = 1u << 3,
};
Q_DECLARE_FLAGS(TRichStreamModes, TRichStreamMode)
Q_DECLARE_OPERATORS_FOR_FLAGS(TRichStreamModes)

enum class TRichOption : unsigned {
    roOLEInsert = 1u << 0,
    roDragDrop = 1u << 1,
    roEnterSymbol = 1u << 2,
    roJpgToBmp = 1u << 3,
    roMetaToBmp = 1u << 4,
    roBmpServerIsMSPaint = 1u << 5,
};
Q_DECLARE_FLAGS(TRichOptions, TRichOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TRichOptions)

enum class TRichLangOption : unsigned {
    rlAutoKeyboard = 1u << 0,
    rlAutoFont = 1u << 1,
    rlImeCancelComplete = 1u << 2,
    rlImeAlwaysSendNotify = 1u << 3,
};
Q_DECLARE_FLAGS(TRichLangOptions, TRichLangOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TRichLangOptions)

enum class TSelectionKind : unsigned {
    skText = 1u << 0,
    skObject = 1u << 1,
    skMultiChar = 1u << 2,
    skMultiObject = 1u << 3,
};
Q_DECLARE_FLAGS(TSelectionKinds, TSelectionKind)
Q_DECLARE_OPERATORS_FOR_FLAGS(TSelectionKinds)

// Options of a text search.
enum class TSearchType : unsigned {
    stWholeWord = 1u << 0,
    stMatchCase = 1u << 1,
    stBackward = 1u << 2,
    stSelectFound = 1u << 3,
};
Q_DECLARE_FLAGS(TSearchTypes, TSearchType)
Q_DECLARE_OPERATORS_FOR_FLAGS(TSearchTypes)

enum class TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
enum class TBorderStyle { bsNone, bsSingle };
enum class TAlignment { taLeftJustify, taRightJustify, taCenter };
enum class TMouseButton { mbLeft, mbRight, mbMiddle };

// The button of a Qt mouse event as the mouse events name it.
inline TMouseButton toButton(Qt::MouseButton button) {
    switch (button) {
        case Qt::RightButton:
            return TMouseButton::mbRight;
        case Qt::MiddleButton:
            return TMouseButton::mbMiddle;
        default:
            return TMouseButton::mbLeft;
    }
}
// 0 for a horizontal scroll bar, 1 for a vertical one.
enum class TScrollType { stHorizontal = 0, stVertical = 1 };

// The insert-object dialog's options; each member sets one flag of the dialog, from 0x0001 up.
enum class TObjectDialogOption : unsigned {
    ioShowHelp = 0x0001,
    ioSelectCreateNew = 0x0002,
    ioSelectCreateFromFile = 0x0004,
    ioCheckLink = 0x0008,
    ioCheckDisplayasIcon = 0x0010,
    ioCreateNewObject = 0x0020,
    ioCreateFileObject = 0x0040,
    ioCreateLinkObject = 0x0080,
    ioDisableLink = 0x0100,
    ioVerifyServersExist = 0x0200,
    ioDisableDisplayasIcon = 0x0400,
    ioHideChangeIcon = 0x0800,
    ioShowInsertControl = 0x1000,
    ioSelectCreateControl = 0x2000,
};
Q_DECLARE_FLAGS(TObjectDialogOptions, TObjectDialogOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TObjectDialogOptions)

// Where the insert-object dialog is placed.
enum class TObjectDialogPosition { dpScreenCenter, dpMainFormCenter, dpParentFormCenter };

// The settings of the insert-object dialog.
struct TObjectDialog {
    QString Title;  // empty keeps the dialog's own caption
    int HelpContext = 0;
    TObjectDialogOptions Options = TObjectDialogOption::ioSelectCreateNew;
    TObjectDialogPosition Position = TObjectDialogPosition::dpScreenCenter;
};

// A window message as handed to the protected-text event: the edit that met protected text.
struct TMessage {
    unsigned Msg = 0;
    quintptr WParam = 0;
    qintptr LParam = 0;
    qintptr Result = 0;
};

}  // namespace tk
