#pragma once

#include <QString>
#include <QStringList>

namespace tk::palette {

// The palette's pages, in tab order.
inline constexpr int kTabCount = 8;
// The page of the Hanja block, laid out 14 to a row; every other page has 15.
inline constexpr int kHanjaTab = 6;
// The grid never shows fewer rows than this.
inline constexpr int kMinRows = 13;

// The caption of a page's tab.
QString tabCaption(int tab);

// The cell texts of a page, in order: one character per entry of the Korean double-byte table, or
// an empty text for a blank that starts the next group on a new stretch of the grid. A byte pair
// the code page leaves unassigned keeps its cell, empty. Empty for a page that does not exist.
QStringList tabEntries(int tab);

// The grid's columns on a page and its rows for a list of the given length.
int tabColumns(int tab);
int gridRows(int entries, int columns);

}  // namespace tk::palette
