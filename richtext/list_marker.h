#pragma once

#include <QFont>
#include <QRectF>
#include <QString>
#include <QTextCharFormat>

#include <optional>

class QPainter;
class QPalette;
class QTextBlock;
class QTextDocument;
class QTextList;

namespace tk::richedit {

// Qt numbers every list from 1 and puts the number a space before the text, whatever the list's
// format says. The window draws the numbers of lists that start elsewhere itself, over Qt's: the
// document keeps the list as it is, so every reader of its format sees what was stored.
bool drawsOwnNumbers(const QTextList* list);

// A number the window draws, in document coordinates.
struct ListMarker {
    QString text;          // "3." for the first paragraph of a list from 3
    QTextCharFormat look;  // the format of the paragraph's first character, whose font the number takes
    // Where the number goes: right-aligned before the first line, the stored distance (or, without
    // one, a space as Qt leaves) from the text; not left of the paragraph's frame unless the number
    // would come nearer the text than that space.
    QRectF rect;
    QPointF origin;  // top left of the number's text
    QRectF qtRect;   // where Qt drew its own number, cleared first
    bool rightToLeft = false;
};

// The number the window draws for a paragraph, if the paragraph's list is one it numbers and the
// paragraph is laid out.
std::optional<ListMarker> ownListMarker(const QTextDocument& document, const QTextBlock& block);

// How the numbers are painted: the window's colours and the selection that Qt shows.
struct MarkerPaint {
    const QPalette* palette = nullptr;
    bool active = true;      // the window has the focus
    int selectionStart = 0;  // the user's selection, which highlights a number it runs through
    int selectionEnd = 0;
};

// Paints the window's numbers of the paragraphs from `first` to `last`, the painter being in
// document coordinates.
void paintListMarkers(QPainter& painter, const QTextDocument& document, const QTextBlock& first, const QTextBlock& last,
                      const MarkerPaint& paint);

}  // namespace tk::richedit
