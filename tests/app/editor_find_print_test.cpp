// The editor's find, find next, replace and print commands, by their keys, on an opened entry.
#include "app_fixture.h"

#include "richedit/find_dialog.h"

#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>

using namespace tk;
using tk::test::AppFixture;

namespace {

// "봄 여름 봄 가을 봄" in RTF.
const QByteArray kBody =
    "{\\rtf1\\ansi\\ansicpg949{\\fonttbl{\\f0 Gulim;}}\\f0 \\u48388? \\u50668?\\u47492? \\u48388? "
    "\\u44032?\\u51012? \\u48388?\\par}";

}  // namespace

class EditorFindPrintTest : public AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        makeCategory(QStringLiteral("일기"));
        makeEntry(QStringLiteral("일기"), "1", QStringLiteral("계절 일기|일기|N|TKFile.rtf"), kBody);
        ASSERT_TRUE(start());
        form1->show();
        pickCategory(QStringLiteral("일기"));
        openRow(0);
        ASSERT_TRUE(form3->isVisible());
        ASSERT_TRUE(form3->RichEdit1->Text().startsWith(QStringLiteral("봄 여름 봄")));
    }
    std::pair<int, int> selection() {
        int start = 0;
        int end = 0;
        form3->RichEdit1->GetSelectionRange(start, end);
        return {start, end};
    }
    bool findNextEnabledInMenu() {
        Q_EMIT form3->PopupMenu1->aboutToShow();
        return form3->N22->isEnabled();
    }
};

TEST_F(EditorFindPrintTest, CtrlFFindsTheSelectedWordAndF3RepeatsUntilTheEnd) {
    EXPECT_FALSE(findNextEnabledInMenu());
    pressInEditor(Qt::Key_Home, Qt::ControlModifier);
    pressInEditor(Qt::Key_Right, Qt::ShiftModifier);  // "봄"
    pressInEditor(Qt::Key_F, Qt::ControlModifier);
    auto* dialog = form3->RichEdit1->findChild<TFindDialog*>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("찾기"));
    EXPECT_EQ(dialog->FindText(), QStringLiteral("봄"));
    QTest::mouseClick(dialog->FindNextButton, Qt::LeftButton);
    EXPECT_EQ(selection(), std::make_pair(5, 6));
    EXPECT_TRUE(findNextEnabledInMenu());
    pressInEditor(Qt::Key_F3);
    EXPECT_EQ(selection(), std::make_pair(10, 11));
    EXPECT_TRUE(messages.texts().isEmpty());
    // This was silence: a search that finds nothing more now says so, with the text.
    pressInEditor(Qt::Key_F3);
    ASSERT_EQ(messages.texts().size(), 1);
    EXPECT_TRUE(messages.texts().first().contains(QStringLiteral("'봄'"))) << messages.texts().first().toStdString();
    EXPECT_EQ(selection(), std::make_pair(10, 11));
}

TEST_F(EditorFindPrintTest, CtrlRReplacesAllFromTheCaretAndMarksTheDocumentModified) {
    pressInEditor(Qt::Key_Home, Qt::ControlModifier);
    pressInEditor(Qt::Key_Right, Qt::ShiftModifier);
    pressInEditor(Qt::Key_R, Qt::ControlModifier);
    auto* dialog = form3->RichEdit1->findChild<TReplaceDialog*>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->FindText(), QStringLiteral("봄"));
    EXPECT_EQ(dialog->ReplaceText(), QString());
    dialog->ReplaceEdit()->setText(QStringLiteral("겨울"));
    pressInEditor(Qt::Key_Home, Qt::ControlModifier);
    QTest::mouseClick(dialog->ReplaceAllButton(), Qt::LeftButton);
    EXPECT_TRUE(form3->RichEdit1->Text().startsWith(QStringLiteral("겨울 여름 겨울 가을 겨울")));
    EXPECT_EQ(form3->modifiedMark(), QStringLiteral("*"));
    EXPECT_TRUE(messages.texts().isEmpty());
}

TEST_F(EditorFindPrintTest, CtrlPPrintsWithTheTitleAsTheJobName) {
    QTemporaryDir out;
    const QString pdf = out.filePath("인쇄.pdf");
    int asked = 0;
    form3->PrintDialog1 = [&](QPrinter& printer) {
        ++asked;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    };
    pressInEditor(Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(asked, 1);
    ASSERT_TRUE(QFileInfo::exists(pdf));
    QProcess info;
    info.start("pdfinfo", {pdf});
    ASSERT_TRUE(info.waitForFinished(60000));
    EXPECT_TRUE(QString::fromUtf8(info.readAllStandardOutput()).contains(QStringLiteral("계절 일기")));
    // Cancelling the dialog prints nothing.
    QFile::remove(pdf);
    form3->PrintDialog1 = [&](QPrinter&) { return false; };
    pressInEditor(Qt::Key_P, Qt::ControlModifier);
    EXPECT_FALSE(QFileInfo::exists(pdf));
}
