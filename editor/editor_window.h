#pragma once

#include "editor/editor_host.h"
#include "store/entry_ref.h"

#include "richedit/rich_edit_types.h"

#include <QColor>
#include <QDateTime>
#include <QMainWindow>

#include <functional>

class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class QPrinter;
class QStatusBar;

namespace tk {

struct BodyFiles;
class TForm7;
class TFormatBar;
class TQE_RichEdit;
class TRuler;
class TTextAttributes2;
class WebView;

// The editor window: the body of one entry at a time, as rich text or as a saved page, with the
// commands that move a document in and out of it. It keeps the entry it is bound to as a value of
// its own and writes only into that entry or into a new one.
class TForm3 final : public QMainWindow {
    Q_OBJECT

  public:
    explicit TForm3(EditorHost* host, QWidget* parent = nullptr);
    ~TForm3() override;

    // New document: an empty rich text body that belongs to no entry. Unsaved changes are offered
    // for saving first; false when that was cancelled or the save failed (nothing changed then).
    bool N1Click();
    // Open a file: offers to save unsaved changes, asks for the file, then openFile.
    bool N19Click();
    // Loads a file: a lower-case .htm or .html page into the web view as a new document, anything
    // else into the rich text control, keeping the binding. False when it could not be read.
    bool openFile(const QString& path);
    // Save: into the bound entry, or as a new entry when the document belongs to none. True when
    // the document was saved.
    bool N10Click();
    // Saves the body into the bound entry's archive; true when it FAILED (the message is shown).
    bool RtfSave();
    // Save under a new name: a new entry in the listed category, which the editor is then bound
    // to. True when the entry was made.
    bool N11Click();
    // Close: offers to save a modified document, then empties the editor and hides it. False when
    // the save it asked for did not happen: the document stays.
    bool FormClose();
    void PopupMenu1Popup();

    // Shows an entry extracted by the store and binds the editor to it; false when the body could
    // not be read (after saying so; the editor is then closed).
    [[nodiscard]] bool showEntry(const EntryRef& entry, const QString& bodyFile);
    // What the main window did to entries: a retitle of the bound entry changes its password and
    // title; deleting it unbinds the editor; a category folder moved takes the bound archive along.
    void entryRetitled(const EntryRef& entry);
    void entryDeleted(const QString& archivePath);
    void entryFolderMoved(const QString& oldFolder, const QString& newFolder);

    // Finishes text the input method is still composing, so that it is part of the document.
    void commitComposition();

    bool isModified() const;
    void setModifiedMark(bool modified);
    QString modifiedMark() const;
    QString positionText() const;
    QString titleText() const;
    bool isWebBody() const;
    bool isNewEntry() const { return newEntry_; }
    QString webDocPath() const { return WebDocPath; }
    // The entry a plain save writes into; not valid while the document belongs to none.
    const EntryRef& boundEntry() const { return bound_; }

    // The options the settings keep.
    QColor editorWindowColor() const;
    QColor editorFontColor() const;
    void setEditorColors(const QColor& window, const QColor& font);
    bool wordWrap() const;
    void setWordWrap(bool wrap);
    bool stayOnTop() const;
    void setStayOnTop(bool onTop);

    QWidget* EditPanel;
    TQE_RichEdit* RichEdit1;
    WebView* htmlPanel;
    QStatusBar* Edit_StatusBar;
    QLabel* StatusPanel0;  // modified mark
    QLabel* StatusPanel1;  // caret position
    QLabel* StatusPanel2;  // the entry password panel, kept empty: the password stays in bound_
    QLabel* StatusPanel3;  // title
    QMenu* PopupMenu1;
    QAction* N25;  // undo
    QAction* N29;  // redo
    QAction* N1;   // new
    QAction* N3;   // cut
    QAction* N4;   // copy
    QAction* N5;   // paste
    QAction* N8;   // paste special
    QAction* N18;  // delete
    QAction* N19;  // open
    QAction* N10;  // save
    QAction* N11;  // save under a new name

    QString WebDocPath;

    // ---- formatting: the menu's formatting items, the formatting bar and the ruler ----
    TRuler* Ruler;
    TFormatBar* Panel1;
    QMenu* N15;  // alignment
    QActionGroup* AlignGroup;
    QAction* LeftAlign;
    QAction* CenterAlign;
    QAction* RightAlign;
    QMenu* BulletsMenu;
    QAction* pNone;
    QAction* pBullet;
    QAction* pArabicNumbers;
    QAction* pLoCaseLetter;
    QAction* pUpCaseLetter;
    QAction* pLoCaseRoman;
    QAction* UpCaseRoman;
    QMenu* N13;  // character style
    QAction* BoldMenu;
    QAction* ItalicMenu;
    QMenu* UnderlineMenu;
    QAction* N20;  // no underline
    QAction* pSolid;
    QAction* pDotted;
    QAction* pWave;
    QMenu* N33;    // colours
    QAction* N16;  // text colour
    QAction* N17;  // background colour
    QAction* N28;  // formatting bar

    QAction* N21;  // find
    QAction* N22;  // find next
    QAction* N24;  // replace
    QAction* N31;  // file link
    QAction* N12;  // object
    QAction* N7;   // picture
    QAction* N27;  // special character palette
    QAction* N30;  // date and time
    QAction* N37;  // print
    // The print dialog on the given printer; true when the user chose to print. Tests put a
    // scripted answer here.
    std::function<bool(QPrinter& printer)> PrintDialog1;
    bool N21Click();
    bool N22Click();
    bool N24Click();
    bool N37Click();
    // Shows the special character palette, not modally; shown already, it comes to the front.
    void N27Click();
    // The palette window, made once with the program's other windows.
    void setCharPalette(TForm7* palette) { Form7 = palette; }
    TForm7* charPalette() const { return Form7; }
    // Writes the date and time over the selection, as "2026.12.07.월요일 10:45 오전", and leaves it
    // selected, so that typing replaces it.
    void N30Click();
    // The clock N30 reads; tests put a fixed time here.
    std::function<QDateTime()> Now = [] { return QDateTime::currentDateTime(); };

    // The colour dialog: the colour to start from in, the chosen colour out, an invalid colour
    // when the user cancelled. Tests put a scripted answer here.
    std::function<QColor(const QColor& initial, const QString& title)> ColorDialog1;

    // ---- links and insertions (editor_links.cpp) ----
    // Opens a clicked link: a file link with the file's default program (asking first when that
    // would run a program), anything else with the desktop's handler for the address.
    void RichEdit1URLClick(QObject* Sender, const QString& URLText, TMouseButton Button);
    // Asks for a file and writes a link to it over the selection.
    void N31Click();
    // Asks for a picture file and inserts it as a picture object, which is then selected.
    void N7Click();
    void N12Click();
    void N8Click();
    // The file dialogs of the link and picture commands: the folder to start in and the filter in,
    // the chosen file out, empty when cancelled. Tests put scripted answers here.
    std::function<QString(const QString& folder, const QString& filter)> OpenDialog1;
    std::function<QString(const QString& folder, const QString& filter)> OpenPictureDialog1;
    // The filters those dialogs are given.
    static QString fileLinkFilter();
    static QString pictureFilter();

    // Copies the selection's formatting into every formatting control.
    void RichEdit1SelectionChange();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void setupEditPanel();
    void setupStatusBar();
    void setupMenu();
    void setupWebView();
    void setBodyView(bool web);
    void refreshCaretPosition();
    // Offers to save a modified document before it is replaced: Yes saves, No drops the changes,
    // Cancel keeps them. True when the caller may go on.
    bool maybeSave();
    // The files of the body as it is to be added; false when the user declined or it cannot be.
    bool bodyFiles(BodyFiles* body);
    void bind(const EntryRef& entry);
    void unbind();
    void showSaveError();
    void clearDocument();

    // Links and insertions (editor_links.cpp).
    void setupLinkDialogs();
    void openLinkedFile(const QString& link, const QString& path);
    void showCannotOpen(const QString& link);
    QString programDir() const;
    // Inserts a picture object at position (the caret) and fills it with the file; false after
    // saying why, with the document as it was.
    bool insertPicture(int position, const QString& file);
    // Fills the selected picture object with the file; false after saying why.
    bool loadPicture(const QString& file);

    // Find, replace and print (editor_find_print.cpp).
    void setupFindMenu();
    void setupPrintMenu();
    void refreshFindNext();

    // Formatting (editor_formatting.cpp).
    void setupRuler();
    void setupFormatBar();
    void setupFormatMenu();
    TTextAttributes2& currentText();
    void placeRulerMarkers();
    void FontNameChange();
    void FontSizeChange();
    void SpinEdit1Change();
    void SpinEdit2Change();
    void ComboBox_LineSpacingRuleChange();
    void SpinEdit_NumberingChange();
    void pNoneClick(QAction* item);
    void pSolidClick(QAction* item);
    void LeftAlignClick(QAction* item);
    void BoldMenuClick();
    void ItalicMenuClick();
    void toggleStyle(QAction* item, int style);
    void N16Click();
    void N17Click();
    void N28Click();
    void FirstIndMouseDown(QObject* Sender, TMouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);
    void FirstIndMouseMove(QObject* Sender, Qt::KeyboardModifiers Shift, int X, int Y);
    void FirstIndMouseUp(QObject* Sender, TMouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);
    void LeftIndMouseUp(QObject* Sender, TMouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);
    void RightIndMouseUp(QObject* Sender, TMouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);

    EditorHost* host_;
    TForm7* Form7 = nullptr;
    EntryRef bound_;
    bool newEntry_ = false;
    bool closing_ = false;
    bool updating_ = false;  // the controls are being refreshed: their handlers write nothing
    bool dragging_ = false;  // a ruler marker is being dragged
    int dragOffset_ = 0;     // half the width of the marker being dragged
};

}  // namespace tk
