#pragma once

#include <QString>

#include <array>

namespace tk {

class RegistryStore;

// The program's options as kept between runs. Colours are in their stored form: 0x00BBGGRR, or
// 0x80000000 plus a system colour index (5 window, 8 window text).
struct ProgramSettings {
    quint32 listWindowColor = 0x00800000;  // navy
    quint32 listFontColor = 0x00C0C0C0;    // silver
    quint32 editWindowColor = 0x80000005;
    quint32 editFontColor = 0x80000008;
    QString listDir;       // the category folder listed, ending in "/"; empty when none
    QString categoryName;  // its display name
    std::array<quint32, 3> columnWidths{460, 100, 100};
    bool deleteToTrash = true;
    bool wordWrap = true;
    bool editorOnTop = false;

    bool operator==(const ProgramSettings&) const = default;
};

// A colour value the program can show: 0x00BBGGRR, or a system colour index up to 30 with
// 0x80000000 set.
bool isStoredColor(quint32 value);
// Column widths above this are damaged values, not choices.
constexpr quint32 kWidestColumn = 4000;

// Reads the stored settings over current: a value that is absent, not a number where one is
// wanted, or out of range (a colour that is none, a width above kWidestColumn) keeps what current
// has. The stored category folder is taken only inside libraryDir (the LIST folder, ending in
// "/"): one of another library, which the settings remember after the program folder moved or
// another library was opened, is taken as the same category of this library when it has one. A
// folder that does not exist here is ignored together with its name.
ProgramSettings readSettings(const RegistryStore& store, const ProgramSettings& current, const QString& libraryDir);
// Writes every value.
void writeSettings(RegistryStore& store, const ProgramSettings& settings);

}  // namespace tk
