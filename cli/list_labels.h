#pragma once

class QTextDocument;

namespace tk::cli {

// Writes each list paragraph's label ("1.", "a)", a bullet) as text at its start, followed by a
// space, as word processors do when they save a document as plain text: a plain-text stream keeps
// only the paragraphs' own text, and numbering that is lost there was part of what the reader saw.
void writeListLabels(QTextDocument& document);

}  // namespace tk::cli
