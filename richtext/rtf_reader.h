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
    TooDeep,     // groups nested deeper than kMaxGroupDepth
    Unbalanced,  // a group closed that was never opened
    TooLong,     // a control word longer than kMaxControlWordLength letters
};

inline constexpr int kMaxGroupDepth = 1000;
inline constexpr int kMaxControlWordLength = 32;

// Inserts the RTF document at the cursor (the caller clears the document for a whole load).
// Returns RtfError::None on success; otherwise *errorString says what was wrong and where.
// On an error the text read up to that point stays inserted.
[[nodiscard]] RtfError readRtf(QByteArrayView data, QTextCursor& cursor, QString* errorString = nullptr);

// True when the data starts with {\rtf (after white space and an optional UTF-8 byte-order mark).
bool looksLikeRtf(QByteArrayView data);

}  // namespace tk::rtf
