#pragma once

#include "archive/archiver.h"
#include "store/entry_ref.h"

#include <QLockFile>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace tk {

// What a failed operation ran into, for callers that act differently on some of them.
enum class EntryError {
    None,
    AlreadyRunning,  // another running copy uses the program folder
    Folder,          // the library, a category or the scratch folder is missing or unusable
    Missing,         // the entry archive is not there
    Unreadable,      // the file is not an archive the component can read
    BadDocument,     // the comment names a document file that is not a plain file name
    WrongPassword,
    Extract,   // the body did not come out of the archive
    Add,       // the body could not be written into the archive
    Comment,   // the entry comment could not be written
    BadTitle,  // a title or category holds the comment's field separator
    Delete,
    Trash,  // the archive could not go to the trash; it is still there
    Busy,   // another writer kept the archive longer than a writer waits
};

// The files a body consists of, relative to a root folder: the rich text file in the scratch
// folder, or a web page with the files it needs.
struct BodyFiles {
    QString rootDir;
    QStringList fileSpecs;
    bool withFolders = false;  // member names keep their folders
    bool hiddenFiles = false;  // names starting with "." are added too
};

// The entry library below the windows: the program folder with its library and scratch folders,
// and the operations on entries. The windows and the command-line companion call it; every
// operation says in Korean what went wrong through errorString().
class EntryStore final {
  public:
    EntryStore();
    ~EntryStore();
    EntryStore(const EntryStore&) = delete;
    EntryStore& operator=(const EntryStore&) = delete;

    // Called after every write that changed an entry archive on disk (a save, a new entry, a
    // retitle or new password) and after a delete (removed); never for a write that failed and
    // left the archive as it was.
    using ChangeListener = std::function<void(const QString& archivePath, bool removed)>;
    void setChangeListener(ChangeListener listener) { changeListener_ = std::move(listener); }

    // Takes the program folder: its lock (one running copy per folder), the library folder and a
    // private, emptied scratch folder; clears leftovers of interrupted writes. scratchDir empty
    // means programDir + "TEMP/".
    [[nodiscard]] bool start(const QString& programDir, const QString& scratchDir = {});
    // Starts without a program folder, for work on single entry archives (the command-line
    // companion): no lock, no library folder, so a running program and its scratch folder are left
    // alone. The scratch folder is a new private folder of its own (makePrivateTempFolder), removed
    // by stop(). programDir() is then empty.
    [[nodiscard]] bool startPrivate();
    // Empties the scratch folder and lets the program folder go; a private scratch folder is removed.
    void stop();
    // Empties the scratch folder, where opened entries lie decrypted.
    void clearScratch();
    bool isStarted() const { return started_; }

    QString programDir() const { return programDir_; }
    QString libraryDir() const { return programDir_ + QStringLiteral("LIST/"); }
    QString scratchDir() const { return scratchDir_; }
    // The folder of a category path "a/b/c", ending in "/".
    QString categoryFolder(const QString& categoryPath) const;
    // The category path of a folder below the library folder; empty for anything else.
    QString categoryPathOf(const QString& folder) const;
    static QString archivePath(const QString& folder, const QString& archiveName);
    // Where the editor writes a rich-text body before it is added.
    QString richBodyFile() const { return scratchDir_ + kDocumentFile; }

    // Reads an entry archive's directory: false when it is missing or cannot be read as an archive.
    [[nodiscard]] bool checkArchive(const QString& archivePath);
    // Extracts an entry into the emptied scratch folder. On success *opened is bound to the entry
    // and *bodyFile is the extracted body.
    [[nodiscard]] bool open(const QString& archivePath, const EntryComment& comment, const QString& password,
                            EntryRef* opened, QString* bodyFile);
    // Writes the body back into a bound entry's archive with its protection; the comment stays.
    [[nodiscard]] bool saveBody(const EntryRef& entry, const BodyFiles& body);
    // Makes a new entry in folder: an archive named after the current time, the body, the comment.
    // *created is bound to it and *archiveName is its name without ".zip".
    [[nodiscard]] bool create(const QString& folder, const EntryComment& comment, const QString& password,
                              const BodyFiles& body, EntryRef* created, QString* archiveName);
    // Retitling: first the entry is extracted into a work folder of its own (so a document open
    // from the scratch folder is left alone), then its files go back under the new comment and
    // password. discardRetitle() drops the work folder without changing anything.
    [[nodiscard]] bool beginRetitle(const QString& archivePath, const QString& documentFile, const QString& password);
    [[nodiscard]] bool finishRetitle(const EntryComment& comment, const QString& password, EntryRef* retitled);
    void discardRetitle();
    // Deletes an entry archive, to the trash when asked: exactly that file (a folder is refused,
    // wildcard characters are part of the name). Needs no start.
    [[nodiscard]] bool remove(const QString& archivePath, bool toTrash);

    // The body files of the rich text in the scratch folder.
    BodyFiles richBody() const;

    EntryError error() const { return error_; }
    const QString& errorString() const { return errorString_; }
    // The archive component's own message behind the last failure, when it gave one (errorString()
    // already holds it); callers that word the failure themselves add it.
    const QString& componentMessage() const { return componentMessage_; }

    // The program's one archive component; progress dialogs listen to its events.
    TArchiver& archiver() { return archiver_; }

    // Whether name can be a document file: a plain file name, nothing that reaches another folder.
    static bool isPlainFileName(const QString& name);
    // "yyyymmddhhnnss" of now, with "_" appended while folder holds such an archive.
    static QString newArchiveName(const QString& folder);

  private:
    bool fail(EntryError error, const QString& text);
    bool refuseSeparator();
    bool selectArchive(const QString& archivePath);
    bool extractAll(const QString& archivePath, const QString& password, const QString& folder);
    bool addFiles(const QString& archivePath, const QString& password, const BodyFiles& body);
    bool writeComment(const QString& archivePath, const QString& comment);
    void setupArchiver();
    void changed(const QString& archivePath, bool removed = false) const;

    TArchiver archiver_;
    ChangeListener changeListener_;
    std::unique_ptr<QLockFile> lock_;
    QString programDir_;
    QString scratchDir_;
    QString retitleDir_;
    QString retitleArchive_;
    QString retitleDocument_;
    QString retitlePassword_;   // the entry's password before the retitle
    QString componentMessage_;  // the component's last message during an operation
    bool wrongPassword_ = false;
    bool started_ = false;
    bool ownsScratch_ = false;  // the scratch folder was made by startPrivate() and goes at stop()
    EntryError error_ = EntryError::None;
    QString errorString_;
};

}  // namespace tk
