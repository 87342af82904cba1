#pragma once

#include "editor/editor_host.h"

#include <QMainWindow>

class QAction;
class QLabel;
class QMenu;
class QStatusBar;

namespace tk {

class TQE_RichEdit;
class WebView;

// The editor window: the body of one entry at a time, as rich text or as a saved page, with the
// commands that move a document in and out of it.
class TForm3 final : public QMainWindow {
    Q_OBJECT

  public:
    explicit TForm3(EditorHost* host, QWidget* parent = nullptr);
    ~TForm3() override;

    // New document: an empty rich text body that belongs to no entry.
    void N1Click();
    // Open a file: asks for it, then openFile.
    void N19Click();
    void openFile(const QString& path);
    // Save: into the bound entry, or as a new entry when the document belongs to none.
    void N10Click();
    // Saves the body into the bound entry's archive; true when it failed.
    bool RtfSave();
    // Save under a new name: a new entry in the listed category.
    void N11Click();
    // Close: offers to save a modified document, then empties the editor and hides it.
    void FormClose();
    void PopupMenu1Popup();

    // Binding by the main window after it extracted an entry into the scratch folder.
    // Loads an extracted body; false when it could not be read (nothing is shown then).
    [[nodiscard]] bool showRichBody(const QString& rtfPath);
    void showWebBody(const QString& pagePath);
    void bindEntry(const QString& title, const QString& password);
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
    // The bound entry's password; kept here, never in a widget's text.
    QString entryPassword() const { return password_; }

    QWidget* EditPanel;
    TQE_RichEdit* RichEdit1;
    WebView* htmlPanel;
    QStatusBar* Edit_StatusBar;
    QLabel* StatusPanel0;  // modified mark
    QLabel* StatusPanel1;  // caret position
    QLabel* StatusPanel2;  // the entry password panel, kept empty
    QLabel* StatusPanel3;  // title
    QMenu* PopupMenu1;
    QAction* N25;  // undo
    QAction* N29;  // redo
    QAction* N1;   // new
    QAction* N3;   // cut
    QAction* N4;   // copy
    QAction* N5;   // paste
    QAction* N18;  // delete
    QAction* N19;  // open
    QAction* N10;  // save
    QAction* N11;  // save under a new name

    QString WebDocPath;

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
    QString scratchDir() const;

    EditorHost* host_;
    QString password_;
    bool newEntry_ = false;
    bool closing_ = false;
};

}  // namespace tk
