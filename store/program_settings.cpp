#include "store/program_settings.h"

#include "platform/paths.h"
#include "platform/registry_store.h"

#include <QFileInfo>

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
// A column wider than this is a damaged value, not a choice.
constexpr quint32 kWidestColumn = 4000;

QString widthName(size_t column) {
    return QString::number(column) + QStringLiteral("Width");
}

}  // namespace

ProgramSettings readSettings(const RegistryStore& store, const ProgramSettings& current) {
    ProgramSettings s = current;
    s.listWindowColor = store.readInteger(kColorKey, kListWindowColor, current.listWindowColor);
    s.listFontColor = store.readInteger(kColorKey, kListFontColor, current.listFontColor);
    s.editWindowColor = store.readInteger(kColorKey, kEditWindowColor, current.editWindowColor);
    s.editFontColor = store.readInteger(kColorKey, kEditFontColor, current.editFontColor);
    const QString list = store.readString(kBookKey, kList, current.listDir);
    if (!list.isEmpty() && QFileInfo(list).isDir()) {
        s.listDir = withTrailingSlash(list);
        s.categoryName = store.readString(kBookKey, kName, current.categoryName);
    }
    for (size_t column = 0; column < s.columnWidths.size(); ++column) {
        s.columnWidths[column] =
            std::min(store.readInteger(kBookKey, widthName(column), current.columnWidths[column]), kWidestColumn);
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
