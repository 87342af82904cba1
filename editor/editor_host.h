#pragma once

#include "store/entry_comment.h"

#include <QString>

namespace tk {

class EntryStore;

// What the user gave for a new entry on the entry dialog's title panel.
struct NewEntryAnswer {
    QString title;
    QString category;
    bool isProtected = false;
    QString password;
};

// The editor's view of the main window: the entry store, the listed category folder, the entry
// dialog and the entry list. The editor writes entries only through the store, into the entry it
// is bound to or a new one.
class EditorHost {
  public:
    virtual ~EditorHost() = default;

    virtual EntryStore& store() = 0;
    // The category folder a new entry goes into; empty while none is listed.
    virtual QString listDir() const = 0;
    // Shows the entry dialog's title panel emptied; false when it was cancelled or the title left empty.
    virtual bool askNewEntry(NewEntryAnswer* answer) = 0;
    // A new entry was saved into folder: its row joins the list when that folder is listed.
    virtual void entryCreated(const QString& folder, const QString& archiveName, const EntryComment& comment) = 0;
};

}  // namespace tk
