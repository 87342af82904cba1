#pragma once

#include "archive/archiver_types.h"
#include "store/entry_comment.h"

#include <QString>

namespace tk {

// An entry as a document is bound to it: where its archive lies and how its body is written back.
// The editor keeps one of these as its own value, so nothing another command does to the archive
// component can redirect its saves.
struct EntryRef {
    QString archivePath;   // the entry archive, a full path
    QString password;      // empty for an entry without protection
    QString documentFile;  // kDocumentFile for rich text, else the page's file name
    QString title;

    bool isValid() const { return !archivePath.isEmpty(); }
    bool isProtected() const { return !password.isEmpty(); }
    bool isWeb() const { return documentFile != kDocumentFile; }
    // Encrypted adding for a protected entry, plain adding otherwise.
    AddOpts addOptions() const { return isProtected() ? AddOpts{AddOptsEnum::AddEncrypt} : AddOpts{}; }
};

}  // namespace tk
