#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace tk::codepage {

// The program's ANSI code page: Korean (Unified Hangul Code).
inline constexpr const char* kAnsi = "CP949";

// Decodes bytes of the named iconv character set. Invalid or truncated sequences become U+FFFD,
// one per offending byte, so nothing is silently dropped. Pure ASCII takes a fast path.
QString decode(const char* charset, QByteArrayView bytes);

// Encodes text into the named character set. Returns false, with *out holding what was converted
// before the first character that has no form there, when the text cannot be encoded whole.
[[nodiscard]] bool encode(const char* charset, QStringView text, QByteArray* out);

// True when every character of text has a form in the character set.
bool canEncode(const char* charset, QStringView text);

// The converter name of an RTF/font character set number (0 ANSI, 77 Mac Roman, 128 Shift-JIS,
// 129 Hangul, ...), or null for a number that names no code page of its own (1 default, 2 symbol).
const char* charsetCodePage(int charset);
// The Windows code page number of a character set number (Mac ones as 10000 and up), or 0.
int charsetToCodePage(int charset);
// The converter name of a Windows, DOS or Mac code page number (1252, 949, 10000 Mac Roman,
// 10003 Mac Korean ...), or null when there is no converter for it.
const char* codePageCharset(int codePage);

inline QString fromAnsi(QByteArrayView bytes) {
    return decode(kAnsi, bytes);
}

// CP949 bytes where the text has a CP949 form; otherwise the UTF-8 bytes of the characters that
// have none. Used where bytes are compared or counted, never where they are stored.
QByteArray toAnsiBestEffort(QStringView text);

// Entry and archive comments: CP949 when every character has a CP949 form (byte-compatible with
// libraries made on Windows), otherwise EF BB BF followed by UTF-8. Nothing typed becomes "?".
QByteArray encodeComment(QStringView text);
// EF BB BF first means UTF-8; anything else is CP949.
QString decodeComment(QByteArrayView bytes);

}  // namespace tk::codepage
