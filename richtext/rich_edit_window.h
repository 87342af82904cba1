#pragma once

#include "richtext/rich_edit_model.h"
#include "richtext/rich_edit_urls.h"
#include "richtext/rich_edit_window_objects.h"

#include <QTextEdit>

#include <functional>
#include <memory>

namespace tk::richedit {

// Window options (EM_SETOPTIONS).
inline constexpr quint32 ECO_AUTOWORDSELECTION = 0x00000001;
inline constexpr quint32 ECO_NOHIDESEL = 0x00000100;
inline constexpr quint32 ECO_READONLY = 0x00000800;
inline constexpr quint32 ECO_WANTRETURN = 0x00001000;
inline constexpr quint32 ECO_SELECTIONBAR = 0x01000000;
inline constexpr int ECOOP_SET = 1;
inline constexpr int ECOOP_OR = 2;
inline constexpr int ECOOP_AND = 3;
inline constexpr int ECOOP_XOR = 4;

// Scroll types and codes reported after the user works a scroll bar.
inline constexpr int SB_HORZ = 0;
inline constexpr int SB_VERT = 1;
inline constexpr int SB_LINEUP = 0;
inline constexpr int SB_LINEDOWN = 1;
inline constexpr int SB_PAGEUP = 2;
inline constexpr int SB_PAGEDOWN = 3;
inline constexpr int SB_THUMBPOSITION = 4;
inline constexpr int SB_THUMBTRACK = 5;
inline constexpr int SB_TOP = 6;
inline constexpr int SB_BOTTOM = 7;

// What passes through the window on its way to the owner: input, painting, scrolling and the
// clipboard and undo commands. Every member is optional.
struct WindowHooks {
    std::function<void()> afterPaint;
    std::function<void(int scrollType, int scrollCode, int position)> afterScroll;
    std::function<void()> afterCut;
    std::function<void()> afterCopy;
    std::function<void()> afterPaste;
    std::function<void()> beforeUndo;
    std::function<void()> afterUndo;
    std::function<bool()> allowDoubleClick;    // asked before a left double click is handled
    std::function<void(QEvent* event)> input;  // key and mouse events, after the window handled them
    std::function<void(const QPoint& globalPos)> contextMenu;
    std::function<void()> activateObject;  // a double click on an embedded object, now selected
};

// The kinds of clipboard data the window can take in, the best one first.
enum class ClipFormat { Best, Object, RichText, Text, Image };

// Our stand-in for the system rich edit window: a QTextEdit whose document side is a RichEditModel
// and that adds what needs the screen: links under the mouse, positions of characters, the
// protected-text checks of user edits, the text limit for typing, background colour and the
// window options.
class RichEditWindow final : public QTextEdit {
    Q_OBJECT

  public:
    // Shows the given document (which stays its owner's) or a document of its own.
    explicit RichEditWindow(QWidget* parent = nullptr, QTextDocument* document = nullptr);
    ~RichEditWindow() override;
    RichEditWindow(const RichEditWindow&) = delete;
    RichEditWindow& operator=(const RichEditWindow&) = delete;

    RichEditModel& model() { return *model_; }
    const RichEditModel& model() const { return *model_; }
    WindowHooks& hooks() { return hooks_; }
    // The document's embedded objects.
    RichEditObjects& objects() { return *objects_; }

    // EM_POSFROMCHAR: the top-left corner of the character in window coordinates.
    QPoint posFromChar(int cp) const;
    // EM_CHARFROMPOS.
    int charFromPos(const QPoint& point) const;

    // EM_SETBKGNDCOLOR: an invalid colour means the system window colour. Returns the old colour.
    quint32 setBackgroundColor(const QColor& color);

    bool autoUrlDetect() const { return autoUrlDetect_; }
    void setAutoUrlDetect(bool on);
    QColor linkColor() const { return linkColor_; }
    // Link at a character position, when auto-detection or a link format makes one there.
    bool linkAt(int cp, TextSpan* span) const;

    quint32 options() const;
    quint32 setOptions(int operation, quint32 options);

    quint32 langOptions() const { return langOptions_; }
    void setLangOptions(quint32 options) { langOptions_ = options; }

    void setHideSelection(bool hide);
    // A margin on the left where a click selects whole lines.
    void setSelectionBar(bool on);
    void setWantReturns(bool want) { wantReturns_ = want; }
    bool wantReturns() const { return wantReturns_; }
    void setWordWrap(bool wrap);
    void setReadOnlyMode(bool readOnly);

    bool canPaste() const;
    // Whether the data offers the format (Best: any format the window takes).
    static bool offers(const QMimeData* data, ClipFormat format);
    // Replaces the selection with the data in the given format; objects the owner refuses are left
    // out. False when nothing could be taken.
    bool importData(const QMimeData* data, ClipFormat format);

    // The edit commands as messages: with the protected-text check and the hooks.
    void cutSelection();
    void copySelection();
    void pasteClipboard();
    void undoCommand();
    void redoCommand();

    // Runs f once the text is laid out as far as the caret: at once when it is, else when the
    // layout, going on while the program is idle, gets there. A newer request replaces it, and
    // the user scrolling meanwhile drops it.
    void whenCaretLaidOut(std::function<void()> f);

    // Asks the owner, when this window put data on the clipboard that is still there, whether to
    // leave it for other programs; the clipboard is emptied when it says no.
    void releaseClipboard();
    // Lets go of the document: no more notifications or hooks, and the document is left alone, so
    // that another window can take it over.
    void detachDocument();

  protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
    void dropEvent(QDropEvent* event) override;
    QMimeData* createMimeDataFromSelection() const override;

  private:
    class ViewModel;

    bool editKeyAllowed(QKeyEvent* event);
    bool typingAllowed(const QString& text);
    bool sendLinkNotify(QMouseEvent* event, LinkMouse msg);
    void dropPictureFormatAtCaret();
    // The position of the object character whose picture holds the point (viewport
    // coordinates), or -1.
    int objectAt(const QPoint& point) const;
    // Selects the object under the mouse, as a click on a picture does; false when there is none.
    bool selectObjectAt(const QPoint& point);
    bool linkUnderMouse(const QPoint& viewportPos, TextSpan* span) const;
    bool selectionBarClick(QMouseEvent* event);
    void scheduleLinkUpdate();
    void updateLinkSelections();
    void connectScrollBars();
    void connectLayout();
    void checkRequestResize(const QSizeF& size);
    void applySelectionPalette();
    void applyTextPalette();
    // Scrolls to y now, or as soon as the document is laid out that far.
    void scrollWhenLaidOut(int y);
    void paintListNumbers(const QRect& area);
    bool caretLaidOut() const;
    // Pastes a document built from clipboard data, without the objects the owner refuses.
    void insertScratch(QTextDocument& scratch);
    bool importObject(const QMimeData* data);
    bool importRichText(const QMimeData* data);
    bool importImage(const QMimeData* data);
    void runPendingCaretWork();

    std::unique_ptr<RichEditModel> model_;
    std::unique_ptr<RichEditObjects> objects_;
    WindowHooks hooks_;
    bool autoUrlDetect_ = false;
    bool linkUpdatePending_ = false;
    QColor linkColor_;
    quint32 options_ = ECO_AUTOWORDSELECTION;
    quint32 langOptions_ = 0;
    bool hideSelection_ = true;
    bool wantReturns_ = true;
    int lastRequestedHeight_ = -1;
    int pendingScroll_ = -1;
    std::function<void()> pendingCaretWork_;
    const QMimeData* ownClipboardData_ = nullptr;
};

}  // namespace tk::richedit
