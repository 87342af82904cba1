#include "richtext/rich_edit_window.h"
#include "richtext/rich_format.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QClipboard>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QTextLayout>
#include <QTextList>

#include <gtest/gtest.h>

using namespace tk::richedit;

namespace {

QList<QString> urlsOf(const QString& text) {
    QList<QString> found;
    for (const TextSpan& s : findUrls(text)) {
        found.append(text.mid(s.start, s.end - s.start));
    }
    return found;
}

// A headless model over its own document.
struct Doc {
    QTextDocument document;
    RichEditModel model{&document};
    Doc() { model.setTextLimit(0xFFFFFF); }
};

}  // namespace

TEST(RichEditUrls, SchemesAndWwwRunToWhiteSpace) {
    EXPECT_EQ(urlsOf("see http://a.b/c?d=1, and WWW.x.kr\tnext"), (QList<QString>{"http://a.b/c?d=1,", "WWW.x.kr"}));
    EXPECT_EQ(urlsOf("mailto:me@x.kr news:comp.x prospero:y wais:z gopher:g telnet:t nntp:n file:f ftp:q https:h"),
              (QList<QString>{"mailto:me@x.kr", "news:comp.x", "prospero:y", "wais:z", "gopher:g", "telnet:t", "nntp:n",
                              "file:f", "ftp:q", "https:h"}));
    // A scheme glued to a word, or with nothing after it, is no link.
    EXPECT_TRUE(urlsOf("xhttp://a nohttp: http: www. ").isEmpty());
    EXPECT_EQ(urlsOf("(http://a)"), QList<QString>{"http://a)"});
    TextSpan span;
    EXPECT_TRUE(urlAt(u"go www.a.kr now", 5, &span));
    EXPECT_EQ(span, (TextSpan{3, 11}));
    EXPECT_FALSE(urlAt(u"go www.a.kr now", 11, &span));
    // Inside a run of text the link starts at its scheme; what comes before it is no link.
    EXPECT_TRUE(urlAt(u"x foo,http://a.kr y", 8, &span));
    EXPECT_EQ(span, (TextSpan{6, 17}));
    EXPECT_FALSE(urlAt(u"x foo,http://a.kr y", 4, &span));
    // The look-up agrees with the full scan in a long paragraph.
    QString big;
    for (int i = 0; i < 2000; ++i) {
        big += QStringLiteral("word http://h%1.kr/p ").arg(i);
    }
    const QList<TextSpan> all = findUrls(big);
    ASSERT_EQ(all.size(), 2000);
    EXPECT_TRUE(urlAt(big, all[1234].start + 3, &span));
    EXPECT_EQ(span, all[1234]);
}

TEST(RichEditModel, PositionsCountObjectsAndBreaksAsOneCharacter) {
    Doc d;
    d.model.setText(QStringLiteral("ab\rcd"));
    QTextCursor c(&d.document);
    c.setPosition(1);
    QTextImageFormat image;
    image.setName(QStringLiteral("x"));
    c.insertImage(image);
    EXPECT_EQ(d.model.textLength(), 6);
    EXPECT_EQ(d.model.textRange(0, -1), QString::fromUtf16(u"a\uFFFCb\rcd"));
    d.model.setSelection(1, 2);
    EXPECT_EQ(d.model.selectionType(), SEL_OBJECT);
    d.model.setSelection(0, 3);
    EXPECT_EQ(d.model.selectionType(), SEL_TEXT | SEL_MULTICHAR | SEL_OBJECT);
    d.model.setSelection(0, -1);
    int a = 0, b = 0;
    d.model.getSelection(&a, &b);
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 6);
}

TEST(RichEditModel, ReplaceSelectionHonoursTextLimitAndUndoFlag) {
    Doc d;
    d.model.setText(QStringLiteral("hello"));
    d.model.setTextLimit(8);
    d.model.setSelection(5, 5);
    ASSERT_TRUE(d.model.replaceSelection(QStringLiteral(" world"), true));
    EXPECT_EQ(d.model.text(), QStringLiteral("hello wo"));
    EXPECT_TRUE(d.model.canUndo());
    ASSERT_TRUE(d.model.undo());
    EXPECT_EQ(d.model.text(), QStringLiteral("hello"));
    // A replacement that cannot be undone leaves nothing to undo.
    d.model.setSelection(0, 0);
    ASSERT_TRUE(d.model.replaceSelection(QStringLiteral(">"), false));
    EXPECT_FALSE(d.model.canUndo());
    EXPECT_EQ(d.model.text(), QStringLiteral(">hello"));
}

TEST(RichEditModel, UndoLimitAndSingleLevelUndo) {
    Doc d;
    ASSERT_TRUE(d.model.setTextMode(TM_RICHTEXT | TM_MULTILEVELUNDO));
    d.model.setUndoLimit(2);
    for (const char* s : {"a", "b", "c"}) {
        d.model.setSelection(d.model.textLength(), d.model.textLength());
        ASSERT_TRUE(d.model.replaceSelection(QString::fromLatin1(s), true));
    }
    EXPECT_TRUE(d.model.undo());
    EXPECT_TRUE(d.model.undo());
    EXPECT_FALSE(d.model.canUndo());  // the limit holds two steps
    EXPECT_EQ(d.model.text(), QStringLiteral("a"));

    Doc single;
    ASSERT_TRUE(single.model.setTextMode(TM_RICHTEXT | TM_SINGLELEVELUNDO));
    single.model.setSelection(0, 0);
    ASSERT_TRUE(single.model.replaceSelection(QStringLiteral("x"), true));
    ASSERT_TRUE(single.model.replaceSelection(QStringLiteral("y"), true));
    EXPECT_TRUE(single.model.undo());
    EXPECT_EQ(single.model.text(), QStringLiteral("x"));
    EXPECT_TRUE(single.model.undo());  // the second undo takes the first back
    EXPECT_EQ(single.model.text(), QStringLiteral("xy"));

    Doc none;
    none.model.setUndoLimit(0);
    ASSERT_TRUE(none.model.replaceSelection(QStringLiteral("x"), true));
    EXPECT_FALSE(none.model.canUndo());
    // The text mode cannot change while there is text.
    EXPECT_FALSE(none.model.setTextMode(TM_PLAINTEXT));
}

TEST(RichEditModel, CharFormatMasksAndTwips) {
    Doc d;
    d.model.setText(QStringLiteral("bold plain"));
    d.model.setSelection(0, 4);
    CharFormat2 cf;
    cf.dwMask = CFM_BOLD | CFM_SIZE | CFM_COLOR | CFM_UNDERLINETYPE;
    cf.dwEffects = CFE_BOLD;
    cf.yHeight = 240;
    cf.crTextColor = 0x000000FF;  // red
    cf.bUnderlineType = 8;        // wave
    ASSERT_TRUE(d.model.setCharFormat(SCF_SELECTION, cf));
    const CharFormat2 back = d.model.charFormat(SCF_SELECTION);
    EXPECT_TRUE(back.dwEffects & CFE_BOLD);
    EXPECT_EQ(back.yHeight, 240);
    EXPECT_EQ(back.crTextColor, 0x000000FFu);
    EXPECT_EQ(back.bUnderlineType, 8);
    EXPECT_TRUE(back.dwMask & CFM_BOLD);
    // Over bold and plain text the bold bit is not the same throughout.
    d.model.setSelection(2, 8);
    EXPECT_FALSE(d.model.charFormat(SCF_SELECTION).dwMask & CFM_BOLD);
    EXPECT_TRUE(d.model.charFormat(SCF_SELECTION).dwMask & CFM_ITALIC);
    // A change made to the document directly is seen by the next read of the same selection.
    d.model.setSelection(5, 10);
    EXPECT_FALSE(d.model.charFormat(SCF_SELECTION).dwEffects & CFE_ITALIC);
    QTextCursor direct(&d.document);
    direct.setPosition(5);
    direct.setPosition(10, QTextCursor::KeepAnchor);
    QTextCharFormat italic;
    italic.setFontItalic(true);
    direct.mergeCharFormat(italic);
    EXPECT_TRUE(d.model.charFormat(SCF_SELECTION).dwEffects & CFE_ITALIC);
    // Automatic colour comes back as automatic.
    d.model.setSelection(0, 4);
    cf = {};
    cf.dwMask = CFM_COLOR;
    cf.dwEffects = CFE_AUTOCOLOR;
    ASSERT_TRUE(d.model.setCharFormat(SCF_SELECTION, cf));
    EXPECT_TRUE(d.model.charFormat(SCF_SELECTION).dwEffects & CFE_AUTOCOLOR);
}

TEST(RichEditModel, ParaFormatIndentsAlignmentTabsAndNumbering) {
    Doc d;
    d.model.setText(QStringLiteral("one\rtwo\rthree"));
    d.model.setSelection(0, 5);
    ParaFormat2 pf;
    pf.dwMask = PFM_STARTINDENT | PFM_OFFSET | PFM_RIGHTINDENT | PFM_ALIGNMENT | PFM_TABSTOPS | PFM_SPACEBEFORE |
                PFM_LINESPACING;
    pf.dxStartIndent = 300;
    pf.dxOffset = 150;
    pf.dxRightIndent = 450;
    pf.wAlignment = PFA_CENTER;
    pf.cTabCount = 2;
    pf.rgxTabs[0] = 720;
    pf.rgxTabs[1] = 1440;
    pf.dySpaceBefore = 120;
    pf.bLineSpacingRule = 4;
    pf.dyLineSpacing = 360;
    ASSERT_TRUE(d.model.setParaFormat(pf));
    const ParaFormat2 back = d.model.paraFormat();
    EXPECT_EQ(back.dxStartIndent, 300);
    EXPECT_EQ(back.dxOffset, 150);
    EXPECT_EQ(back.dxRightIndent, 450);
    EXPECT_EQ(back.wAlignment, PFA_CENTER);
    EXPECT_EQ(back.cTabCount, 2);
    EXPECT_EQ(back.rgxTabs[1], 1440);
    EXPECT_EQ(back.dySpaceBefore, 120);
    EXPECT_EQ(back.bLineSpacingRule, 4);
    EXPECT_EQ(back.dyLineSpacing, 360);
    EXPECT_TRUE(back.dwMask & PFM_ALIGNMENT);
    // The third paragraph was not selected: over all three the alignment differs.
    d.model.setSelection(0, -1);
    EXPECT_FALSE(d.model.paraFormat().dwMask & PFM_ALIGNMENT);
    pf = {};
    pf.dwMask = PFM_NUMBERING | PFM_NUMBERINGSTART;
    pf.wNumbering = PFN_UCROMAN;
    pf.wNumberingStart = 3;
    ASSERT_TRUE(d.model.setParaFormat(pf));
    EXPECT_EQ(d.model.paraFormat().wNumbering, PFN_UCROMAN);
    EXPECT_EQ(d.model.paraFormat().wNumberingStart, 3);
    pf.dwMask = PFM_NUMBERING;
    pf.wNumbering = 0;
    ASSERT_TRUE(d.model.setParaFormat(pf));
    EXPECT_EQ(d.model.paraFormat().wNumbering, 0);
}

TEST(RichEditModel, ProtectedTextRefusesEditsUnlessAllowed) {
    Doc d;
    d.model.setText(QStringLiteral("open LOCKED open"));
    d.model.setSelection(5, 11);
    CharFormat2 cf;
    cf.dwMask = CFM_PROTECTED;
    cf.dwEffects = CFE_PROTECTED;
    ASSERT_TRUE(d.model.setCharFormat(SCF_SELECTION, cf));
    d.model.setSelection(6, 8);
    // No handler: refused.
    EXPECT_FALSE(d.model.replaceSelection(QStringLiteral("x"), true));
    QList<ProtectedNotify> asked;
    bool allow = false;
    d.model.setEventMask(ENM_PROTECTED);
    d.model.notifications().protectedChange = [&](const ProtectedNotify& n) {
        asked.append(n);
        return allow;
    };
    EXPECT_FALSE(d.model.replaceSelection(QStringLiteral("x"), true));
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked[0].msg, EditMessage::ReplaceSel);
    EXPECT_EQ(asked[0].cpMin, 6);
    EXPECT_EQ(asked[0].cpMax, 8);
    EXPECT_EQ(d.model.text(), QStringLiteral("open LOCKED open"));
    allow = true;
    EXPECT_TRUE(d.model.replaceSelection(QStringLiteral("x"), true));
    EXPECT_EQ(d.model.text(), QStringLiteral("open LxKED open"));
    // Text typed at the edge of protected text is not itself protected.
    d.model.setSelection(0, 0);
    EXPECT_FALSE(d.model.rangeTouchesProtected(0, 0));
    d.model.setSelection(12, 12);
    asked.clear();
    EXPECT_TRUE(d.model.replaceSelection(QStringLiteral("!"), true));
    EXPECT_TRUE(asked.isEmpty());
}

TEST(RichEditModel, PlainTextStreamsNormaliseBreaksAndKeepEveryCharacter) {
    Doc d;
    auto streamIn = [&](const QByteArray& bytes, int flags) {
        QByteArray left = bytes;
        EditStream es;
        es.callback = [&left](char* buffer, qint32 cb, qint32* got) -> quint32 {
            *got = static_cast<qint32>(std::min<qsizetype>(cb, left.size()));
            std::copy_n(left.constData(), *got, buffer);
            left.remove(0, *got);
            return 0;
        };
        d.model.streamIn(flags, es);
        return es.dwError;
    };
    auto streamOut = [&](int flags) {
        QByteArray out;
        EditStream es;
        es.callback = [&out](char* buffer, qint32 cb, qint32* done) -> quint32 {
            out.append(buffer, cb);
            *done = 0;  // a count of 0 must not make the window hand the bytes over again
            return 0;
        };
        d.model.streamOut(flags, es);
        return out;
    };
    EXPECT_EQ(streamIn("a\nb\rc\r\nd", SF_TEXT), 0u);
    EXPECT_EQ(d.model.text(), QStringLiteral("a\rb\rc\rd"));
    EXPECT_EQ(streamOut(SF_TEXT), QByteArray("a\r\nb\r\nc\r\nd"));
    // Korean in the ANSI code page both ways.
    EXPECT_EQ(streamIn(QByteArray("\xC7\xD1\xB1\xDB"), SF_TEXT), 0u);
    EXPECT_EQ(d.model.text(), QString::fromUtf8("한글"));
    EXPECT_EQ(streamOut(SF_TEXT), QByteArray("\xC7\xD1\xB1\xDB"));
    // A character the ANSI code page lacks is not turned into "?": the text goes out as UTF-8.
    d.model.setText(QString::fromUtf8("한€😀"));
    const QByteArray utf8 = streamOut(SF_TEXT);
    EXPECT_EQ(utf8, QByteArray("\xEF\xBB\xBF") + QString::fromUtf8("한€😀").toUtf8());
    EXPECT_EQ(streamIn(utf8, SF_TEXT), 0u);
    EXPECT_EQ(d.model.text(), QString::fromUtf8("한€😀"));
    // UTF-8 asked for by code page: no byte-order mark out, one taken off on the way in.
    const int utf8Flags = SF_TEXT | SF_USECODEPAGE | (CP_UTF8 << 16);
    d.model.setText(QString::fromUtf8("한글\rtext"));
    EXPECT_EQ(streamOut(utf8Flags), QString::fromUtf8("한글\r\ntext").toUtf8());
    EXPECT_EQ(streamIn("\xEF\xBB\xBF\xED\x95\x9C!", utf8Flags), 0u);
    EXPECT_EQ(d.model.text(), QString::fromUtf8("한!"));
    d.model.setText(QString::fromUtf8("한€😀"));
    // Not RTF while RTF is asked for: an error, the text stays.
    EXPECT_NE(streamIn("plain", SF_RTF), 0u);
    EXPECT_EQ(d.model.text(), QString::fromUtf8("한€😀"));
}

TEST(RichEditWindow, DisplayLinesFollowWordWrap) {
    RichEditWindow w;
    w.resize(120, 200);
    w.show();
    RichEditModel& m = w.model();
    m.setTextLimit(0xFFFFFF);
    m.setText(QStringLiteral("word word word word word word word word\rshort"));
    const int lines = m.lineCount();
    ASSERT_GT(lines, 2);  // the first paragraph wraps
    EXPECT_EQ(m.lineFromChar(0), 0);
    const int second = m.lineIndex(1);
    EXPECT_GT(second, 0);
    EXPECT_EQ(m.lineFromChar(second), 1);
    const int last = m.lineIndex(lines - 1);
    EXPECT_EQ(m.textRange(last, last + m.lineLength(last)), QStringLiteral("short"));
    EXPECT_EQ(m.lineIndex(lines), -1);
    // Positions grow along a line and down the lines.
    EXPECT_LT(w.posFromChar(0).x(), w.posFromChar(3).x());
    EXPECT_LT(w.posFromChar(0).y(), w.posFromChar(last).y());
}

// The line numbers are counted once and kept across edits: after typing, joining and splitting
// paragraphs, a narrower window and a bigger default font they must agree with a fresh count.
TEST(RichEditWindow, DisplayLinesStayRightAcrossEditsAndLayoutChanges) {
    RichEditWindow w;
    w.resize(200, 300);
    w.show();
    RichEditModel& m = w.model();
    m.setTextLimit(0xFFFFFF);
    QString text;
    for (int i = 0; i < 40; ++i) {
        text += (i % 3 == 0 ? QStringLiteral("a longer paragraph that wraps over several lines here %1\r")
                            : QStringLiteral("short %1\r"))
                    .arg(i);
    }
    m.setText(text);
    // Every display line's first character, counted from the layout as it is now.
    auto freshStarts = [&] {
        QList<int> starts;
        for (QTextBlock b = w.document()->begin(); b.isValid(); b = b.next()) {
            w.document()->documentLayout()->blockBoundingRect(b);
            const QTextLayout* layout = b.layout();
            for (int i = 0; i < std::max(1, layout->lineCount()); ++i) {
                starts.append(b.position() + (layout->lineCount() > 0 ? layout->lineAt(i).textStart() : 0));
            }
        }
        return starts;
    };
    auto check = [&](const char* step) {
        const QList<int> starts = freshStarts();
        ASSERT_EQ(m.lineCount(), starts.size()) << step;
        for (int line = 0; line < starts.size(); ++line) {
            EXPECT_EQ(m.lineFromChar(starts[line]), line) << step << " line " << line;
            EXPECT_EQ(m.lineIndex(line), starts[line]) << step << " line " << line;
        }
    };
    check("loaded");
    const int middle = w.document()->findBlockByNumber(20).position();
    m.setSelection(middle, middle);
    w.setFocus();
    QTest::keyClicks(&w, QStringLiteral(" more words to make this paragraph wrap onto another line"));
    check("typed");
    QTest::keyClick(&w, Qt::Key_Return);
    check("split");
    QTest::keyClick(&w, Qt::Key_Backspace);
    QTest::keyClick(&w, Qt::Key_Home);
    QTest::keyClick(&w, Qt::Key_Backspace);
    check("joined");
    m.setSelection(0, 0);
    QTest::keyClick(&w, Qt::Key_Delete);
    check("first line edited");
    w.resize(120, 300);
    QApplication::processEvents();
    check("narrower");
    QFont big = w.document()->defaultFont();
    big.setPointSize(big.pointSize() * 2);
    w.document()->setDefaultFont(big);
    check("bigger font");
}

TEST(RichEditWindow, TypingIntoProtectedTextAndPastTheLimitIsRefused) {
    RichEditWindow w;
    w.show();
    RichEditModel& m = w.model();
    m.setTextLimit(0xFFFFFF);
    m.setText(QStringLiteral("abcdef"));
    m.setSelection(2, 4);
    CharFormat2 cf;
    cf.dwMask = CFM_PROTECTED;
    cf.dwEffects = CFE_PROTECTED;
    ASSERT_TRUE(m.setCharFormat(SCF_SELECTION, cf));
    m.setSelection(3, 3);
    QTest::keyClick(&w, Qt::Key_X);
    QTest::keyClick(&w, Qt::Key_Backspace);
    EXPECT_EQ(m.text(), QStringLiteral("abcdef"));
    m.setSelection(6, 6);
    QTest::keyClick(&w, Qt::Key_Backspace);
    EXPECT_EQ(m.text(), QStringLiteral("abcde"));
    m.setTextLimit(6);
    QTest::keyClicks(&w, QStringLiteral("xyz"));
    EXPECT_EQ(m.text(), QStringLiteral("abcdex"));
}

TEST(RichEditModel, PlainModeWordTargetAndListsThatContinue) {
    Doc plain;
    ASSERT_TRUE(plain.model.setTextMode(TM_PLAINTEXT | TM_MULTILEVELUNDO));
    plain.model.setText(QStringLiteral("one two"));
    plain.model.setSelection(0, 3);
    CharFormat2 cf;
    cf.dwMask = CFM_ITALIC;
    cf.dwEffects = CFE_ITALIC;
    ASSERT_TRUE(plain.model.setCharFormat(SCF_SELECTION, cf));
    plain.model.setSelection(4, 7);
    EXPECT_TRUE(plain.model.charFormat(SCF_SELECTION).dwEffects & CFE_ITALIC);  // one format for all

    Doc rich;
    rich.model.setText(QStringLiteral("one two three"));
    rich.model.setSelection(5, 5);
    cf.dwMask = CFM_BOLD;
    cf.dwEffects = CFE_BOLD;
    ASSERT_TRUE(rich.model.setCharFormat(SCF_SELECTION | SCF_WORD, cf));
    rich.model.setSelection(4, 7);
    EXPECT_TRUE(rich.model.charFormat(SCF_SELECTION).dwMask & CFM_BOLD);
    EXPECT_TRUE(rich.model.charFormat(SCF_SELECTION).dwEffects & CFE_BOLD);
    rich.model.setSelection(0, 3);
    EXPECT_FALSE(rich.model.charFormat(SCF_SELECTION).dwEffects & CFE_BOLD);

    // Numbering set on two paragraphs one after the other makes one list.
    Doc list;
    list.model.setText(QStringLiteral("a\rb\rc"));
    ParaFormat2 pf;
    pf.dwMask = PFM_NUMBERING;
    pf.wNumbering = PFN_ARABIC;
    list.model.setSelection(0, 0);
    ASSERT_TRUE(list.model.setParaFormat(pf));
    list.model.setSelection(2, 2);
    ASSERT_TRUE(list.model.setParaFormat(pf));
    EXPECT_EQ(list.document.findBlockByNumber(0).textList(), list.document.findBlockByNumber(1).textList());
    EXPECT_EQ(list.document.findBlockByNumber(2).textList(), nullptr);
}

TEST(RichEditWindow, CutPasteAndDeleteStopAtProtectedText) {
    RichEditWindow w;
    w.show();
    RichEditModel& m = w.model();
    m.setTextLimit(0xFFFFFF);
    m.setText(QStringLiteral("free LOCK free"));
    m.setSelection(5, 9);
    CharFormat2 cf;
    cf.dwMask = CFM_PROTECTED;
    cf.dwEffects = CFE_PROTECTED;
    ASSERT_TRUE(m.setCharFormat(SCF_SELECTION, cf));
    QList<EditMessage> asked;
    m.setEventMask(ENM_PROTECTED);
    m.notifications().protectedChange = [&](const ProtectedNotify& n) {
        asked.append(n.msg);
        return false;
    };
    m.setSelection(3, 7);
    w.cutSelection();
    QApplication::clipboard()->setText(QStringLiteral("X"));
    w.pasteClipboard();
    QTest::keyClick(&w, Qt::Key_Delete);
    EXPECT_EQ(m.text(), QStringLiteral("free LOCK free"));
    EXPECT_EQ(asked, (QList<EditMessage>{EditMessage::Cut, EditMessage::Paste, EditMessage::KeyDown}));
    // Outside the protected run everything works.
    m.setSelection(0, 2);
    w.cutSelection();
    EXPECT_EQ(m.text(), QStringLiteral("ee LOCK free"));
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("fr"));
}
