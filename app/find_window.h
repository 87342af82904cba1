#pragma once

#include "search/search_index.h"
#include "store/entry_find.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace tk {

class LibrarySearch;
class TForm1;
struct LibrarySearchOutcome;

// The find window: searches the rows of the main list for a text in their title, category or
// archive name and copies the matches into the main window's find list. Modeless and always on
// top; the search lets the window system deliver input so that "취소" stops it.
// With "모든 분류" the rows of every category are searched; with "본문" the search index answers
// for the entries' text as well, and with "암호" too, protected entries are decrypted in memory
// with a password asked for once. Those searches run on another thread; the results arrive later.
class TForm6 final : public QDialog {
    Q_OBJECT

  public:
    explicit TForm6(TForm1* form1);
    Q_DISABLE_COPY_MOVE(TForm6)

    void FormShow();
    // Says what "암호" does when the box has just been ticked.
    void PassCheckClick(bool checked);
    // The search.
    void Button1Click();
    // Stops a running search and closes the window; the results stay.
    void Button2Click();
    // "본문" ticked: the index looks at titles, categories and text alike, so the column boxes
    // have no say.
    void BodyCheckClick(bool checked);
    // The program is closing: every search stops, and this waits until their threads have ended.
    void stopSearches();

    bool isSearching() const;

    QLabel* Label1;
    QLineEdit* FindText;
    QCheckBox* NameCheck;
    QCheckBox* ColCheck;
    QCheckBox* FileCheck;
    QCheckBox* PassCheck;
    QCheckBox* BodyCheck;
    QCheckBox* AllCheck;
    // What a search of the library is doing or found, and how far a search of protected entries is.
    QLabel* Note;
    QProgressBar* ProgressBar1;
    QPushButton* Button1;
    QPushButton* Button2;
    bool StopFind = false;

    // The longest stretch of a search without handing input to the window system.
    static constexpr int kEventIntervalMs = 10;

  protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;

  private:
    FindOptions options() const;
    void findInList();
    void findInAllCategories();
    void findInBodies();
    // The index when it can answer; otherwise says why and gives none.
    search::SearchIndex* availableIndex();
    void beginLibrarySearch(const QString& note);
    void endLibrarySearch(const QString& note);
    void librarySearchFinished(const LibrarySearchOutcome& outcome);
    void protectedEntriesListed(const LibrarySearchOutcome& outcome);
    void showHits(const std::vector<search::SearchHit>& hits);
    // How many were found; from the index, whether it may have missed recent changes.
    QString resultNote(size_t count, bool fromIndex) const;
    // Asks once for the password of a search of count protected entries; empty when none was given
    // (after saying so).
    QString askSearchPassword(size_t count);
    // Names the protected entries the password did not open, and says what to do.
    void reportUnopened(const QStringList& unreadable);

    TForm1* form1_;
    LibrarySearch* library_;
    bool searching_ = false;
    // The library search under way: its words and folder (empty: every category), and the
    // protected entries it looks at.
    QString query_;
    QString scope_;
    std::vector<search::SearchHit> candidates_;
    bool indexCatchingUp_ = false;
    // Why the search index could not be opened, as the service said; empty while it works.
    QString indexTrouble_;
};

}  // namespace tk
