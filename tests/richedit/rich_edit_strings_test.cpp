#include "richedit/compressed_rtf.h"
#include "richedit/conversion.h"
#include "richedit/qe_rich_edit.h"
#include "richedit/rich_text_document.h"
#include "richtext/rich_edit_model.h"
#include "test_support.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>

using namespace tk;

namespace {

QByteArray rtfOf(const char* body) {
    return QByteArray("{\\rtf1\\ansi\\ansicpg949{\\fonttbl{\\f0\\fnil\\fcharset129 Gulim;}}\\f0 ") + body + "}";
}

}  // namespace

TEST(RichEditStringsLines, InsertGetSetDeleteAsTheLineListDoes) {
    TRichTextDocument doc;
    TRichEditStrings& lines = doc.Lines();
    EXPECT_EQ(lines.LineCount(), 0);
    lines.Add(QStringLiteral("one"));
    lines.Add(QStringLiteral("two"));
    EXPECT_EQ(lines.LineCount(), 2);
    EXPECT_EQ(doc.editModel().text(), QStringLiteral("one\rtwo\r"));
    // On text that ends in a line break, the new line goes at the start of the empty last line.
    lines.InsertLine(lines.LineCount(), QStringLiteral("three"));
    EXPECT_EQ(doc.editModel().text(), QStringLiteral("one\rtwo\rthree\r"));
    // Two or more past the end: nothing.
    lines.InsertLine(lines.LineCount() + 1, QStringLiteral("lost"));
    lines.InsertLine(-1, QStringLiteral("lost"));
    EXPECT_EQ(lines.LineCount(), 3);
    lines.SetLine(1, QString::fromUtf8("둘"));
    lines.SetLine(7, QStringLiteral("lost"));
    EXPECT_EQ(lines.GetLine(1), QString::fromUtf8("둘"));
    EXPECT_EQ(lines.GetLine(9), QString());
    lines.DeleteLine(0);
    EXPECT_EQ(lines.ToStringList(), (QStringList{QString::fromUtf8("둘"), "three"}));
    lines.DeleteLine(5);
    // On text without a final break, the line is appended after a CR.
    doc.editModel().setText(QStringLiteral("a\rb"));
    lines.InsertLine(lines.LineCount(), QStringLiteral("c"));
    EXPECT_EQ(doc.editModel().text(), QStringLiteral("a\rb\rc"));
    lines.DeleteLine(2);  // the last line goes to its end
    EXPECT_EQ(doc.editModel().text(), QStringLiteral("a\rb\r"));
}

TEST(RichEditStringsLines, LongLinesAreCutAndTextRoundTrips) {
    TRichTextDocument doc;
    const QString longLine(5000, QLatin1Char('x'));
    doc.Lines().SetText(longLine + QStringLiteral("\r\nshort\n"));
    EXPECT_EQ(doc.Lines().GetLine(0), longLine.left(4096));
    EXPECT_EQ(doc.Lines().GetLine(1), QStringLiteral("short"));
    EXPECT_EQ(doc.Lines().Text(), longLine + QStringLiteral("\r\nshort\r\n"));
    doc.Lines().SetText(QString());
    EXPECT_EQ(doc.Lines().LineCount(), 0);
    EXPECT_TRUE(doc.editModel().text().isEmpty());
    doc.Lines().SetText(QStringLiteral("a\r\rb"));
    EXPECT_EQ(doc.editModel().text(), QStringLiteral("a\r\rb\r"));
}

TEST(RichEditStringsStreams, PlainTextLoadNormalisesEveryKindOfBreak) {
    TRichTextDocument doc;
    doc.Lines().SetStreamFormat(TRichStreamFormat::sfPlainText);
    // A CR LF pair split between two pieces of the read callback stays one break, and a CR at the
    // very end is kept.
    QByteArray bytes(32767, 'a');
    bytes += "\r\nb\rc\nd\r";
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    ASSERT_TRUE(doc.Lines().LoadStream(buffer));
    const QString text = doc.editModel().text();
    EXPECT_EQ(text.mid(32767), QStringLiteral("\rb\rc\rd\r"));
    EXPECT_EQ(doc.editModel().selectionStart(), 0);
}

// A bulleted paragraph in a cell whose row never ends leaves its list when the table is closed, and
// the document deletes the emptied list; the next bulleted paragraph must not join it. This was a
// call on the deleted list, found by fuzzing: undefined behaviour, a crash under the sanitizers.
TEST(RichEditStringsStreams, AListTheDocumentDeletedIsNotUsedAgain) {
    for (QByteArray bytes : {QByteArray("{\\rtf\\pnlvlblt\\intbl\\cell\\par\\pnlvlblt after\\par}"),
                             QByteArray("{\\rtf1{\\*\\listtable{\\list\\listid7{\\listlevel\\levelnfc23}}}"
                                        "\\ls1\\ilvl0\\pnlvlblt\\intbl\\cell\\par\\ls1\\pnlvlblt after\\par}")}) {
        TRichTextDocument doc;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        ASSERT_TRUE(doc.Lines().LoadStream(buffer)) << bytes.toStdString();
        QTextDocument& document = doc.document();
        const QTextBlock after = document.findBlock(document.toPlainText().indexOf(QStringLiteral("after")));
        ASSERT_TRUE(after.isValid()) << bytes.toStdString();
        ASSERT_NE(after.textList(), nullptr) << bytes.toStdString();
        for (int i = 0; i < after.textList()->count(); ++i) {
            EXPECT_TRUE(after.textList()->item(i).isValid());
        }
    }
}

TEST(RichEditStringsStreams, RtfThatIsNotRtfLoadsAsTextOnRetry) {
    TRichTextDocument doc;
    QByteArray bytes("just words");
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    ASSERT_TRUE(doc.Lines().LoadStream(buffer));  // RTF asked; the retry takes it as text
    EXPECT_EQ(doc.editModel().text(), QStringLiteral("just words"));
}

// A document that is RTF is never shown as its markup: deep nesting loads as RTF, and a broken
// one is refused with its reason instead of being loaded again as text.
TEST(RichEditStringsStreams, RtfIsNeverShownAsItsMarkup) {
    TRichTextDocument doc;
    QByteArray deep = rtfOf("");
    deep.chop(1);
    deep += QByteArray(3000, '{') + "deep" + QByteArray(3000, '}') + " end}";
    QBuffer buffer(&deep);
    buffer.open(QIODevice::ReadOnly);
    ASSERT_TRUE(doc.Lines().LoadStream(buffer)) << qPrintable(doc.Lines().errorString());
    // This was the whole document as text: "{\\rtf1\\ansi…{{{{…deep…}}}} end}".
    EXPECT_EQ(doc.editModel().text(), QStringLiteral("deep end"));
}

TEST(RichEditStringsFiles, ExtensionChoosesTheFormatAndContentTheCompression) {
    QTemporaryDir dir;
    const QString rtf = dir.filePath("a.rtf");
    tk::test::writeFile(rtf, rtfOf("\\b bold\\b0  \\'c7\\'d1\\'b1\\'db\\par next"));
    TRichTextDocument doc;
    ASSERT_TRUE(doc.Lines().LoadFile(rtf)) << qPrintable(doc.Lines().errorString());
    EXPECT_EQ(doc.editModel().text(), QString::fromUtf8("bold 한글\rnext"));
    EXPECT_FALSE(doc.Compress());
    EXPECT_EQ(doc.Lines().StreamFormat(), TRichStreamFormat::sfDefault);
    // A .txt name saves plain text, whatever the stream format says.
    const QString txt = dir.filePath("a.txt");
    ASSERT_TRUE(doc.Lines().SaveFile(txt));
    EXPECT_EQ(tk::test::readFile(txt), QByteArray("bold \xC7\xD1\xB1\xDB\r\nnext"));
    // UTF-8 when asked for, without a byte-order mark; RTF is not affected.
    doc.Lines().SetTextEncoding(TTextEncoding::teUtf8);
    ASSERT_TRUE(doc.Lines().SaveFile(txt));
    EXPECT_EQ(tk::test::readFile(txt), QString::fromUtf8("bold 한글\r\nnext").toUtf8());
    ASSERT_TRUE(doc.Lines().SaveFile(dir.filePath("b.rtf")));
    EXPECT_TRUE(tk::test::readFile(dir.filePath("b.rtf")).startsWith("{\\rtf1"));
    EXPECT_FALSE(tk::test::readFile(dir.filePath("b.rtf")).contains(QString::fromUtf8("한").toUtf8()));
    doc.Lines().SetTextEncoding(TTextEncoding::teAnsi);
    // A compressed document saved under an .rtf name is still a container, found by its content.
    doc.SetCompress(true);
    const QString packed = dir.filePath("packed.rtf");
    ASSERT_TRUE(doc.Lines().SaveFile(packed));
    EXPECT_TRUE(tk::test::readFile(packed).startsWith("CompressRTF "));
    TRichTextDocument again;
    ASSERT_TRUE(again.Lines().LoadFile(packed)) << qPrintable(again.Lines().errorString());
    EXPECT_TRUE(again.Compress());
    EXPECT_EQ(again.editModel().text(), QString::fromUtf8("bold 한글\rnext"));
    ASSERT_NE(again.Lines().currentConversion(), nullptr);
    // Loading an ordinary file turns compression off again.
    ASSERT_TRUE(again.Lines().LoadFile(rtf));
    EXPECT_FALSE(again.Compress());
}

TEST(RichEditStringsFiles, SignatureWithoutItsSpaceIsNoContainer) {
    QTemporaryDir dir;
    const QString name = dir.filePath("odd.txt");
    tk::test::writeFile(name, "CompressRTFx and more");
    TRichTextDocument doc;
    ASSERT_TRUE(doc.Lines().LoadFile(name));
    EXPECT_FALSE(doc.Compress());
    EXPECT_EQ(doc.editModel().text(), QStringLiteral("CompressRTFx and more"));
}

TEST(RichEditStringsFiles, CorruptOrTruncatedContainersFailToLoad) {
    QTemporaryDir dir;
    TRichTextDocument source;
    source.editModel().setText(QStringLiteral("some text some text some text"));
    source.SetCompress(true);
    const QString good = dir.filePath("good.crt");
    ASSERT_TRUE(source.Lines().SaveFile(good));
    const QByteArray bytes = tk::test::readFile(good);
    // This was "Failed to Load Stream", in English and the same for every fault: the decoder's
    // own text says what is wrong, in Korean, and the document is not tried again as plain text.
    const QList<std::pair<QByteArray, QString>> broken = {
        {bytes.left(bytes.size() - 3), compressedErrorText(CompressedError::CutShort, 12)},
        {QByteArray("CompressRTF ") + QByteArray("\xFF\xFF\x00\x00", 4),
         compressedErrorText(CompressedError::BlockTooLong, 12, 65535)},
        {QByteArray("CompressRTF ") + QByteArray("\x05\x00\x00\x00\x40\x80\x00\x00\x10", 9),  // offset 1 of 0 bytes
         compressedErrorText(CompressedError::BlockCorrupt, 12)},
    };
    for (const auto& [b, why] : broken) {
        const QString name = dir.filePath("bad.crt");
        tk::test::writeFile(name, b);
        TRichTextDocument doc;
        doc.editModel().setText(QStringLiteral("kept"));
        EXPECT_FALSE(doc.Lines().LoadFile(name));
        EXPECT_EQ(doc.Lines().errorString(), why);
        EXPECT_EQ(doc.Lines().loadRefusal(), why);
        EXPECT_EQ(doc.Lines().currentConversion(), nullptr);
        EXPECT_EQ(doc.editModel().text(), QStringLiteral("kept"));
    }
    TRichTextDocument missing;
    EXPECT_FALSE(missing.Lines().LoadFile(dir.filePath("none.rtf")));
    EXPECT_FALSE(missing.Lines().errorString().isEmpty());
}

TEST(RichEditStringsFiles, FailedSaveLeavesTheOldFileWhole) {
    QTemporaryDir dir;
    const QString name = dir.filePath("keep.rtf");
    tk::test::writeFile(name, "old contents");
    TRichTextDocument doc;
    doc.editModel().setText(QString(20000, QLatin1Char('n')));
    // A file-size limit makes the writes fail part way, as a full disk would.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit tight = old;
    tight.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &tight);
    const bool saved = doc.Lines().SaveFile(name);
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_FALSE(saved);
    EXPECT_EQ(doc.Lines().errorString(), QStringLiteral("Failed to Save Stream"));
    EXPECT_EQ(tk::test::readFile(name), QByteArray("old contents"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"keep.rtf"});
}

TEST(RichEditConversions, ContainerWriterHandsEachByteOverOnce) {
    QBuffer out;
    out.open(QIODevice::ReadWrite);
    TQEConversion empty;
    EXPECT_EQ(empty.ConvertOut(out, "", 0), 0);
    EXPECT_EQ(out.data(), QByteArray("CompressRTF "));
    // Many calls of odd sizes decode to the same bytes, once each.
    QByteArray rtf;
    for (int i = 0; i < 5000; ++i) {
        rtf += "{\\b word " + QByteArray::number(i) + "}";
    }
    QBuffer packed;
    packed.open(QIODevice::ReadWrite);
    TQEConversion writer;
    for (qsizetype done = 0; done < rtf.size(); done += 40000) {
        const qsizetype n = std::min<qsizetype>(40000, rtf.size() - done);
        EXPECT_EQ(writer.ConvertOut(packed, rtf.constData() + done, n), 0);
    }
    QByteArray decoded;
    ASSERT_TRUE(decompressRtf(packed.data(), &decoded));
    EXPECT_EQ(decoded, rtf);
    packed.seek(0);
    TQEConversion reader;
    QByteArray back(rtf.size() + 10, '\0');
    qint64 got = 0;
    for (qint64 n; (n = reader.ConvertIn(packed, back.data() + got, 777)) > 0;) {
        got += n;
    }
    EXPECT_EQ(back.left(got), rtf);
}

TEST(RichEditControlStreams, CompressedDocumentSurvivesWindowRecreation) {
    QTemporaryDir dir;
    TQE_RichEdit control;
    control.HandleNeeded();
    const QString name = dir.filePath("TKFile.rtf");
    TRichTextDocument source;
    source.editModel().setText(QString::fromUtf8("압축된 본문\r둘째 줄"));
    source.SetCompress(true);
    ASSERT_TRUE(source.Lines().SaveFile(name));
    ASSERT_TRUE(control.Lines().LoadFile(name));
    EXPECT_TRUE(control.Compress());
    control.SetSelectionBar(false);
    EXPECT_EQ(control.TextRange(0, -1), QString::fromUtf8("압축된 본문\r둘째 줄"));
    ASSERT_TRUE(control.Lines().SaveFile(name));
    EXPECT_TRUE(tk::test::readFile(name).startsWith("CompressRTF "));
}

TEST(RichEditStringsStreams, UnicodeAndZeroBytesArriveWhole) {
    TRichTextDocument doc;
    doc.Lines().SetStreamFormat(TRichStreamFormat::sfPlainText);
    doc.Lines().SetStreamMode(TRichStreamMode::smUnicode);
    // U+AC0D is stored as the bytes 0D AC: a byte-wise line-break pass would break it in two.
    const QString text = QString::fromUtf16(u"\uAC0D\u0A0A\r\nend");
    QByteArray bytes(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    ASSERT_TRUE(doc.Lines().LoadStream(buffer));
    EXPECT_EQ(doc.editModel().text(), QString::fromUtf16(u"\uAC0D\u0A0A\rend"));
    // A zero byte in ANSI text does not end the text.
    doc.Lines().SetStreamMode({});
    QByteArray withZero("a\0b\nc", 5);
    QBuffer second(&withZero);
    second.open(QIODevice::ReadOnly);
    ASSERT_TRUE(doc.Lines().LoadStream(second));
    EXPECT_EQ(doc.editModel().text(), QString::fromUtf16(u"a\u0000b\rc", 5));
}

TEST(RichEditStringsFiles, ContainerOfPlainTextLoadsAsText) {
    QTemporaryDir dir;
    const QString name = dir.filePath("notes.crt");
    tk::test::writeFile(name, compressRtf("plain words\r\nin a container\r\n"));
    TRichTextDocument doc;
    ASSERT_TRUE(doc.Lines().LoadFile(name)) << qPrintable(doc.Lines().errorString());
    EXPECT_TRUE(doc.Compress());
    EXPECT_EQ(doc.Lines().ToStringList(), (QStringList{"plain words", "in a container"}));
}
