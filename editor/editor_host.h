#pragma once

#include <QString>

namespace tk {

class TArchiver;

// What every writer of entry archives says when an add fails.
inline QString addFailedMessage() {
    return QStringLiteral("Error in Add; Fatal DLL Exception in mainunit");
}

// What the user gave for a new entry on the entry dialog's title panel.
struct NewEntryAnswer {
    QString title;
    QString category;
    bool isProtected = false;
    QString password;
};

// The editor's view of the main window: the library folders, the one archive component, the entry
// dialog and the entry list. The editor writes entries only through it.
class EditorHost {
  public:
    virtual ~EditorHost() = default;

    virtual TArchiver& archiver() = 0;
    virtual QString programDir() const = 0;
    virtual QString listDir() const = 0;
    virtual void ZipOptions(bool isProtected) = 0;
    // Shows the entry dialog's title panel emptied; false when it was cancelled or the title left empty.
    virtual bool askNewEntry(NewEntryAnswer* answer) = 0;
    // A new entry was saved: its row joins the list.
    virtual void addEntryRow(const QString& archiveName, const QString& comment) = 0;
};

}  // namespace tk
