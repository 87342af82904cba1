#pragma once

#include "richtext/rtf_reader.h"

#include <QRegularExpression>
#include <QStringList>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

#include <gtest/gtest.h>

#include <memory>

namespace tk::test {

// A document read from rtf, which must read without an error.
inline std::unique_ptr<QTextDocument> readBack(const QByteArray& rtf) {
    auto document = std::make_unique<QTextDocument>();
    QTextCursor cursor(document.get());
    EXPECT_EQ(rtf::readRtf(rtf, cursor), rtf::RtfError::None) << rtf.toStdString();
    return document;
}

// The document's text as word processors export it: one line per paragraph or table cell, a
// numbered paragraph led by its number and a bulleted one by a bullet.
inline QString exportedText(const QTextDocument& document) {
    QStringList lines;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QString line = block.text();
        line.replace(QChar(0x2028), QLatin1Char('\n'));
        line.remove(QChar::ObjectReplacementCharacter);
        if (const QTextList* list = block.textList()) {
            const QTextListFormat::Style style = list->format().style();
            const bool bullet = style == QTextListFormat::ListDisc || style == QTextListFormat::ListCircle ||
                                style == QTextListFormat::ListSquare;
            line = (bullet ? QStringLiteral("\u2022") : list->itemText(block)) + QLatin1Char(' ') + line;
        }
        lines.append(line);
    }
    return lines.join(QLatin1Char('\n'));
}

enum class Compare { Lines, LinesWithoutLabels, Words };

// Text reduced to what every exporter agrees on: no byte-order mark, white space collapsed, no
// empty lines; without labels, list numbers and bullets are dropped; as words, table rules too.
inline QStringList normalizedText(QString text, Compare mode) {
    text.remove(QChar(0xFEFF));
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    static const QRegularExpression space(QStringLiteral("[\\s\\x{00A0}]+"));
    static const QRegularExpression label(
        QStringLiteral("^(\\d+[.)]|[a-zA-Z][.)]|[ivxIVX]+[.)]|\\x{2022}|-|\\x{00B7})\\s"));
    QStringList result;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (QString line : lines) {
        line = line.replace(space, QStringLiteral(" ")).trimmed();
        if (mode == Compare::LinesWithoutLabels) {
            line = line.remove(label).trimmed();
        }
        if (line.isEmpty()) {
            continue;
        }
        if (mode == Compare::Words) {
            // Exporters that write sub- and superscript digits as characters of their own.
            line = line.normalized(QString::NormalizationForm_KC);
            for (const QString& word : line.split(QLatin1Char(' '))) {
                if (!word.contains(QRegularExpression(QStringLiteral("^[-\\x{2022}]+$")))) {
                    result.append(word);
                }
            }
        } else {
            result.append(line);
        }
    }
    return result;
}

inline QString readRtfText(const QByteArray& rtf, QTextDocument* document, tk::rtf::RtfError* error = nullptr) {
    QTextCursor cursor(document);
    const tk::rtf::RtfError result = tk::rtf::readRtf(rtf, cursor);
    if (error) {
        *error = result;
    }
    return exportedText(*document);
}

}  // namespace tk::test
