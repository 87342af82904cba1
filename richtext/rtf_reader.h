#pragma once

#include <QByteArrayView>
#include <QString>

class QTextCursor;

namespace tk::rtf {

// Why a document could not be read. A document that is cut short (closing braces missing at the
// end) is not an error: everything before the cut is kept.
enum class RtfError {
    None,
    NotRtf,      // the data does not start with {\rtf
    Unbalanced,  // a group closed that was never opened
    TooLarge,    // the data and the document built from it would take more than kMaxReadMemory
};
// Neither the depth of groups nor the length of control words is limited: mail programs nest
// thousands of groups, and a word longer than the 32 letters writers keep to is an unknown word.
// Each open group is charged to the read's memory (kGroupMemory), so memory is the one limit.
// The table cells all tables of a document may have; past them table text goes on as plain
// paragraphs. The rich edit window lays a table out whole, at some 0.2 ms a cell, and before it
// shows the first screen when the table is there: 20,000 cells take a few seconds.
inline constexpr int kMaxTableCells = 20000;

// The most memory reading one document may take: the data being read and the document built from
// it. Past it the read stops with RtfError::TooLarge, and a compressed container stops decoding.
inline constexpr qint64 kMaxReadMemory = qint64(256) << 20;
// What a document costs in memory, in bytes, as measured on QTextDocument: a paragraph (its block
// and fragment records), a character (UTF-16 in a buffer that grows by doubling), a run of text in
// one format, a table cell (a frame's share besides the paragraph it holds).
inline constexpr qint64 kParagraphMemory = 160;
inline constexpr qint64 kCharacterMemory = 4;
inline constexpr qint64 kRunMemory = 64;
inline constexpr qint64 kCellMemory = 256;
// An open group whose text is read: its state (formats, paragraph, fonts) on the reader's stack.
inline constexpr qint64 kGroupMemory = 512;

// What to tell the user of a document that would take more memory than a read may: in Korean,
// what happened and what to do.
QString tooLargeText();

// The least memory reading the data takes, found by a quick search: the data, and a paragraph for
// each paragraph mark (\par, \page, \sect), which makes one wherever it stands but in the few
// groups whose text is dropped. Past kMaxReadMemory a document can be refused before anything is
// done to the document it would replace.
qint64 leastReadMemory(QByteArrayView data);

// Inserts the RTF document at the cursor (the caller clears the document for a whole load).
// Returns RtfError::None on success; otherwise *errorString says what was wrong and where.
// On an error the text read up to that point stays inserted; for RtfError::TooLarge that is what
// fitted (the caller discards it), and *errorString is tooLargeText().
[[nodiscard]] RtfError readRtf(QByteArrayView data, QTextCursor& cursor, QString* errorString = nullptr);

// True when the data starts with {\rtf (after white space and an optional UTF-8 byte-order mark).
bool looksLikeRtf(QByteArrayView data);

}  // namespace tk::rtf
