#pragma once

#include <QByteArray>

class QTextDocument;

namespace tk::rtf {

// RTF of the characters [from, to) of the document (to = -1: to the end). Text is written as
// \uN with a CP949 fallback (\ansicpg949, fonts with \fcharset129), so readers that know only
// code pages and readers that know Unicode both get the same text.
QByteArray writeRtf(const QTextDocument& document, int from = 0, int to = -1);

}  // namespace tk::rtf
