#pragma once

#include "platform/ole_objects.h"
#include "richedit/find_dialog.h"
#include "richedit/print_document.h"
#include "richedit/rich_edit_strings.h"
#include "richedit/rich_edit_types.h"
#include "richedit/text_attributes.h"

#include <QColor>
#include <QFont>
#include <QMenu>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class QPrinter;
class QTextDocument;

namespace tk {

namespace richedit {
class RichEditWindow;
class RichEditObjects;
struct CharFormat2;
}  // namespace richedit

class TRichEditOleCallback;

// The rich text control: a frame around our rich edit window that keeps the control's properties
// while no window exists, creates the window with them and re-creates it without losing the
// document, and turns the window's notifications into events. Properties are getter and setter
// pairs; events are std::function members, the sender first.
class TCustomRichEdit2 : public QWidget, public RichLinesHost {
    Q_OBJECT

  public:
    explicit TCustomRichEdit2(QWidget* parent = nullptr);
    ~TCustomRichEdit2() override;
    TCustomRichEdit2(const TCustomRichEdit2&) = delete;
    TCustomRichEdit2& operator=(const TCustomRichEdit2&) = delete;

    // ---- the window ----
    bool HandleAllocated() const { return window_ != nullptr; }
    void HandleNeeded();
    void RecreateWnd();
    void DestroyHandle();
    // The rich edit window; created when needed.
    richedit::RichEditWindow& richWindow();
    QTextDocument& document() const { return *document_; }

    // ---- inherited memo properties ----
    QString Text() const;
    void SetText(const QString& text);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment alignment);
    TScrollStyle ScrollBars() const { return scrollBars_; }
    void SetScrollBars(TScrollStyle style);
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool wrap);
    bool WantTabs() const { return wantTabs_; }
    void SetWantTabs(bool want);
    bool WantReturns() const { return wantReturns_; }
    void SetWantReturns(bool want);
    int MaxLength() const { return maxLength_; }
    void SetMaxLength(int length);
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly);
    bool Modified() const;
    void SetModified(bool modified);
    QFont Font() const { return font_; }
    void SetFont(const QFont& font);
    // An invalid colour is the system window colour, the default.
    QColor Color() const { return color_; }
    void SetColor(const QColor& color);
    TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle style);
    bool TabStop() const { return focusPolicy() != Qt::NoFocus; }
    void SetTabStop(bool stop);
    QMenu* PopupMenu() const { return popupMenu_; }
    void SetPopupMenu(QMenu* menu) { popupMenu_ = menu; }

    // ---- rich edit properties ----
    bool AutoURLDetect() const;
    void SetAutoURLDetect(bool on);
    bool AutoVerbMenu() const { return autoVerbMenu_; }
    void SetAutoVerbMenu(bool on) { autoVerbMenu_ = on; }
    bool AllowObjects() const { return allowObjects_; }
    void SetAllowObjects(bool allow);
    bool AllowInPlace() const { return allowInPlace_; }
    void SetAllowInPlace(bool allow) { allowInPlace_ = allow; }
    bool Compress() const override { return compress_; }
    void SetCompress(bool compress) override { compress_ = compress; }
    bool HideSelection() const { return hideSelection_; }
    void SetHideSelection(bool hide);
    bool HideScrollBars() const { return hideScrollBars_; }
    void SetHideScrollBars(bool hide);
    QString Title() const { return title_; }
    void SetTitle(const QString& title);
    TRichLangOptions LangOptions() const;
    void SetLangOptions(TRichLangOptions options);
    TRichEditStrings& Lines() { return *lines_; }
    // Character formatting of the selection, of text typed with nothing selected, of the word at
    // the caret; paragraph formatting of the selected paragraphs.
    TTextAttributes2& SelectionAttributes() { return *selAttributes_; }
    TTextAttributes2& DefaultAttributes() { return *defAttributes_; }
    TTextAttributes2& WordAttributes() { return *wordAttributes_; }
    TParaAttributes2& ParagraphAttributes() { return *paragraph_; }
    void SetLines(const QStringList& lines);
    bool PlainText() const override { return plainText_; }
    virtual void SetPlainText(bool plain);
    bool SelectionBar() const { return selectionBar_; }
    void SetSelectionBar(bool on);
    TRichStreamFormat StreamFormat() const { return lines_->StreamFormat(); }
    void SetStreamFormat(TRichStreamFormat format) { lines_->SetStreamFormat(format); }
    TRichStreamModes StreamMode() const { return lines_->StreamMode(); }
    void SetStreamMode(TRichStreamModes modes) { lines_->SetStreamMode(modes); }
    int UndoLimit() const { return undoLimit_; }
    void SetUndoLimit(int limit);
    bool WordSelection() const;
    void SetWordSelection(bool on);
    TRichOptions Options() const { return options_; }
    void SetOptions(TRichOptions options);
    int MouseMoveObjectIndex() const { return mouseMoveObjectIndex_; }

    // ---- selection and positions ----
    int SelectionStart() const;
    void SetSelectionStart(int start);
    int SelectionLength() const;
    void SetSelectionLength(int length);
    QString SelectedText() const;
    void SetSelectedText(const QString& text);
    // Copies at most size - 1 characters of the selection into buffer, terminated; the count.
    int GetSelTextBuf(QChar* buffer, int size) const;
    // x = column, y = line.
    QPoint CaretPosition() const;
    void SetCaretPosition(const QPoint& position);
    void GetSelectionRange(int& start, int& end) const;
    void SetSelectionRange(int start, int end, bool scrollCaret) override;
    QPoint CharPosition(int position) const;
    QString TextRange(int start, int end) const;
    int LineOfChar(int position) const;
    int LineStartIndex(int line) const;
    int LineLengthAt(int position) const;
    bool CanPaste() const;
    bool CanUndo() const;
    bool CanRedo() const;
    TSelectionKinds SelectionKinds() const;
    void Clear() override;

    // The edit commands (the undo, cut, copy and paste messages).
    void Undo();
    void Redo();
    void CutToClipboard();
    void CopyToClipboard();
    void PasteFromClipboard();

    // The replace-selection message as it arrives at the control: undoable unless the undo limit
    // is below 2 or the line list is updating; the replaced text ends up selected.
    bool ReplaceSel(const QString& text);

    // ---- find, replace and print ----
    // One search of the text in [start, start + |length|) (backward: the |length| characters up
    // to start); the match's position or -1. The control takes the keyboard focus afterwards.
    int SearchText(const QString& searchStr, int startPos, int length, TSearchTypes options);
    // The modeless find and replace dialogs, created on first use; a non-empty text becomes the
    // dialog's find (and replace) text.
    TFindDialog* ShowFindDialog(const QString& searchStr);
    TReplaceDialog* ShowReplaceDialog(const QString& searchStr, const QString& replaceStr);
    // One search step with a dialog's settings from the selection; no wrap-around.
    bool FindWithDialog(TFindDialog* dialog, bool placeDialog, bool reportFailure);
    // Repeats the last search made with a non-empty find text.
    bool FindNextMatch();
    bool CanFindNextMatch() const;
    // Moves the dialog off the selected text.
    void PlaceFindDialog(TFindDialog* dialog);
    // Prints the whole document as one job on Printer(); false with PrintError() when it failed.
    [[nodiscard]] virtual bool PrintDocument(const QString& title);
    QString PrintError() const { return printOutcome_.errorString; }
    int PrintedPages() const { return printOutcome_.pages; }
    // The printer PrintDocument prints on: the program's printer unless another one is set.
    QPrinter& Printer();
    void SetPrinter(QPrinter* printer) { printer_ = printer; }

    // The popup menu to show for a context-menu request.
    virtual QMenu* GetPopupMenu();

    // ---- embedded objects ----
    // Inserts at the selection a new object of a registered class (a name or a braced class
    // identifier) with the given record flags; any failure inserts nothing and says nothing.
    void InsertObjectByClassName(const QString& className, unsigned flags);
    // The insert-object dialog: a new object of a registered class, or a file embedded as a
    // package object.
    void ShowInsertObjectDialog();
    // The paste-special dialog; true when the user confirmed it.
    bool ShowPasteSpecialDialog();
    // The selected object's properties; true when the dialog ended with OK.
    bool ShowObjectPropertiesDialog();
    bool SelectedObjectPresent() const;
    // The selected object's record; S_OK, or a failure code when no single object is selected.
    ole::HRESULT GetSelectedObject(ole::TReObject& reObject) const;
    // Closes every object of the document without saving, the last one first.
    void CloseAllObjects();
    TObjectDialog& ObjectDialog() { return *objectDialog_; }
    // The window's objects while object support is on and the window exists; else null.
    richedit::RichEditObjects* OleInterface() const;
    // Carries out a verb of the selected object with the control's window.
    void ExecuteVerb(int verb);

    std::function<void(QObject* Sender, ole::TReObject& ReObject)> OnInsertObject;
    std::function<void(QObject* Sender, const ole::TReObject& ReObject)> OnDeleteObject;
    std::function<void(QObject* Sender, const QUuid& ClsID, bool& CanInsert)> OnQueryInsertObject;
    std::function<void(QObject* Sender)> OnShowContainer;
    std::function<void(QObject* Sender)> OnCloseContainer;
    std::function<void(QObject* Sender, const ole::TReObject& ReObject, bool& AllowPaste)> OnCanObjectPaste;

    // ---- events ----
    std::function<void(QObject* Sender)> OnChange;
    std::function<void(QObject* Sender)> OnSelectionChange;
    std::function<void(QObject* Sender, int StartPos, int EndPos, bool& AllowChange)> OnProtectChange;
    std::function<void(QObject* Sender, const TMessage& Message, int StartPos, int EndPos, bool& AllowChange)>
        OnProtectChangeEx;
    std::function<void(QObject* Sender, const QRect& Rect)> OnResizeRequest;
    std::function<void(QObject* Sender, int NumObjects, int NumChars, bool& SaveClipboard)> OnSaveClipboard;
    std::function<void(QObject* Sender, const QString& URLText, TMouseButton Button)> OnURLClick;
    std::function<void(QObject* Sender)> OnPaint;
    std::function<void(QObject* Sender, TScrollType ScrollType, qint16 ScrollCode, qint16 Pos)> OnScroll;
    std::function<void(QObject* Sender)> OnCut;
    std::function<void(QObject* Sender)> OnCopy;
    std::function<void(QObject* Sender)> OnPaste;
    std::function<void(QObject* Sender)> OnUndoBefore;
    std::function<void(QObject* Sender)> OnUndo;
    std::function<void(QObject* Sender, bool& AllowDblClick)> OnDblClicking;
    std::function<void(QObject* Sender)> OnEnter;
    std::function<void(QObject* Sender)> OnExit;
    std::function<void(QObject* Sender)> OnClick;
    std::function<void(QObject* Sender)> OnDblClick;
    std::function<void(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift)> OnKeyDown;
    std::function<void(QObject* Sender, QChar& Key)> OnKeyPress;
    std::function<void(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift)> OnKeyUp;
    std::function<void(QObject* Sender, TMouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y)> OnMouseDown;
    std::function<void(QObject* Sender, Qt::KeyboardModifiers Shift, int X, int Y)> OnMouseMove;
    std::function<void(QObject* Sender, TMouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y)> OnMouseUp;
    std::function<void(QObject* Sender, const QString& FindText)> OnTextNotFound;
    std::function<void(QObject* Sender, TFindDialog* Dialog)> OnCloseFindDialog;

  protected:
    virtual void CreateWnd();
    virtual void DestroyWnd();
    virtual void DoSelectionChange();
    virtual bool DoProtectChange(const TMessage& message, int startPos, int endPos);
    virtual bool DoSaveClipboard(int numObjects, int numChars);
    virtual void DoURLClick(const QString& urlText, TMouseButton button);
    virtual void DoResizeRequest(const QRect& rect);
    virtual void DoTextNotFound(TFindDialog* dialog);
    virtual void DoCloseFindDialog(TFindDialog* dialog);

    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    // RichLinesHost
    richedit::RichEditModel& editModel() override;
    void setLinesUpdating(bool updating) override { linesUpdating_ = updating; }
    std::unique_ptr<TConversion> makeDefaultConversion() const override;
    void setRedraw(bool on) override;
    std::function<void(QObject*)>* selectionChangeEvent() override { return &OnSelectionChange; }

  private:
    void wireWindow();
    void wireHooks();
    void applyWindowStyle();
    void applyWordSelection();
    void applyFontToDefault();
    void handleLink(int msg, int cpMin, int cpMax);
    void handleInput(QEvent* event);
    int objectIndexAt(const QPoint& point) const;
    void ReplaceDialogReplace(TReplaceDialog* dialog);
    int replaceAll(TReplaceDialog* dialog);
    // After a search the window takes the focus back from the dialog, when it can be seen.
    void focusAfterSearch();
    void wireFindDialog(TFindDialog* dialog, const TFindDialog* other);
    // Creates the object of a class or from a file and inserts it at the selection; silent on failure.
    void CreateAndInsertObject(bool fromFile, const QString& classOrFile);
    bool insertRecord(ole::TReObject& record, std::unique_ptr<ole::OleObject> object);
    bool pasteObject(int entry, bool asIcon);
    QWidget* referenceWindow() const;

    QTextDocument* document_;
    richedit::RichEditWindow* window_ = nullptr;
    std::unique_ptr<TRichEditStrings> lines_;
    std::unique_ptr<TTextAttributes2> selAttributes_;
    std::unique_ptr<TTextAttributes2> defAttributes_;
    std::unique_ptr<TTextAttributes2> wordAttributes_;
    std::unique_ptr<TParaAttributes2> paragraph_;
    QPointer<QMenu> popupMenu_;
    QFont font_;
    QColor color_;
    TAlignment alignment_ = TAlignment::taLeftJustify;
    TScrollStyle scrollBars_ = TScrollStyle::ssBoth;
    TBorderStyle borderStyle_ = TBorderStyle::bsSingle;
    bool wordWrap_ = true;
    bool wantTabs_ = false;
    bool wantReturns_ = true;
    int maxLength_ = 0;
    bool readOnly_ = false;
    bool savedModified_ = false;
    bool autoUrlDetect_ = true;
    bool autoVerbMenu_ = true;
    bool allowObjects_ = true;
    bool allowInPlace_ = true;
    bool compress_ = false;
    bool hideSelection_ = true;
    bool hideScrollBars_ = true;
    bool selectionBar_ = true;
    bool wordSelection_ = true;
    bool plainText_ = false;
    bool linesUpdating_ = false;
    QString title_;
    TRichLangOptions langOptions_ = TRichLangOption::rlAutoFont;
    TRichOptions options_ = TRichOption::roOLEInsert | TRichOption::roDragDrop;
    int undoLimit_ = 100;
    int mouseMoveObjectIndex_ = -1;
    int linkStart_ = -1;
    int linkEnd_ = -1;
    bool linkButtonRight_ = false;
    std::unique_ptr<TObjectDialog> objectDialog_;
    std::unique_ptr<TRichEditOleCallback> oleCallback_;
    QPointer<QMenu> verbMenu_;
    QPointer<TFindDialog> findDialog_;
    QPointer<TReplaceDialog> replaceDialog_;
    QPointer<TFindDialog> lastFindDialog_;
    QPrinter* printer_ = nullptr;
    PrintOutcome printOutcome_;
};

}  // namespace tk
