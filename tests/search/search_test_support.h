#pragma once

// Entry archives for search tests, written with libzip directly: a body member and the entry
// comment, encrypted with AES-256 when a password is given.
#include <QByteArray>
#include <QString>

namespace tk::test {

// An RTF document holding text, every character outside ASCII as a \u control word.
QByteArray rtfOf(const QString& text);

struct EntrySpec {
    QString title;
    QString category;
    QByteArray body;  // the member's bytes
    QString password;
    QString documentFile = QStringLiteral("TKFile.rtf");
};

// Writes the entry archive at path; false when libzip could not.
[[nodiscard]] bool writeEntry(const QString& path, const EntrySpec& spec);

// Every file below folder whose bytes hold needle.
QStringList filesHolding(const QString& folder, const QByteArray& needle);

}  // namespace tk::test
