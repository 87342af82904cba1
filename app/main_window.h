#pragma once

#include "app/entry_list_model.h"
#include "archive/archiver.h"
#include "editor/editor_host.h"

#include <QHash>
#include <QLockFile>
#include <QMainWindow>
#include <QStringList>
#include <QStyle>

#include <memory>

class QLabel;
class QMenu;
class QStatusBar;
class QToolBar;
class QToolButton;

namespace tk {

class TForm2;
class TForm3;
class TForm4;

// The main window: the toolbar, the entry list of the current category and the status bar.
class TForm1 final : public QMainWindow, public EditorHost {
    Q_OBJECT

  public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;
    Q_DISABLE_COPY_MOVE(TForm1)

    // Appends "/" when path does not end in one; an empty path gives "/".
    static QString dirText(const QString& path);

    // Finds the program folder, takes the program's lock, makes the library and scratch folders.
    // On failure it has told the user and the program must end. Runs before the other windows exist.
    [[nodiscard]] bool FormCreate();
    void FormShow();
    void FormClose();
    void FormDestroy();

    // Rebuilds the list from the archives in ListDir; false when the folder could not be listed.
    bool LoadEntryList();

    void Archiver1Message(TArchiver* sender, int errCode, const QString& message);
    void Archiver1PasswordError(TArchiver* sender, bool isZipAction, QString& newPassword, const QString& forFile,
                                unsigned& repeatCount, TPasswordButton& action);

    void item_TBClick(QObject* sender);
    void ToolButton4Click();
    void ToolButton7Click();
    // Sets the add options for a plain or a protected entry.
    void ZipOptions(bool isProtected) override;

    // What the editor needs of this window.
    TArchiver& archiver() override { return Archiver1; }
    QString programDir() const override { return ProgramDir; }
    QString listDir() const override { return ListDir; }
    bool askNewEntry(NewEntryAnswer* answer) override;
    void addEntryRow(const QString& archiveName, const QString& comment) override;
    // Asks for a protected entry's password; empty when cancelled or left empty (after saying so).
    QString AskPassword();
    // The archive of a row of the current list.
    QString entryArchive(const EntryRow& entry) const;
    // Readies Archiver1 for an entry: its password (asked for a protected entry) and add options.
    // False when a protected entry's password was not given; *password is what was typed.
    [[nodiscard]] bool unlockEntry(const EntryRow& entry, QString* password);
    // Empties the scratch folder and extracts the whole addressed archive into it; false when a
    // password was wrong or nothing could be extracted.
    [[nodiscard]] bool ExtractToScratch();
    QString ScratchDir() const { return ProgramDir + QStringLiteral("TEMP/"); }
    void ListView1ColumnClick(EntryListView* list, int column);
    void ListView1MouseDown();
    void ListView1KeyDown(int key);
    // Opens the selected entry of list (the main list or the find list) in the editor.
    void ListView1DblClick(EntryListView* list);
    void ToolButton3Click();

    QString CategoryName() const;
    void SetCategoryName(const QString& name);
    QString CountText() const;

    // The category editor, created right after this window; it fills item_PM.
    void setCategoryEditor(TForm2* form2) { form2_ = form2; }
    TForm2* categoryEditor() const { return form2_; }
    void setEditor(TForm3* form3) { form3_ = form3; }
    TForm3* editor() const { return form3_; }
    // The entry dialog; every list load refills its category list.
    void setEntryDialog(TForm4* form4);
    TForm4* entryDialog() const { return form4_; }

    // Toolbar items in their positions, separators included.
    QList<QAction*> ToolBarItems() const;

    // The program's one archive component; every archive operation goes through it.
    TArchiver Archiver1;
    // Set when an extraction met a wrong password.
    bool WrongPassword = false;

    QString ProgramDir;
    QString ListDir;
    QString WebDocPath;
    // Distinct categories of the current list, in reading order; the entry dialog offers them.
    QStringList EntryCategories;
    // Deleted entries go to the trash; the settings dialog will show this option.
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

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void setupToolBar();
    void setupList();
    void setupStatusBar();
    QToolButton* addToolButton(const QString& hint, QStyle::StandardPixmap icon);
    void updateSelectionButtons();
    QString editorCaption() const;
    [[nodiscard]] bool makeFolders(QString* error);
    void setupArchiver();
    void removeArchiveLeftovers();

    TForm2* form2_ = nullptr;
    TForm3* form3_ = nullptr;
    TForm4* form4_ = nullptr;
    QList<QAction*> toolBarItems_;
    QHash<const EntryListView*, bool> sortAscending_;
    std::unique_ptr<QLockFile> lock_;
    bool created_ = false;
    bool shown_ = false;
    bool destroyed_ = false;
};

}  // namespace tk
