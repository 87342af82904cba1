#include "app/settings.h"

#include "app/main_window.h"
#include "platform/registry_store.h"

#include <QApplication>
#include <QFileInfo>
#include <QHeaderView>
#include <QPalette>

namespace tk {
namespace {

const QString kColorKey = QStringLiteral("Software\\TOMEKEEP\\Color");
const QString kBookKey = QStringLiteral("Software\\TOMEKEEP\\Book");

constexpr quint32 kSystemColor = 0x80000000u;
constexpr quint32 kWindowColor = 5;
constexpr quint32 kWindowTextColor = 8;

QColor listColor(const TForm1& form1, QPalette::ColorRole role) {
    return form1.ListView1->palette().color(role);
}

void setListColor(TForm1& form1, QPalette::ColorRole role, const QColor& color) {
    QPalette p = form1.ListView1->palette();
    p.setColor(role, color);
    form1.ListView1->setPalette(p);
}

QString widthName(int column) {
    return QString::number(column) + QStringLiteral("Width");
}

}  // namespace

QColor colorFromStored(quint32 value) {
    if (value & kSystemColor) {
        const quint32 index = value & 0xFF;
        const QPalette palette = QApplication::palette();
        return palette.color(index == kWindowTextColor ? QPalette::Text : QPalette::Base);
    }
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
}

quint32 colorToStored(const QColor& color) {
    const QPalette palette = QApplication::palette();
    if (color == palette.color(QPalette::Base)) {
        return kSystemColor | kWindowColor;
    }
    if (color == palette.color(QPalette::Text)) {
        return kSystemColor | kWindowTextColor;
    }
    return static_cast<quint32>(color.red()) | (static_cast<quint32>(color.green()) << 8) |
           (static_cast<quint32>(color.blue()) << 16);
}

void LoadSettings(TForm1& form1) {
    RegistryStore store;
    if (!store.load()) {
        qWarning("%s", qPrintable(store.errorString()));
    }
    const auto color = [&](const QString& name, QPalette::ColorRole role) {
        const quint32 stored = store.readInteger(kColorKey, name, colorToStored(listColor(form1, role)));
        setListColor(form1, role, colorFromStored(stored));
    };
    color(QStringLiteral("ListWindowColor"), QPalette::Base);
    color(QStringLiteral("ListFontColor"), QPalette::Text);

    const QString list = store.readString(kBookKey, QStringLiteral("List"), form1.ListDir);
    if (!list.isEmpty() && QFileInfo(list).isDir()) {
        form1.ListDir = TForm1::dirText(list);
        form1.SetCategoryName(store.readString(kBookKey, QStringLiteral("Name"), form1.CategoryName()));
    }
    QHeaderView* header = form1.ListView1->header();
    for (int column = 0; column < 3; ++column) {
        const quint32 width = store.readInteger(kBookKey, widthName(column), header->sectionSize(column));
        header->resizeSection(column, static_cast<int>(std::min<quint32>(width, 4000)));
        form1.FindList->header()->resizeSection(column, header->sectionSize(column));
    }
    form1.DeleteToTrash = store.readBool(kBookKey, QStringLiteral("DeleteFile"), form1.DeleteToTrash);
}

void SaveSettings(TForm1& form1) {
    RegistryStore store;
    if (!store.load()) {
        qWarning("%s", qPrintable(store.errorString()));
    }
    store.writeInteger(kColorKey, QStringLiteral("ListWindowColor"), colorToStored(listColor(form1, QPalette::Base)));
    store.writeInteger(kColorKey, QStringLiteral("ListFontColor"), colorToStored(listColor(form1, QPalette::Text)));
    store.writeString(kBookKey, QStringLiteral("List"), form1.ListDir);
    store.writeString(kBookKey, QStringLiteral("Name"), form1.CategoryName());
    for (int column = 0; column < 3; ++column) {
        store.writeInteger(kBookKey, widthName(column),
                           static_cast<quint32>(form1.ListView1->header()->sectionSize(column)));
    }
    store.writeBool(kBookKey, QStringLiteral("DeleteFile"), form1.DeleteToTrash);
    if (!store.save()) {
        qWarning("cannot save the settings: %s", qPrintable(store.errorString()));
    }
}

}  // namespace tk
