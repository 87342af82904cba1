#pragma once

#include <QByteArray>
#include <QString>

namespace tk::bench {

// The same document twice: as RTF in the manner LibreOffice writes it (fonts and code pages in
// the header, \loch/\hich/\dbch runs, Korean as \uN with CP949 fallbacks) and as equivalent HTML.
// Paragraphs of English and Korean with bold, italic, colour and size changes are repeated until
// the RTF reaches about targetBytes.
struct SampleDocument {
    QByteArray rtf;
    QString html;
};

SampleDocument makeSampleDocument(qsizetype targetBytes);

}  // namespace tk::bench
