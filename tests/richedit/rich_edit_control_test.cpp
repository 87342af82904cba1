#include "richedit/qe_rich_edit.h"
#include "richtext/rich_edit_window.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QTest>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>

using namespace tk;
using namespace tk::richedit;

namespace {

std::unique_ptr<TQE_RichEdit> shownControl(int width = 400, int height = 200) {
    auto control = std::make_unique<TQE_RichEdit>();
    control->resize(width, height);
    control->show();
    control->HandleNeeded();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(control.get()));
    return control;
}

// The middle of the character at cp, in the viewport's coordinates, where the mouse goes.
QPoint pointOfChar(TQE_RichEdit& control, int cp) {
    RichEditWindow& w = control.richWindow();
    QTextCursor a(w.document());
    a.setPosition(cp);
    QTextCursor b(w.document());
    b.setPosition(cp + 1);
    const QRect ra = w.cursorRect(a);
    const QRect rb = w.cursorRect(b);
    return {(ra.left() + rb.left()) / 2, ra.center().y()};
}

void makeBold(TQE_RichEdit& control, int from, int to) {
    control.SetSelectionRange(from, to, false);
    CharFormat2 cf;
    cf.dwMask = CFM_BOLD;
    cf.dwEffects = CFE_BOLD;
    ASSERT_TRUE(control.richWindow().model().setCharFormat(SCF_SELECTION, cf));
}

bool isBold(TQE_RichEdit& control, int from, int to) {
    control.SetSelectionRange(from, to, false);
    const CharFormat2 cf = control.richWindow().model().charFormat(SCF_SELECTION);
    return (cf.dwMask & CFM_BOLD) && (cf.dwEffects & CFE_BOLD);
}

}  // namespace

TEST(RichEditControl, DefaultsBeforeAndAfterTheWindowExists) {
    TQE_RichEdit control;
    EXPECT_EQ(control.size(), QSize(185, 89));
    EXPECT_FALSE(control.HandleAllocated());
    EXPECT_TRUE(control.AutoURLDetect());
    EXPECT_TRUE(control.AutoVerbMenu());
    EXPECT_TRUE(control.AllowObjects());
    EXPECT_TRUE(control.AllowInPlace());
    EXPECT_TRUE(control.HideSelection());
    EXPECT_TRUE(control.HideScrollBars());
    EXPECT_TRUE(control.SelectionBar());
    EXPECT_TRUE(control.WordSelection());
    EXPECT_TRUE(control.WordWrap());
    EXPECT_TRUE(control.WantReturns());
    EXPECT_FALSE(control.WantTabs());
    EXPECT_FALSE(control.PlainText());
    EXPECT_FALSE(control.Compress());
    EXPECT_EQ(control.UndoLimit(), 100);
    EXPECT_EQ(control.MaxLength(), 0);
    EXPECT_EQ(control.ScrollBars(), TScrollStyle::ssBoth);
    EXPECT_EQ(control.Options(), TRichOption::roOLEInsert | TRichOption::roDragDrop);
    EXPECT_EQ(control.LangOptions(), TRichLangOptions(TRichLangOption::rlAutoFont));
    EXPECT_EQ(control.StreamFormat(), TRichStreamFormat::sfDefault);
    EXPECT_EQ(control.StreamMode(), TRichStreamModes());
    EXPECT_EQ(control.MouseMoveObjectIndex(), -1);
    EXPECT_TRUE(control.Title().isEmpty());
    EXPECT_EQ(control.BorderStyle(), TBorderStyle::bsSingle);
    EXPECT_TRUE(control.TabStop());
    EXPECT_FALSE(control.Color().isValid());  // the system window colour
    // Without a window there is nothing to ask.
    EXPECT_EQ(control.SelectionKinds(), TSelectionKinds());
    EXPECT_FALSE(control.CanUndo());
    EXPECT_FALSE(control.CanPaste());
    EXPECT_EQ(control.CharPosition(3), QPoint());
    // MaxLength 0 means 16,777,215 characters once the window exists.
    control.HandleNeeded();
    EXPECT_EQ(control.richWindow().model().textLimit(), 0xFFFFFF);
    EXPECT_EQ(control.richWindow().model().undoLimit(), 100);
    EXPECT_EQ(control.richWindow().model().eventMask(), 0x042C0001u);
    control.SetMaxLength(5);
    EXPECT_EQ(control.richWindow().model().textLimit(), 5);
}

TEST(RichEditControl, RecreatingTheWindowKeepsTextFormattingAndModifiedFlag) {
    auto control = shownControl();
    control->SetText(QStringLiteral("plain BOLD plain"));
    makeBold(*control, 6, 10);
    control->SetModified(true);
    control->SetSelectionRange(2, 4, false);
    RichEditWindow* before = &control->richWindow();
    control->SetOptions(control->Options());  // the same set still re-creates
    EXPECT_EQ(control->SelectionStart(), 2);
    EXPECT_EQ(control->SelectionLength(), 2);
    QApplication::processEvents();
    EXPECT_NE(&control->richWindow(), before);
    EXPECT_EQ(control->TextRange(0, -1), QStringLiteral("plain BOLD plain"));
    EXPECT_TRUE(isBold(*control, 6, 10));
    EXPECT_FALSE(isBold(*control, 0, 5));
    EXPECT_TRUE(control->Modified());
    control->SetModified(false);
    control->SetHideScrollBars(false);
    EXPECT_FALSE(control->Modified());
    // Only adding or removing roEnterSymbol leaves the window as it is.
    before = &control->richWindow();
    control->SetOptions(control->Options() | TRichOption::roEnterSymbol);
    EXPECT_EQ(&control->richWindow(), before);
    // The window re-created by other options still raises the control's events.
    int changes = 0;
    control->OnChange = [&](QObject*) { ++changes; };
    control->SetAllowObjects(false);
    control->SetSelectionRange(0, 0, false);
    control->SetSelectedText(QStringLiteral("x"));
    EXPECT_EQ(changes, 1);
}

TEST(RichEditControl, SelectedTextLeavesExactlyTheInsertedCharactersSelected) {
    auto control = shownControl();
    control->SetText(QStringLiteral("abcdef"));
    control->SetSelectionRange(2, 4, false);
    control->SetSelectedText(QString::fromUtf8("한글𝄞"));
    EXPECT_EQ(control->TextRange(0, -1), QString::fromUtf8("ab한글𝄞ef"));
    EXPECT_EQ(control->SelectionStart(), 2);
    EXPECT_EQ(control->SelectionLength(), 4);  // the clef is two UTF-16 units
    EXPECT_EQ(control->SelectedText(), QString::fromUtf8("한글𝄞"));
    QChar buffer[3];
    EXPECT_EQ(control->GetSelTextBuf(buffer, 3), 2);
    EXPECT_EQ(QString(buffer, 2), QString::fromUtf8("한글"));
    EXPECT_TRUE(buffer[2].isNull());
    // Writing an empty text deletes the selection.
    control->SetSelectedText(QString());
    EXPECT_EQ(control->TextRange(0, -1), QStringLiteral("abef"));
    EXPECT_TRUE(control->CanUndo());
    // A CR LF pair is one paragraph end: the selection ends where the inserted text does.
    control->SetSelectedText(QStringLiteral("x\r\ny"));
    EXPECT_EQ(control->TextRange(0, -1), QStringLiteral("abx\ryef"));
    EXPECT_EQ(control->SelectedText(), QStringLiteral("x\ry"));
    EXPECT_TRUE(control->ReplaceSel(QStringLiteral("p\r\nq")));
    EXPECT_EQ(control->SelectedText(), QStringLiteral("p\rq"));
}

TEST(RichEditControl, UndoLimitBelowTwoMakesReplacementsFinal) {
    auto control = shownControl();
    control->SetUndoLimit(1);
    control->RecreateWnd();
    control->SetText(QStringLiteral("abc"));
    control->SetSelectionRange(3, 3, false);
    control->SetSelectedText(QStringLiteral("d"));
    EXPECT_FALSE(control->CanUndo());
    EXPECT_EQ(control->richWindow().model().textMode() & TM_SINGLELEVELUNDO, TM_SINGLELEVELUNDO);
    control->SetUndoLimit(0);
    EXPECT_EQ(control->UndoLimit(), 0);
}

TEST(RichEditControl, PositionsLinesAndCaret) {
    auto control = shownControl();
    control->SetText(QStringLiteral("first\rsecond line\rthird"));
    EXPECT_EQ(control->LineOfChar(7), 1);
    EXPECT_EQ(control->LineStartIndex(2), 18);
    EXPECT_EQ(control->LineLengthAt(8), 11);
    EXPECT_EQ(control->TextRange(6, 12), QStringLiteral("second"));
    control->SetCaretPosition(QPoint(3, 1));
    EXPECT_EQ(control->SelectionStart(), 9);
    EXPECT_EQ(control->CaretPosition(), QPoint(3, 1));
    EXPECT_GT(control->CharPosition(18).y(), control->CharPosition(0).y());
    control->SetSelectionRange(0, 5, true);
    EXPECT_EQ(control->SelectionKinds(), TSelectionKind::skText | TSelectionKind::skMultiChar);
    control->SetModified(true);
    control->Clear();
    EXPECT_TRUE(control->TextRange(0, -1).isEmpty());
    EXPECT_FALSE(control->Modified());
}

TEST(RichEditControl, PlainTextSwitchKeepsTheText) {
    auto control = shownControl();
    control->SetText(QString::fromUtf8("한 줄\r둘째 줄"));
    makeBold(*control, 0, 1);
    control->SetPlainText(true);
    EXPECT_TRUE(control->PlainText());
    EXPECT_EQ(control->TextRange(0, -1), QString::fromUtf8("한 줄\r둘째 줄"));
    EXPECT_TRUE(control->richWindow().model().isPlainText());
    control->SetPlainText(false);
    EXPECT_EQ(control->TextRange(0, -1), QString::fromUtf8("한 줄\r둘째 줄"));
    // Loading keeps the control's font as the default format.
    control->SetFont(QFont(QStringLiteral("NanumMyeongjo"), 14));
    control->SetPlainText(true);
    const CharFormat2 def = control->richWindow().model().charFormat(SCF_DEFAULT);
    EXPECT_EQ(def.szFaceName, QStringLiteral("NanumMyeongjo"));
    EXPECT_EQ(def.yHeight, 280);
}

TEST(RichEditControlEvents, UndoKeysRaiseUndoEventsOnlyWhenUndoIsPossible) {
    auto control = shownControl();
    QList<QString> events;
    control->OnUndoBefore = [&](QObject*) { events.append("before"); };
    control->OnUndo = [&](QObject*) { events.append("after"); };
    RichEditWindow& w = control->richWindow();
    QTest::keyClick(&w, Qt::Key_Z, Qt::ControlModifier);  // nothing to undo yet
    EXPECT_TRUE(events.isEmpty());
    QTest::keyClicks(&w, QStringLiteral("ab"));
    QTest::keyClick(&w, Qt::Key_Z, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_TRUE(events.isEmpty());
    // Ctrl+Shift+Z is redo, as in desktop editors. This was an undo.
    QTest::keyClick(&w, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(events.isEmpty());
    const QString typed = control->TextRange(0, -1);
    EXPECT_TRUE(typed.startsWith(QStringLiteral("ab")));
    QTest::keyClick(&w, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(events, (QList<QString>{"before", "after"}));
    EXPECT_EQ(control->TextRange(0, -1), QString());
    QTest::keyClick(&w, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(control->TextRange(0, -1), typed);
    control->Undo();  // the undo message raises them too
    EXPECT_EQ(events.size(), 4);
}

TEST(RichEditControlEvents, UrlClickNeedsPressAndReleaseOnOneLinkWithOneButton) {
    auto control = shownControl(600, 200);
    control->SetText(QStringLiteral("go http://a.kr/x and www.b.kr now"));
    QApplication::processEvents();
    QList<std::pair<QString, TMouseButton>> clicks;
    control->OnURLClick = [&](QObject*, const QString& url, TMouseButton button) { clicks.append({url, button}); };
    QWidget* viewport = control->richWindow().viewport();
    const QPoint first = pointOfChar(*control, 5);
    const QPoint second = pointOfChar(*control, 22);
    QTest::mouseClick(viewport, Qt::LeftButton, {}, first);
    ASSERT_EQ(clicks.size(), 1);
    EXPECT_EQ(clicks[0].first, QStringLiteral("http://a.kr/x"));
    EXPECT_EQ(clicks[0].second, TMouseButton::mbLeft);
    QTest::mouseClick(viewport, Qt::RightButton, {}, second);
    ASSERT_EQ(clicks.size(), 2);
    EXPECT_EQ(clicks[1].first, QStringLiteral("www.b.kr"));
    EXPECT_EQ(clicks[1].second, TMouseButton::mbRight);
    // Press on one link, release on the other: no click.
    QTest::mousePress(viewport, Qt::LeftButton, {}, first);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, second);
    // Press with one button, release with the other: no click.
    QTest::mousePress(viewport, Qt::LeftButton, {}, second);
    QTest::mouseRelease(viewport, Qt::RightButton, {}, second);
    // Off the links: no click.
    QTest::mouseClick(viewport, Qt::LeftButton, {}, pointOfChar(*control, 0));
    EXPECT_EQ(clicks.size(), 2);
    // Without detection there are no links.
    control->SetAutoURLDetect(false);
    QTest::mouseClick(viewport, Qt::LeftButton, {}, first);
    EXPECT_EQ(clicks.size(), 2);
}

TEST(RichEditControlEvents, ProtectedTextAsksTheExtendedEventFirst) {
    auto control = shownControl();
    control->SetText(QStringLiteral("keep THIS safe"));
    control->SetSelectionRange(5, 9, false);
    CharFormat2 cf;
    cf.dwMask = CFM_PROTECTED;
    cf.dwEffects = CFE_PROTECTED;
    ASSERT_TRUE(control->richWindow().model().setCharFormat(SCF_SELECTION, cf));
    RichEditWindow& w = control->richWindow();
    control->SetSelectionRange(6, 6, false);
    QTest::keyClick(&w, Qt::Key_Delete);  // nobody allows it
    EXPECT_EQ(control->TextRange(0, -1), QStringLiteral("keep THIS safe"));
    int plain = 0;
    control->OnProtectChange = [&](QObject*, int start, int end, bool& allow) {
        ++plain;
        EXPECT_EQ(start, 6);
        EXPECT_EQ(end, 7);
        allow = true;
    };
    QTest::keyClick(&w, Qt::Key_Delete);
    EXPECT_EQ(plain, 1);
    EXPECT_EQ(control->TextRange(0, -1), QStringLiteral("keep TIS safe"));
    TMessage seen;
    control->OnProtectChangeEx = [&](QObject*, const TMessage& m, int, int, bool& allow) {
        seen = m;
        allow = false;
    };
    QTest::keyClick(&w, Qt::Key_Q);
    EXPECT_EQ(plain, 1);
    EXPECT_EQ(seen.Msg, 0x0102u);
    EXPECT_EQ(seen.WParam, static_cast<quintptr>('q'));
    EXPECT_EQ(control->TextRange(0, -1), QStringLiteral("keep TIS safe"));
}

TEST(RichEditControlEvents, SelectionChangeDoubleClickAndClipboard) {
    auto control = shownControl();
    control->SetText(QStringLiteral("alpha beta"));
    int selections = 0;
    int changes = 0;
    control->OnSelectionChange = [&](QObject* sender) {
        EXPECT_EQ(sender, control.get());
        ++selections;
    };
    control->OnChange = [&](QObject*) { ++changes; };
    control->SetSelectionRange(0, 5, false);
    EXPECT_EQ(selections, 1);
    control->SetSelectionRange(0, 5, false);  // no change, no event
    EXPECT_EQ(selections, 1);
    QWidget* viewport = control->richWindow().viewport();
    control->OnDblClicking = [](QObject*, bool& allow) { allow = false; };
    control->SetSelectionRange(8, 8, false);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, pointOfChar(*control, 8));
    EXPECT_EQ(control->SelectionLength(), 0);
    control->OnDblClicking = nullptr;
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, pointOfChar(*control, 8));
    EXPECT_EQ(control->SelectedText(), QStringLiteral("beta"));

    QList<QString> commands;
    control->OnCopy = [&](QObject*) { commands.append("copy"); };
    control->OnCut = [&](QObject*) { commands.append("cut"); };
    control->OnPaste = [&](QObject*) { commands.append("paste"); };
    RichEditWindow& w = control->richWindow();
    QTest::keyClick(&w, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("beta"));
    EXPECT_TRUE(control->CanPaste());
    QTest::keyClick(&w, Qt::Key_X, Qt::ControlModifier);
    control->SetSelectionRange(0, 0, false);
    QTest::keyClick(&w, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(commands, (QList<QString>{"copy", "cut", "paste"}));
    EXPECT_EQ(control->TextRange(0, -1), QStringLiteral("betaalpha "));
    EXPECT_GE(changes, 2);
}

TEST(RichEditControlEvents, SaveClipboardDecidesWhetherCopiedTextOutlivesTheWindow) {
    auto control = shownControl();
    control->SetText(QStringLiteral("secret"));
    control->SetSelectionRange(0, 6, false);
    control->CopyToClipboard();
    int asked = 0;
    control->OnSaveClipboard = [&](QObject*, int objects, int chars, bool& save) {
        ++asked;
        EXPECT_EQ(objects, 0);
        EXPECT_EQ(chars, 6);
        save = false;
    };
    control->RecreateWnd();
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(QApplication::clipboard()->text().isEmpty());
}

TEST(RichEditControlEvents, PopupMenuPaintAndScroll) {
    auto control = shownControl(200, 60);
    QMenu menu;
    control->SetPopupMenu(&menu);
    EXPECT_EQ(control->GetPopupMenu(), &menu);
    int paints = 0;
    control->OnPaint = [&](QObject*) { ++paints; };
    control->richWindow().viewport()->repaint();
    EXPECT_GE(paints, 1);
    QString text;
    for (int i = 0; i < 40; ++i) {
        text += QStringLiteral("line %1\r").arg(i);
    }
    control->SetText(text);
    QApplication::processEvents();
    QList<int> codes;
    control->OnScroll = [&](QObject*, TScrollType type, qint16 code, qint16) {
        EXPECT_EQ(type, TScrollType::stVertical);
        codes.append(code);
    };
    control->richWindow().verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    QApplication::processEvents();
    EXPECT_EQ(codes, QList<int>{SB_PAGEDOWN});
}

TEST(RichEditControlLines, SetTextIsSilentAndAddLinesKeepsTheSelectionEvent) {
    auto control = shownControl();
    int changes = 0;
    int selections = 0;
    control->OnChange = [&](QObject*) { ++changes; };
    control->OnSelectionChange = [&](QObject*) { ++selections; };
    control->Lines().SetText(QStringLiteral("one\r\ntwo\r\n"));
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(control->Lines().ToStringList(), (QStringList{"one", "two"}));
    const int before = selections;
    control->Lines().AddLines({QStringLiteral("three"), QStringLiteral("four")});
    EXPECT_EQ(selections, before);
    EXPECT_EQ(control->Lines().LineCount(), 4);
    ASSERT_TRUE(control->OnSelectionChange);
    control->SetSelectionRange(0, 3, false);
    EXPECT_EQ(selections, before + 1);
    control->SetLines({QStringLiteral("x")});
    EXPECT_EQ(control->TextRange(0, -1), QStringLiteral("x\r"));
}

TEST(RichEditControlLines, SelectionAndUnicodeStreamModes) {
    auto control = shownControl();
    control->SetText(QString::fromUtf8("앞 가운데 뒤"));
    control->SetSelectionRange(2, 5, false);
    control->SetStreamFormat(TRichStreamFormat::sfPlainText);
    control->SetStreamMode(TRichStreamMode::smSelection | TRichStreamMode::smUnicode);
    QBuffer out;
    out.open(QIODevice::ReadWrite);
    ASSERT_TRUE(control->Lines().SaveStream(out));
    const QString middle = QString::fromUtf8("가운데");
    EXPECT_EQ(out.data(), QByteArray(reinterpret_cast<const char*>(middle.utf16()), middle.size() * 2));
    // Loading with the selection mode replaces only the selection.
    const QString other = QString::fromUtf8("새 글");
    QByteArray in(reinterpret_cast<const char*>(other.utf16()), other.size() * 2);
    QBuffer source(&in);
    source.open(QIODevice::ReadOnly);
    ASSERT_TRUE(control->Lines().LoadStream(source));
    EXPECT_EQ(control->TextRange(0, -1), QString::fromUtf8("앞 새 글 뒤"));
}

TEST(RichEditControlInput, ReadOnlyReturnsPasteLimitAndSelectionBar) {
    auto control = shownControl();
    RichEditWindow& w = control->richWindow();
    control->SetText(QStringLiteral("abc"));
    control->SetSelectionRange(3, 3, false);
    control->SetReadOnly(true);
    QTest::keyClicks(&w, QStringLiteral("xy"));
    EXPECT_EQ(control->TextRange(0, -1), QStringLiteral("abc"));
    control->SetReadOnly(false);
    control->SetWantReturns(false);
    QTest::keyClick(&w, Qt::Key_Return);
    EXPECT_EQ(control->TextRange(0, -1), QStringLiteral("abc"));
    control->SetWantReturns(true);
    QTest::keyClick(&w, Qt::Key_Return);
    EXPECT_EQ(control->TextRange(0, -1), QStringLiteral("abc\r"));
    // A paste takes only what fits under the limit.
    control->SetMaxLength(8);
    QApplication::clipboard()->setText(QStringLiteral("123456789"));
    control->PasteFromClipboard();
    EXPECT_EQ(control->TextRange(0, -1), QStringLiteral("abc\r1234"));
    // A click left of the text selects the line beside it.
    control->SetMaxLength(0);
    control->SetText(QStringLiteral("first line\rsecond line"));
    const QPoint inText = w.viewport()->mapTo(&w, pointOfChar(*control, 13));
    QTest::mouseClick(&w, Qt::LeftButton, {}, QPoint(2, inText.y()));
    EXPECT_EQ(control->SelectedText(), QStringLiteral("second line"));
}

TEST(RichEditControlInput, LinksAreDrawnWithoutChangingTheStoredFormat) {
    auto control = shownControl(600, 200);
    control->SetText(QStringLiteral("visit www.a.kr today"));
    QApplication::processEvents();
    RichEditWindow& w = control->richWindow();
    const QList<QTextEdit::ExtraSelection> looks = w.extraSelections();
    ASSERT_EQ(looks.size(), 1);
    EXPECT_EQ(looks[0].cursor.selectedText(), QStringLiteral("www.a.kr"));
    EXPECT_TRUE(looks[0].format.fontUnderline());
    control->SetSelectionRange(6, 14, false);
    const CharFormat2 stored = w.model().charFormat(SCF_SELECTION);
    EXPECT_FALSE(stored.dwEffects & CFE_UNDERLINE);
    EXPECT_TRUE(stored.dwEffects & CFE_AUTOCOLOR);
    control->SetAutoURLDetect(false);
    QApplication::processEvents();
    EXPECT_TRUE(w.extraSelections().isEmpty());
}

TEST(RichEditControlInput, ReadingDirectionObjectsUnderTheMouseAndResizeRequests) {
    auto control = shownControl();
    control->SetText(QStringLiteral("text"));
    control->SetAlignment(TAlignment::taLeftJustify);
    control->setLayoutDirection(Qt::RightToLeft);
    EXPECT_EQ(control->richWindow().model().paraFormat().wAlignment, PFA_RIGHT);
    control->setLayoutDirection(Qt::LeftToRight);
    EXPECT_EQ(control->richWindow().model().paraFormat().wAlignment, PFA_LEFT);

    QTextCursor c(&control->document());
    c.setPosition(2);
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::red);
    control->document().addResource(QTextDocument::ImageResource, QUrl("pic"), picture);
    QTextImageFormat image;
    image.setName(QStringLiteral("pic"));
    c.insertImage(image);
    QApplication::processEvents();
    QWidget* viewport = control->richWindow().viewport();
    QTest::mouseMove(viewport, pointOfChar(*control, 2) + QPoint(0, -4));
    EXPECT_EQ(control->MouseMoveObjectIndex(), 0);
    QTest::mouseMove(viewport, pointOfChar(*control, 0));
    EXPECT_EQ(control->MouseMoveObjectIndex(), -1);

    QList<QRect> requests;
    control->OnResizeRequest = [&](QObject*, const QRect& rect) { requests.append(rect); };
    control->SetText(QStringLiteral("1\r2\r3\r4\r5\r6"));
    QApplication::processEvents();
    ASSERT_FALSE(requests.isEmpty());
    EXPECT_GT(requests.last().height(), 60);
}

TEST(RichEditControlEvents, KeyEventsComeFirstAndCanSwallowTheKey) {
    auto control = shownControl();
    RichEditWindow& w = control->richWindow();
    QList<int> downs;
    control->OnKeyDown = [&](QObject*, int& key, Qt::KeyboardModifiers) {
        downs.append(key);
        if (key == Qt::Key_B) {
            key = 0;  // the window never sees it
        }
    };
    int presses = 0;
    control->OnKeyPress = [&](QObject*, QChar&) { ++presses; };
    QTest::keyClicks(&w, QStringLiteral("abc"));
    EXPECT_EQ(control->TextRange(0, -1), QStringLiteral("ac"));
    EXPECT_EQ(downs, (QList<int>{Qt::Key_A, Qt::Key_B, Qt::Key_C}));
    EXPECT_EQ(presses, 2);
}
