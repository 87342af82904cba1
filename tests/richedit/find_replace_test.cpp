// Find and replace on the rich text control, driven through its own dialogs: directions, flags,
// focus, the repeat command, replace-all and its events, and positions around pictures.
#include "richedit/qe_rich_edit.h"
#include "richtext/rich_edit_window.h"
#include "richtext/rich_format.h"

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QTextTable>

#include <gtest/gtest.h>

#include <memory>

using namespace tk;
using namespace tk::richedit;

namespace {

class FindReplaceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        control = std::make_unique<TQE_RichEdit>();
        control->resize(500, 300);
        control->show();
        control->HandleNeeded();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(control.get()));
        control->OnTextNotFound = [this](QObject*, const QString& text) { notFound.append(text); };
    }
    void TearDown() override { control.reset(); }

    void setText(const QString& text) { control->SetText(text); }
    void select(int start, int end) { control->SetSelectionRange(start, end, false); }
    std::pair<int, int> selection() {
        int start = 0;
        int end = 0;
        control->GetSelectionRange(start, end);
        return {start, end};
    }
    // Opens the find dialog and types the text into it as a user would.
    TFindDialog* findDialogWith(const QString& text) {
        TFindDialog* dialog = control->ShowFindDialog(QString());
        dialog->FindEdit->clear();
        // Korean arrives through the input method, committed syllable by syllable.
        for (const QChar c : text) {
            QInputMethodEvent commit;
            commit.setCommitString(QString(c));
            QApplication::sendEvent(dialog->FindEdit, &commit);
        }
        return dialog;
    }
    static void click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    std::unique_ptr<TQE_RichEdit> control;
    QStringList notFound;
};

TEST_F(FindReplaceTest, DownwardAtTheEndFailsAtOnceAndNamesTheText) {
    setText(QStringLiteral("사과 배 사과"));
    select(7, 7);
    TFindDialog* dialog = findDialogWith(QStringLiteral("사과"));
    click(dialog->FindNextButton);
    EXPECT_EQ(notFound, QStringList{QStringLiteral("사과")});
    EXPECT_EQ(selection(), std::make_pair(7, 7));  // a failed search leaves the selection alone
}

TEST_F(FindReplaceTest, DirectionDecidesWhichMatchIsFound) {
    setText(QStringLiteral("하나 둘 하나 둘 하나"));
    select(10, 12);  // the last "하나"
    TFindDialog* dialog = findDialogWith(QStringLiteral("하나"));
    click(dialog->UpButton);
    click(dialog->FindNextButton);
    EXPECT_EQ(selection(), std::make_pair(5, 7));  // the nearest one before, not the one selected
    EXPECT_TRUE(notFound.isEmpty());
    // Only found before the selection: downward there is none.
    setText(QStringLiteral("둘 하나 둘"));
    select(5, 6);
    click(dialog->DownButton);
    click(dialog->FindNextButton);
    EXPECT_EQ(notFound.size(), 1);
    EXPECT_EQ(selection(), std::make_pair(5, 6));
}

TEST_F(FindReplaceTest, WholeWordAndMatchCaseReachTheSearch) {
    setText(QStringLiteral("Category cat CAT cat"));
    select(0, 0);
    TFindDialog* dialog = findDialogWith(QStringLiteral("cat"));
    click(dialog->FindNextButton);
    EXPECT_EQ(selection(), std::make_pair(0, 3));  // neither box ticked: any case, inside words
    select(0, 0);
    click(dialog->WholeWordBox);
    click(dialog->FindNextButton);
    EXPECT_EQ(selection(), std::make_pair(9, 12));
    click(dialog->FindNextButton);
    EXPECT_EQ(selection(), std::make_pair(13, 16));  // "CAT" matches without match case
    select(0, 0);
    click(dialog->MatchCaseBox);
    dialog->FindEdit->setText(QStringLiteral("CAT"));
    click(dialog->FindNextButton);
    EXPECT_EQ(selection(), std::make_pair(13, 16));
}

TEST_F(FindReplaceTest, EnterInTheDialogSearchesAndFocusEndsInTheText) {
    setText(QStringLiteral("가나다 가나다"));
    select(0, 0);
    TFindDialog* dialog = findDialogWith(QStringLiteral("나다"));
    QTest::keyClick(dialog->FindEdit, Qt::Key_Return);
    EXPECT_EQ(selection(), std::make_pair(1, 3));
    EXPECT_TRUE(dialog->isVisible());  // modeless: it stays open for the next search
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == &control->richWindow(); }));
    // Not found: the focus still goes to the text.
    dialog->activateWindow();
    dialog->FindEdit->setFocus();
    dialog->FindEdit->setText(QStringLiteral("없는말"));
    QTest::keyClick(dialog->FindEdit, Qt::Key_Return);
    EXPECT_EQ(notFound.size(), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == &control->richWindow(); }));
}

TEST_F(FindReplaceTest, RepeatNeedsAnEarlierSearchWithText) {
    setText(QStringLiteral("봄 여름 봄"));
    select(0, 0);
    EXPECT_FALSE(control->CanFindNextMatch());
    EXPECT_FALSE(control->FindNextMatch());
    EXPECT_EQ(selection(), std::make_pair(0, 0));
    TFindDialog* dialog = control->ShowFindDialog(QStringLiteral("봄"));
    click(dialog->FindNextButton);
    EXPECT_EQ(selection(), std::make_pair(0, 1));
    ASSERT_TRUE(control->CanFindNextMatch());
    EXPECT_TRUE(control->FindNextMatch());
    EXPECT_EQ(selection(), std::make_pair(5, 6));
    EXPECT_FALSE(control->FindNextMatch());
    EXPECT_EQ(notFound.size(), 1);
    // An empty find text in a new control's dialog gives nothing to repeat.
    control = std::make_unique<TQE_RichEdit>();
    control->HandleNeeded();
    control->ShowFindDialog(QString());
    EXPECT_FALSE(control->CanFindNextMatch());
}

TEST_F(FindReplaceTest, ShowingTheDialogWithoutTextKeepsTheOldText) {
    TFindDialog* dialog = control->ShowFindDialog(QStringLiteral("바다"));
    dialog->close();
    EXPECT_EQ(control->ShowFindDialog(QString())->FindText(), QStringLiteral("바다"));
    EXPECT_EQ(control->ShowFindDialog(QStringLiteral("산"))->FindText(), QStringLiteral("산"));
    // A replace dialog made later starts from the find dialog's text.
    EXPECT_EQ(control->ShowReplaceDialog(QString(), QString())->FindText(), QStringLiteral("산"));
}

// Positions count a picture and a paragraph end as one character each, as the window does.
TEST_F(FindReplaceTest, PositionsAreExactAroundPicturesAndParagraphEnds) {
    setText(QStringLiteral("앞"));
    QImage picture(16, 16, QImage::Format_RGB32);
    picture.fill(Qt::red);
    control->document().addResource(QTextDocument::ImageResource, QUrl("pic"), picture);
    QTextCursor cursor(&control->document());
    cursor.movePosition(QTextCursor::End);
    QTextImageFormat image;
    image.setName("pic");
    cursor.insertImage(image);
    cursor.insertText(QStringLiteral("뒤"));
    cursor.insertBlock();
    cursor.insertText(QStringLiteral("끝 뒤"));
    select(0, 0);
    TFindDialog* dialog = findDialogWith(QStringLiteral("뒤"));
    click(dialog->FindNextButton);
    EXPECT_EQ(selection(), std::make_pair(2, 3));
    EXPECT_EQ(control->SelectedText(), QStringLiteral("뒤"));
    click(dialog->FindNextButton);
    EXPECT_EQ(selection(), std::make_pair(6, 7));  // "앞", picture, "뒤", paragraph end, "끝", " "
    EXPECT_EQ(control->SelectedText(), QStringLiteral("뒤"));
    // A search may span a paragraph end, which reads as CR.
    select(0, 0);
    dialog->FindEdit->setText(QStringLiteral("뒤\r끝"));
    click(dialog->FindNextButton);
    EXPECT_EQ(selection(), std::make_pair(2, 5));
}

// A paragraph longer than one read is searched a part at a time; matches on the seams count.
TEST_F(FindReplaceTest, LongParagraphsAreSearchedToTheirEnd) {
    control->SetMaxLength(0x7FFFFFF);
    const QString filler(70000, u'가');
    setText(filler + QStringLiteral(" 바늘\r끝 바늘"));
    select(0, 0);
    TFindDialog* dialog = findDialogWith(QStringLiteral("바늘"));
    click(dialog->WholeWordBox);
    click(dialog->FindNextButton);
    EXPECT_EQ(selection(), std::make_pair(70001, 70003));
    click(dialog->FindNextButton);
    EXPECT_EQ(selection(), std::make_pair(70006, 70008));
    click(dialog->UpButton);
    click(dialog->FindNextButton);
    EXPECT_EQ(selection(), std::make_pair(70001, 70003));
}

TEST_F(FindReplaceTest, ReplaceChangesTheNextMatchNotTheSelectedOne) {
    setText(QStringLiteral("고양이 고양이 고양이"));
    select(0, 3);
    TReplaceDialog* dialog = control->ShowReplaceDialog(QStringLiteral("고양이"), QStringLiteral("개"));
    click(dialog->ReplaceButton());
    EXPECT_EQ(control->Text(), QStringLiteral("고양이 개 고양이"));
    EXPECT_EQ(selection(), std::make_pair(4, 5));  // the inserted text is selected
}

TEST_F(FindReplaceTest, ReplaceAllWhoseTextHoldsTheFindTextEnds) {
    setText(QStringLiteral("가a나a다a"));
    select(0, 0);
    TReplaceDialog* dialog = control->ShowReplaceDialog(QStringLiteral("a"), QStringLiteral("aa"));
    click(dialog->ReplaceAllButton());
    EXPECT_EQ(control->Text(), QStringLiteral("가aa나aa다aa"));
    // One undo takes the whole replace-all back.
    ASSERT_TRUE(control->CanUndo());
    control->Undo();
    EXPECT_EQ(control->Text(), QStringLiteral("가a나a다a"));
}

TEST_F(FindReplaceTest, ReplaceAllRaisesEachEventOnceOrNotAtAll) {
    int changes = 0;
    int selections = 0;
    control->OnChange = [&](QObject*) { ++changes; };
    control->OnSelectionChange = [&](QObject*) { ++selections; };
    setText(QStringLiteral("눈 비 눈 비 눈"));
    select(0, 0);
    changes = selections = 0;
    TReplaceDialog* dialog = control->ShowReplaceDialog(QStringLiteral("눈"), QStringLiteral("해"));
    click(dialog->ReplaceAllButton());
    EXPECT_EQ(control->Text(), QStringLiteral("해 비 해 비 해"));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(selections, 1);
    EXPECT_TRUE(notFound.isEmpty());
    ASSERT_TRUE(control->OnSelectionChange);  // given back afterwards
    // Nothing left to replace: the user hears of it, and no change is reported.
    changes = selections = 0;
    click(dialog->ReplaceAllButton());
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(selections, 0);
    EXPECT_EQ(notFound, QStringList{QStringLiteral("눈")});
}

// Replace-all reads the text once and goes on in it; it must give what replacing one match at a
// time gives, around tables, pictures, paragraph ends and protected text, and where a
// replacement becomes the text before the next whole-word match.
TEST_F(FindReplaceTest, ReplaceAllGivesWhatReplacingOneAtATimeGives) {
    struct Case {
        QString find;
        QString replace;
        bool wholeWord;
        bool matchCase;
    };
    const Case cases[] = {
        {"-a", "-", true, false},                     // the replacement "-" makes the next "-a" a whole word
        {"ab", "x", true, false},                     // "ab" inside words stays
        {"AB", "AB AB", false, true},                 // longer, holds the find text, case matters
        {QStringLiteral("셀"), "", false, false},     // deleting, inside table cells
        {QStringLiteral("끝\r"), "|", false, false},  // across paragraph ends
        {QStringLiteral("잠김"), "Z", false, false},  // one match protected and refused
    };
    // A paragraph, a table of four cells, a picture, more paragraphs and a protected run.
    auto build = [](TQE_RichEdit& edit) {
        edit.SetText(QStringLiteral("-a-a b-a ab abab AB aB 끝\r셀 앞"));
        QTextDocument& doc = edit.document();
        QImage picture(8, 8, QImage::Format_RGB32);
        picture.fill(Qt::blue);
        doc.addResource(QTextDocument::ImageResource, QUrl("pic"), picture);
        QTextCursor c(&doc);
        c.movePosition(QTextCursor::End);
        QTextTable* table = c.insertTable(2, 2);
        for (int cell = 0; cell < 4; ++cell) {
            QTextCursor in = table->cellAt(cell / 2, cell % 2).firstCursorPosition();
            in.insertText(QStringLiteral("셀%1 ab-a 끝").arg(cell));
        }
        c.movePosition(QTextCursor::End);
        QTextImageFormat image;
        image.setName("pic");
        c.insertImage(image);
        c.insertText(QStringLiteral("AB끝\r잠김 "));
        QTextCharFormat locked;
        locked.setProperty(richformat::Protected, true);
        c.insertText(QStringLiteral("잠김"), locked);
        c.insertText(QStringLiteral(" 잠김 ab"), QTextCharFormat());
        edit.OnProtectChange = [](QObject*, int, int, bool& allow) { allow = false; };
        edit.SetSelectionRange(0, 0, false);
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.find.toStdString());
        TQE_RichEdit stepwise;
        stepwise.resize(500, 300);
        stepwise.HandleNeeded();
        build(stepwise);
        TReplaceDialog* steps = stepwise.ShowReplaceDialog(k.find, QString());
        int failures = 0;
        stepwise.OnTextNotFound = [&](QObject*, const QString&) { ++failures; };
        build(*control);
        TReplaceDialog* all = control->ShowReplaceDialog(k.find, QString());
        for (TReplaceDialog* d : {steps, all}) {
            d->ReplaceEdit()->setText(k.replace);
            if (d->WholeWordBox->isChecked() != k.wholeWord) {
                click(d->WholeWordBox);
            }
            if (d->MatchCaseBox->isChecked() != k.matchCase) {
                click(d->MatchCaseBox);
            }
        }
        for (int i = 0; i < 100 && failures == 0; ++i) {
            click(steps->ReplaceButton());
        }
        ASSERT_EQ(failures, 1);
        click(all->ReplaceAllButton());
        EXPECT_EQ(control->TextRange(0, -1), stepwise.TextRange(0, -1));
        int a = 0, b = 0, c = 0, d = 0;
        control->GetSelectionRange(a, b);
        stepwise.GetSelectionRange(c, d);
        EXPECT_EQ(std::make_pair(a, b), std::make_pair(c, d));  // the last replacement is selected
        steps->close();
        all->close();
    }
}

TEST_F(FindReplaceTest, TheDialogMovesOffTheFoundText) {
    setText(QStringLiteral("첫 줄\r둘째 줄\r셋째 줄 찾을말"));
    TFindDialog* dialog = findDialogWith(QStringLiteral("찾을말"));
    select(0, 0);
    const QPoint found = control->richWindow().viewport()->mapToGlobal(control->CharPosition(14));
    dialog->move(found - QPoint(10, 10));
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog->frameGeometry().contains(found); }));
    click(dialog->FindNextButton);
    EXPECT_EQ(selection(), std::make_pair(14, 17));
    EXPECT_FALSE(dialog->frameGeometry().contains(found));
}

}  // namespace
