#include "app/settings.h"

#include "app/main_window.h"
#include "platform/message_box.h"
#include "platform/registry_store.h"
#include "store/program_settings.h"

#include <QApplication>
#include <QFileInfo>
#include <QPalette>

namespace tk {
namespace {

constexpr quint32 kSystemColor = 0x80000000u;
constexpr quint32 kWindowColor = 5;
constexpr quint32 kWindowTextColor = 8;

// The palette role that stands for a system colour index; the indices are those of the stored
// form (4 menu, 5 window, 7 menu text, 8 window text, 13 and 14 selection, 15 and 18 buttons, 17
// grey text, 23 and 24 tooltips). Any other index looks like the window's face.
QPalette::ColorRole systemRole(quint32 index) {
    switch (index) {
        case 5:
            return QPalette::Base;
        case 7:
        case 9:
            return QPalette::WindowText;
        case 8:
            return QPalette::Text;
        case 13:
            return QPalette::Highlight;
        case 14:
            return QPalette::HighlightedText;
        case 15:
            return QPalette::Button;
        case 17:
            return QPalette::PlaceholderText;
        case 18:
            return QPalette::ButtonText;
        case 23:
            return QPalette::ToolTipText;
        case 24:
            return QPalette::ToolTipBase;
        default:
            return QPalette::Window;
    }
}

}  // namespace

QColor colorFromStored(quint32 value) {
    if (value & kSystemColor) {
        return QApplication::palette().color(systemRole(value & ~kSystemColor));
    }
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
}

quint32 colorToStored(const QColor& color, bool systemColors) {
    const QPalette palette = QApplication::palette();
    if (systemColors && color == palette.color(QPalette::Base)) {
        return kSystemColor | kWindowColor;
    }
    if (systemColors && color == palette.color(QPalette::Text)) {
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
    form1.applySettings(readSettings(store, form1.currentSettings(), form1.store().libraryDir()));
}

void SaveSettings(TForm1& form1) {
    RegistryStore store;
    if (!store.load()) {
        qWarning("%s", qPrintable(store.errorString()));
    }
    writeSettings(store, form1.currentSettings());
    if (!store.save()) {
        Messages::show(
            &form1,
            QStringLiteral("설정을 저장하지 못했습니다. 다음에 시작할 때는 이전 설정을 씁니다.\n%1 폴더에 쓸 "
                           "수 있는지 확인하세요.\n(%2)")
                .arg(QFileInfo(RegistryStore::defaultPath()).absolutePath(), store.errorString()),
            MsgKind::Warning);
    }
}

}  // namespace tk
