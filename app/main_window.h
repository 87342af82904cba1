#pragma once

#include "app/entry_list_model.h"
#include "editor/editor_host.h"
#include "search/search_index.h"
#include "store/entry_store.h"
#include "store/program_settings.h"

#include <QElapsedTimer>
#include <QHash>
#include <QMainWindow>
#include <QStringList>
#include <QStyle>

class QLabel;
class QTimer;
class QMenu;
class QProgressBar;
class QStatusBar;
class QToolBar;
class QToolButton;

namespace tk {

class TForm2;
class TForm3;
class TForm4;
class TForm5;
class TForm6;
class SearchService;

// The main window: the toolbar, the entry list of the current category and the status bar. Its
// handlers read the controls, call the entry store and show the outcome.
class TForm1 final : public QMainWindow, public EditorHost {
    Q_OBJECT

  public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;
    Q_DISABLE_COPY_MOVE(TForm1)

    // Appends "/" when path does not end in one; an empty path gives "/".
    static QString dirText(const QString& path);

    // Finds the program folder and starts the entry store on it. On failure it has told the user
    // and the program must end. Runs before the other windows exist.
    [[nodiscard]] bool FormCreate();
    void FormShow();
    // Closes the editor (offering to save) and keeps the settings; false when the save the editor
    // asked for did not happen, so the window stays.
    [[nodiscard]] bool FormClose();
    void FormDestroy();

    // Rebuilds the list from the archives in ListDir.
    void LoadEntryList();

    void item_TBClick(QObject* sender);
    void ToolButton3Click();
    void ToolButton4Click();
    void ToolButton7Click();
    // Shows the settings and about dialog, modally.
    void ToolButton5Click();
    // Shows the find window, without blocking this one.
    void ToolButton8Click();
    // The find panel's close button: hides the panel and empties the results.
    void Button1Click();
    void ListView1ColumnClick(EntryListView* list, int column);
    void ListView1MouseDown();
    void ListView1KeyDown(int key);
    // Opens the selected entry of list (the main list or the find list) in the editor.
    void ListView1DblClick(EntryListView* list);

    // Asks for a protected entry's password, naming the entry; empty when cancelled or left empty
    // (after saying so).
    QString AskPassword(const QString& title);

    QString CategoryName() const;
    void SetCategoryName(const QString& name);
    QString CountText() const;

    // The settings as the controls hold them, and applying stored ones to the controls.
    ProgramSettings currentSettings() const;
    void applySettings(const ProgramSettings& settings);
    // Applies only what the settings dialog changes: the colours, word wrap and staying on top.
    void applyAppearance(const ProgramSettings& settings);

    // The category editor moved or renamed a folder, or removed one: the listed category and the
    // editor's entry follow.
    void categoryFolderMoved(const QString& oldFolder, const QString& newFolder);
    void categoryFolderRemoved(const QString& folder);
    // Builds the category menu item_PM from the folders as they are on disk now.
    void rebuildCategoryMenu();

    // What the editor needs of this window.
    EntryStore& store() override { return store_; }
    QString listDir() const override { return ListDir; }
    bool askNewEntry(NewEntryAnswer* answer) override;
    void entryCreated(const QString& folder, const QString& archiveName, const EntryComment& comment) override;

    void setCategoryEditor(TForm2* form2) { form2_ = form2; }
    TForm2* categoryEditor() const { return form2_; }
    void setEditor(TForm3* form3) { form3_ = form3; }
    TForm3* editor() const { return form3_; }
    // The entry dialog; every list load refills its category list.
    void setEntryDialog(TForm4* form4);
    TForm4* entryDialog() const { return form4_; }
    void setSettingsDialog(TForm5* form5) { form5_ = form5; }
    TForm5* settingsDialog() const { return form5_; }
    void setFindWindow(TForm6* form6) { form6_ = form6; }
    TForm6* findWindow() const { return form6_; }

    // Toolbar items in their positions, separators included.
    QList<QAction*> ToolBarItems() const;

    QString programDir() const { return store_.programDir(); }

    // The library's search index, kept current in the background from a successful start on.
    SearchService* searchService() const { return search_; }
    // How long after a catch-up coming back to the program starts another one.
    void setCatchUpOnReturnInterval(qint64 ms) { catchUpOnReturnMs_ = ms; }

  private:
    EntryStore store_;

  public:
    // The program's one archive component, kept by the entry store.
    TArchiver& Archiver1;

    QString ListDir;
    // Distinct categories of the current list, in reading order; the entry dialog offers them.
    QStringList EntryCategories;
    bool DeleteToTrash = true;

    QToolBar* ToolBar1;
    QToolButton* item_TB;
    QMenu* item_PM;
    QToolButton* ToolButton3;
    QToolButton* ToolButton4;
    QToolButton* ToolButton7;
    QToolButton* ToolButton8;
    QToolButton* ToolButton5;
    EntryListView* ListView1;
    QWidget* FindPanel;
    EntryListView* FindList;
    QToolButton* Button1;
    QStatusBar* StatusBar1;
    QLabel* StatusPanel0;
    QLabel* StatusPanel1;
    // How the search index is doing: a catch-up's progress, or why body search is off.
    QLabel* SearchStatus;
    QProgressBar* SearchProgress;

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Coming back to the program (from a terminal, say) catches the search index up with what
    // changed meanwhile, at most once in the interval above.
    void changeEvent(QEvent* event) override;

  private:
    void setupToolBar();
    void setupList();
    void setupStatusBar();
    void setupKeys();
    QToolButton* addToolButton(const QString& hint, QStyle::StandardPixmap icon);
    void updateSelectionButtons();
    // The editor's caption for an entry of a category.
    static QString editorCaption(const QString& category);
    // Shows the editor with caption, by default the one naming the listed category.
    void showEditor(const QString& caption = {});
    void showStoreError();
    void reportMissingEngines();
    void setupSearch();
    void searchCatchUpStarted();
    void searchCatchUpProgress(qsizetype done, qsizetype total);
    void searchCatchUpFinished(const search::CatchUpReport& report);
    void searchUnavailable(const QString& text);
    // Shows the standing notice of the index (unreadable entries, body search off), or nothing.
    void showSearchNotice();
    // Runs an operation of the entry store with the hourglass and, when it runs long, a progress
    // dialog; returns its result.
    bool withProgress(const QString& label, const std::function<bool()>& operation);

    TForm2* form2_ = nullptr;
    TForm3* form3_ = nullptr;
    TForm4* form4_ = nullptr;
    TForm5* form5_ = nullptr;
    TForm6* form6_ = nullptr;
    SearchService* search_ = nullptr;
    QElapsedTimer sinceCatchUpOnReturn_;
    qint64 catchUpOnReturnMs_ = 10000;
    // Shows the catch-up's progress once it has run long enough to be worth showing.
    QTimer* searchProgressDelay_ = nullptr;
    QString searchNotice_;
    QString searchNoticeTip_;
    // The colours as they were set, in their stored form: a system colour stays a system colour
    // although the control holds only what it looks like now.
    std::array<quint32, 4> colorCodes_{};
    QList<QAction*> toolBarItems_;
    QHash<const EntryListView*, bool> sortAscending_;
    bool created_ = false;
    bool shown_ = false;
    bool destroyed_ = false;
};

}  // namespace tk
