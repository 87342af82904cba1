#include "store/program_settings.h"

#include "platform/paths.h"
#include "platform/registry_store.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace tk {
namespace {

// Key and value names, written once.
const QString kColorKey = QStringLiteral("Software\\TOMEKEEP\\Color");
const QString kBookKey = QStringLiteral("Software\\TOMEKEEP\\Book");
const QString kEditKey = QStringLiteral("Software\\TOMEKEEP\\Edit");
const QString kListWindowColor = QStringLiteral("ListWindowColor");
const QString kListFontColor = QStringLiteral("ListFontColor");
const QString kEditWindowColor = QStringLiteral("EditWindowColor");
const QString kEditFontColor = QStringLiteral("EditFontColor");
const QString kList = QStringLiteral("List");
const QString kName = QStringLiteral("Name");
const QString kDeleteFile = QStringLiteral("DeleteFile");
const QString kWordWrap = QStringLiteral("WordWrap");
const QString kOnTop = QStringLiteral("OnTop");
constexpr quint32 kSystemColor = 0x80000000u;
constexpr quint32 kLastSystemColor = 30;

QString widthName(size_t column) {
    return QString::number(column) + QStringLiteral("Width");
}

quint32 readColor(const RegistryStore& store, const QString& name, quint32 current) {
    const quint32 value = store.readInteger(kColorKey, name, current);
    return isStoredColor(value) ? value : current;
}

// The stored category folder as a folder of this library, or empty. Below a library, a folder is
// "LIST/" followed by the category path; an old path is tried with each "/LIST/" in it as the old
// library's, first to last.
QString categoryInLibrary(const QString& stored, const QString& libraryDir) {
    if (stored.isEmpty() || libraryDir.isEmpty()) {
        return {};
    }
    const QString folder = withTrailingSlash(QDir::cleanPath(stored));
    QStringList candidates;
    if (folder.startsWith(libraryDir)) {
        candidates << folder;
    } else {
        const QString marker = QStringLiteral("/LIST/");
        for (qsizetype at = folder.indexOf(marker); at >= 0; at = folder.indexOf(marker, at + 1)) {
            candidates << libraryDir + folder.mid(at + marker.size());
        }
    }
    for (const QString& candidate : candidates) {
        // cleanPath took out any "..", so a candidate cannot climb out of the library.
        if (candidate.size() > libraryDir.size() && QFileInfo(candidate).isDir()) {
            return candidate;
        }
    }
    return {};
}

}  // namespace

bool isStoredColor(quint32 value) {
    return value <= 0x00FFFFFFu || (value >= kSystemColor && value - kSystemColor <= kLastSystemColor);
}

ProgramSettings readSettings(const RegistryStore& store, const ProgramSettings& current, const QString& libraryDir) {
    ProgramSettings s = current;
    s.listWindowColor = readColor(store, kListWindowColor, current.listWindowColor);
    s.listFontColor = readColor(store, kListFontColor, current.listFontColor);
    s.editWindowColor = readColor(store, kEditWindowColor, current.editWindowColor);
    s.editFontColor = readColor(store, kEditFontColor, current.editFontColor);
    const QString list = categoryInLibrary(store.readString(kBookKey, kList, current.listDir), libraryDir);
    if (!list.isEmpty()) {
        s.listDir = list;
        s.categoryName = store.readString(kBookKey, kName, current.categoryName);
    }
    for (size_t column = 0; column < s.columnWidths.size(); ++column) {
        const quint32 width = store.readInteger(kBookKey, widthName(column), current.columnWidths[column]);
        s.columnWidths[column] = width <= kWidestColumn ? width : current.columnWidths[column];
    }
    s.deleteToTrash = store.readBool(kBookKey, kDeleteFile, current.deleteToTrash);
    s.wordWrap = store.readBool(kEditKey, kWordWrap, current.wordWrap);
    s.editorOnTop = store.readBool(kEditKey, kOnTop, false);
    return s;
}

void writeSettings(RegistryStore& store, const ProgramSettings& s) {
    store.writeInteger(kColorKey, kListWindowColor, s.listWindowColor);
    store.writeInteger(kColorKey, kListFontColor, s.listFontColor);
    store.writeInteger(kColorKey, kEditWindowColor, s.editWindowColor);
    store.writeInteger(kColorKey, kEditFontColor, s.editFontColor);
    store.writeString(kBookKey, kList, s.listDir);
    store.writeString(kBookKey, kName, s.categoryName);
    for (size_t column = 0; column < s.columnWidths.size(); ++column) {
        store.writeInteger(kBookKey, widthName(column), s.columnWidths[column]);
    }
    store.writeBool(kBookKey, kDeleteFile, s.deleteToTrash);
    store.writeBool(kEditKey, kWordWrap, s.wordWrap);
    store.writeBool(kEditKey, kOnTop, s.editorOnTop);
}

}  // namespace tk
