// Finding what a saved page refers to. Regular expressions are enough here; a real HTML parser is
// not needed, because nothing is built from the page: only start tags and their attributes matter,
// and these patterns split them as a browser's tokenizer does (a quoted value may hold ">", an
// unclosed quote runs to the end of the page). Where they err it is on the generous side (a tag
// inside a <noscript> or a conditional comment is read like any other), which costs a few bytes
// in the entry, never a missing picture. Every pattern is possessive or lazy, so a hostile page
// takes time in proportion to its size.
#include "store/web_page_refs.h"

#include "platform/codepage.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QUrl>

#include <algorithm>

namespace tk::webpage {
namespace {

constexpr qsizetype kCharsetScanBytes = 64 * 1024;

// Without a declaration, bytes that are not valid UTF-8 are the program's code page. Valid UTF-8
// may still be that code page (short Korean runs in it often form valid UTF-8), so both readings
// are given; a name read wrongly names no file.
QStringList readUndeclared(const QByteArray& bytes) {
    QStringDecoder utf8(QStringConverter::Utf8);
    const QString text = utf8.decode(bytes);
    if (utf8.hasError()) {
        return {codepage::fromAnsi(bytes)};
    }
    QStringList readings{text};
    if (std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() >= 0x80; })) {
        readings.append(codepage::fromAnsi(bytes));
    }
    return readings;
}

bool isKoreanLabel(const QString& label) {
    static const QStringList labels = {
        QStringLiteral("euc-kr"),        QStringLiteral("cp949"),          QStringLiteral("windows-949"),
        QStringLiteral("x-windows-949"), QStringLiteral("ks_c_5601-1987"), QStringLiteral("ks_c_5601-1989"),
        QStringLiteral("ksc5601"),       QStringLiteral("ksc_5601"),       QStringLiteral("korean"),
        QStringLiteral("iso-ir-149"),    QStringLiteral("cseuckr"),        QStringLiteral("csksc56011987")};
    return labels.contains(label);
}

// Browsers read the Korean labels as the program's code page, and Latin-1 as Windows-1252.
QStringList readDeclared(const QByteArray& bytes, const QString& charset) {
    const QString label = charset.trimmed().toLower();
    if (label == QLatin1String("utf-8") || label == QLatin1String("utf8")) {
        return {QString::fromUtf8(bytes)};
    }
    if (isKoreanLabel(label)) {
        return {codepage::fromAnsi(bytes)};
    }
    const bool latin1 = label == QLatin1String("iso-8859-1") || label == QLatin1String("latin1") ||
                        label == QLatin1String("us-ascii") || label == QLatin1String("ascii");
    const QByteArray name = latin1 ? QByteArray("CP1252") : label.toUpper().toLatin1();
    const QString text = codepage::decode(name.constData(), bytes);
    // A character set the system does not know decodes every byte to the replacement character;
    // markup and style sheets always hold some ASCII.
    const bool known = std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
    return known ? QStringList{text} : readUndeclared(bytes);
}

QStringList readWith(const QByteArray& bytes, const QRegularExpression& declaration) {
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        return {QString::fromUtf8(bytes.mid(3))};
    }
    if (bytes.startsWith("\xFF\xFE")) {
        return {QStringDecoder(QStringConverter::Utf16LE).decode(bytes.mid(2))};
    }
    if (bytes.startsWith("\xFE\xFF")) {
        return {QStringDecoder(QStringConverter::Utf16BE).decode(bytes.mid(2))};
    }
    const QString head = QString::fromLatin1(bytes.left(kCharsetScanBytes));
    const QRegularExpressionMatch m = declaration.match(head);
    return m.hasMatch() ? readDeclared(bytes, m.captured(1)) : readUndeclared(bytes);
}

QString decodeEntities(const QString& value) {
    if (!value.contains(QLatin1Char('&'))) {
        return value;
    }
    static const QRegularExpression entity(QStringLiteral("&(?:#([0-9]{1,7})|#[xX]([0-9A-Fa-f]{1,6})|(amp|lt|gt|quot|"
                                                          "apos|nbsp));"),
                                           QRegularExpression::CaseInsensitiveOption);
    QString out;
    qsizetype last = 0;
    for (const QRegularExpressionMatch& m : entity.globalMatch(value)) {
        out += QStringView(value).mid(last, m.capturedStart() - last);
        last = m.capturedEnd();
        if (m.hasCaptured(3)) {
            static const QHash<QString, QString> named = {
                {QStringLiteral("amp"), QStringLiteral("&")},  {QStringLiteral("lt"), QStringLiteral("<")},
                {QStringLiteral("gt"), QStringLiteral(">")},   {QStringLiteral("quot"), QStringLiteral("\"")},
                {QStringLiteral("apos"), QStringLiteral("'")}, {QStringLiteral("nbsp"), QString(QChar(0xA0))}};
            out += named.value(m.captured(3).toLower());
            continue;
        }
        const uint code = m.hasCaptured(1) ? m.captured(1).toUInt() : m.captured(2).toUInt(nullptr, 16);
        const bool valid = code != 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
        const char32_t c = valid ? char32_t(code) : char32_t(QChar::ReplacementCharacter);
        out += QString::fromUcs4(&c, 1);
    }
    return out + QStringView(value).mid(last);
}

// The URLs of a srcset list: each candidate is a URL, then optional descriptors up to a comma.
QStringList srcsetUrls(const QString& value) {
    QStringList urls;
    qsizetype i = 0;
    const qsizetype n = value.size();
    while (i < n) {
        while (i < n && (value.at(i).isSpace() || value.at(i) == QLatin1Char(','))) {
            ++i;
        }
        const qsizetype start = i;
        while (i < n && !value.at(i).isSpace()) {
            ++i;
        }
        QString url = value.mid(start, i - start);
        const bool endsCandidate = url.endsWith(QLatin1Char(','));
        while (url.endsWith(QLatin1Char(','))) {
            url.chop(1);
        }
        if (!url.isEmpty()) {
            urls.append(url);
        }
        int depth = 0;
        while (!endsCandidate && i < n && (value.at(i) != QLatin1Char(',') || depth > 0)) {
            depth += value.at(i) == QLatin1Char('(') ? 1 : value.at(i) == QLatin1Char(')') ? -1 : 0;
            ++i;
        }
    }
    return urls;
}

void addAttribute(const QString& name, const QString& value, QStringList& refs) {
    static const QStringList urlAttributes = {QStringLiteral("src"),        QStringLiteral("href"),
                                              QStringLiteral("xlink:href"), QStringLiteral("background"),
                                              QStringLiteral("poster"),     QStringLiteral("data")};
    const QString key = name.toLower();
    if (urlAttributes.contains(key)) {
        refs.append(decodeEntities(value));
    } else if (key == QLatin1String("srcset")) {
        refs.append(srcsetUrls(decodeEntities(value)));
    } else if (key == QLatin1String("style")) {
        refs.append(cssReferences(decodeEntities(value)));
    }
}

void addTagAttributes(QStringView attributes, QStringList& refs) {
    static const QRegularExpression attribute(
        QStringLiteral(R"re(([^\s"'>/=]+)(?:\s*=\s*(?:"([^"]*)(?:"|\z)|'([^']*)(?:'|\z)|([^\s>]+)))?)re"));
    for (const QRegularExpressionMatch& m : attribute.globalMatch(attributes)) {
        const QString value = m.hasCaptured(2) ? m.captured(2) : m.hasCaptured(3) ? m.captured(3) : m.captured(4);
        addAttribute(m.captured(1), value, refs);
    }
}

}  // namespace

QStringList htmlReadings(const QByteArray& bytes) {
    static const QRegularExpression meta(
        QStringLiteral(R"re(<meta\b[^>]*?charset\s*=\s*["']?\s*([A-Za-z0-9_.:\-]+))re"),
        QRegularExpression::CaseInsensitiveOption);
    return readWith(bytes, meta);
}

QStringList cssReadings(const QByteArray& bytes) {
    static const QRegularExpression charset(QStringLiteral(R"re(^@charset\s+["']([A-Za-z0-9_.:\-]+)["'])re"),
                                            QRegularExpression::CaseInsensitiveOption);
    return readWith(bytes, charset);
}

QStringList htmlReferences(const QString& html) {
    // A start tag's attributes: a quoted value may hold ">", an unclosed quote runs to the end.
    const QString attributes = QStringLiteral(R"re(((?:[^>"']++|"[^"]*+(?:"|\z)|'[^']*+(?:'|\z))*+)(?:>|\z))re");
    // A comment; a <script> or <style> element with its raw text; any other start tag.
    static const QRegularExpression markup(
        QStringLiteral(R"re(<!--.*?(?:-->|\z)|<((?i:script|style))(?=[\s/>]|\z))re") + attributes +
            QStringLiteral(R"re((.*?)(?:</(?i:\1)|\z)|<([A-Za-z][^\s/>]*+))re") + attributes,
        QRegularExpression::DotMatchesEverythingOption);
    QStringList refs;
    for (const QRegularExpressionMatch& m : markup.globalMatch(html)) {
        if (m.hasCaptured(1)) {
            addTagAttributes(m.capturedView(2), refs);
            if (m.captured(1).compare(QLatin1String("style"), Qt::CaseInsensitive) == 0) {
                refs.append(cssReferences(m.captured(3)));
            }
        } else if (m.hasCaptured(4)) {
            addTagAttributes(m.capturedView(5), refs);
        }
    }
    return refs;
}

QStringList cssReferences(const QString& css) {
    static const QRegularExpression comment(QStringLiteral(R"re(/\*.*?(?:\*/|\z))re"),
                                            QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression url(
        QStringLiteral(R"re(url\(\s*(?:"([^"]*)"|'([^']*)'|([^)"'\s]*))\s*\)|@import\s+(?:"([^"]*)"|'([^']*)'))re"),
        QRegularExpression::CaseInsensitiveOption);
    QString text = css;
    text.replace(comment, QStringLiteral(" "));
    QStringList refs;
    for (const QRegularExpressionMatch& m : url.globalMatch(text)) {
        for (int i = 1; i <= 5; ++i) {
            if (m.hasCaptured(i)) {
                refs.append(m.captured(i));
                break;
            }
        }
    }
    return refs;
}

QString resolveReference(const QString& fromDir, const QString& url) {
    static const QRegularExpression tabsAndNewlines(QStringLiteral("[\\t\\n\\r]"));
    QString text = url;
    text.remove(tabsAndNewlines);
    // Browsers read a backslash in a file URL as a folder separator (pages saved on Windows).
    text = text.trimmed().replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QUrl ref(text, QUrl::TolerantMode);
    if (text.isEmpty() || !ref.isValid() || !ref.scheme().isEmpty() || !ref.authority().isEmpty() ||
        ref.path().isEmpty() || ref.path().startsWith(QLatin1Char('/'))) {
        return {};
    }
    QStringList parts = fromDir.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    const QString encoded = ref.path(QUrl::FullyEncoded);
    for (const QString& segment : encoded.split(QLatin1Char('/'))) {
        // Percent escapes are the bytes of the name; names on disk are UTF-8.
        const QString name = QString::fromUtf8(QByteArray::fromPercentEncoding(segment.toLatin1()));
        if (name.contains(QLatin1Char('/')) || name.contains(QChar(0))) {
            return {};
        }
        if (name == QLatin1String("..")) {
            if (parts.isEmpty()) {
                return {};
            }
            parts.removeLast();
        } else if (!name.isEmpty() && name != QLatin1String(".")) {
            parts.append(name);
        }
    }
    return parts.join(QLatin1Char('/'));
}

}  // namespace tk::webpage
