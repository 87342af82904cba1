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
constexpr quint32 kSystemColor = 0x80000000u;
constexpr quint32 kLastSystemColor = 30;

QString widthName(size_t column) {
    return QString::number(column) + QStringLiteral("Width");
}

quint32 readColor(const RegistryStore& store, const QString& name, quint32 current) {
    const quint32 value = store.readInteger(kColorKey, name, current);
    return isStoredColor(value) ? value : current;
}

}  // namespace

bool isStoredColor(quint32 value) {
    return value <= 0x00FFFFFFu || (value >= kSystemColor && value - kSystemColor <= kLastSystemColor);
}

ProgramSettings readSettings(const RegistryStore& store, const ProgramSettings& current) {
    ProgramSettings s = current;
    s.listWindowColor = readColor(store, kListWindowColor, current.listWindowColor);
    s.listFontColor = readColor(store, kListFontColor, current.listFontColor);
    s.editWindowColor = readColor(store, kEditWindowColor, current.editWindowColor);
    s.editFontColor = readColor(store, kEditFontColor, current.editFontColor);
    const QString list = store.readString(kBookKey, kList, current.listDir);
    if (!list.isEmpty() && QFileInfo(list).isDir()) {
        s.listDir = withTrailingSlash(list);
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
