#include "bench/richedit/sample_documents.h"

#include "platform/codepage.h"

namespace tk::bench {
namespace {

// Korean as LibreOffice writes it: each character as \uN followed by its two CP949 bytes.
QByteArray koreanRtf(const QString& text) {
    QByteArray out;
    for (const QChar ch : text) {
        if (ch.unicode() < 0x80) {
            out += static_cast<char>(ch.unicode());
            continue;
        }
        out += "\\u" + QByteArray::number(static_cast<qint16>(ch.unicode()));
        QByteArray bytes;
        if (codepage::encode(codepage::kAnsi, QString(ch), &bytes)) {
            for (const char b : bytes) {
                out += "\\'" + QByteArray::number(static_cast<unsigned char>(b), 16).rightJustified(2, '0');
            }
        } else {
            out += '?';
        }
    }
    return out;
}

const QByteArray kHeader =
    "{\\rtf1\\ansi\\deff3\\adeflang1025\n"
    "{\\fonttbl{\\f0\\froman\\fprq2\\fcharset0 Times New Roman;}{\\f1\\froman\\fprq2\\fcharset2 Symbol;}"
    "{\\f2\\fswiss\\fprq2\\fcharset0 Arial;}{\\f3\\froman\\fprq2\\fcharset0 Liberation Serif{\\*\\falt Times New "
    "Roman};}{\\f4\\fswiss\\fprq2\\fcharset0 Liberation Sans{\\*\\falt Arial};}{\\f5\\fnil\\fprq2\\fcharset129 "
    "NanumGothic;}}\n"
    "{\\colortbl;\\red0\\green0\\blue0;\\red200\\green0\\blue0;\\red0\\green100\\blue200;}\n"
    "{\\stylesheet{\\s0\\snext0\\dbch\\af5\\langfe1042\\dbch\\af5\\afs24\\alang1081\\loch\\f3\\fs24\\lang1033 "
    "Normal;}}\n"
    "{\\*\\generator LibreOffice/7.0.4.2$Linux_X86_64 LibreOffice_project/00$Build-2}{\\info{\\creatim\\yr2024"
    "\\mo1\\dy2\\hr3\\min4}}\\deftab709\n"
    "\\hyphauto1\\viewscale100\\formshade\\paperh16838\\paperw11906\\margl1134\\margr1134\\margt1134\\margb1134"
    "\\sectd\\sbknone\\sectunlocked1\\pgndecimal\\pgwsxn11906\\pghsxn16838\\marglsxn1134\\margrsxn1134"
    "\\margtsxn1134\\margbsxn1134\\ftnbj\\ftnstart1\\ftnrstcont\\ftnnar\\aenddoc\\aftnrstcont\\aftnstart1"
    "\\aftnnrlc\n";

const QString kKorean = QString::fromUtf8("한글 문서를 읽고 쓰는 속도를 잽니다. 가나다라마바사 아자차카타파하");
const QString kKoreanBold = QString::fromUtf8("굵은 글씨");
const QString kEnglish = QStringLiteral("The quick brown fox jumps over the lazy dog, again and again. ");

void appendParagraph(SampleDocument& doc, int n) {
    const QByteArray number = QByteArray::number(n);
    const bool centred = n % 7 == 0;
    QByteArray& r = doc.rtf;
    r += "\\pard\\plain \\s0";
    r += centred ? "\\qc" : "\\ql";
    r += "\\widctlpar\\hyphpar0\\ltrpar\\cf1\\dbch\\af5\\langfe1042\\dbch\\af5\\afs24\\alang1081\\loch\\f3\\hich"
         "\\af3\\fs24\\lang1033\\sb0\\sa140{\\loch\n";
    r += kEnglish.toLatin1() + number + " }";
    r += "{\\b\\loch\\f3\\hich\\af3 bold words }";
    r += "{\\i\\cf2\\loch\\f3\\hich\\af3 red italic }";
    r += "{\\uc2 \\dbch\\af5\\loch\\f5\\hich\\af5\\fs28 " + koreanRtf(kKorean) + "}";
    r += "{\\uc2 \\b\\cf3\\dbch\\af5\\loch\\f5\\hich\\af5 " + koreanRtf(kKoreanBold) + "}";
    r += "\n\\par ";

    QString& h = doc.html;
    h += centred ? QStringLiteral("<p align=\"center\" style=\"margin-bottom:7pt\">")
                 : QStringLiteral("<p style=\"margin-bottom:7pt\">");
    h += QStringLiteral("<span style=\"font-family:'Liberation Serif'; font-size:12pt\">") + kEnglish +
         QString::number(n) + QStringLiteral(" </span>");
    h += QStringLiteral("<b>bold words </b>");
    h += QStringLiteral("<i><span style=\"color:#c80000\">red italic </span></i>");
    h += QStringLiteral("<span style=\"font-family:'NanumGothic'; font-size:14pt\">") + kKorean +
         QStringLiteral("</span>");
    h += QStringLiteral("<b><span style=\"font-family:'NanumGothic'; color:#0064c8\">") + kKoreanBold +
         QStringLiteral("</span></b></p>\n");
}

}  // namespace

SampleDocument makeSampleDocument(qsizetype targetBytes) {
    SampleDocument doc;
    doc.rtf = kHeader;
    doc.html = QStringLiteral("<html><head><meta charset=\"utf-8\"></head><body>\n");
    for (int n = 0; doc.rtf.size() < targetBytes; ++n) {
        appendParagraph(doc, n);
    }
    doc.rtf += "}\n";
    doc.html += QStringLiteral("</body></html>\n");
    return doc;
}

}  // namespace tk::bench
