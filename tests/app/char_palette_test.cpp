// The special character palette: its pages, and typing a character into the editor by clicking a
// cell or moving through the grid with the keys.
#include "app_fixture.h"

#include "editor/string_grid.h"
#include "editor/tab_rows.h"

#include <QSignalSpy>

using namespace tk;
using tk::test::AppFixture;

namespace {

// "봄 여름" in RTF.
const QByteArray kBody = "{\\rtf1\\ansi\\ansicpg949{\\fonttbl{\\f0 Gulim;}}\\f0 \\u48388? \\u50668?\\u47492?\\par}";

QString ch(char16_t code) {
    return QString(QChar(code));
}

}  // namespace

class CharPaletteTest : public AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        makeCategory(QStringLiteral("일기"));
        makeEntry(QStringLiteral("일기"), "1", QStringLiteral("봄 일기|일기|N|TKFile.rtf"), kBody);
        ASSERT_TRUE(start());
        form1->show();
        pickCategory(QStringLiteral("일기"));
        openRow(0);
        ASSERT_TRUE(form3->isVisible());
        ASSERT_TRUE(form3->RichEdit1->Text().startsWith(QStringLiteral("봄 여름")));
    }

    TStringGrid* grid() { return form7->StringGrid1; }
    QString text() { return form3->RichEdit1->Text(); }
    int caret() { return form3->RichEdit1->SelectionStart(); }
    int selected() { return form3->RichEdit1->SelectionLength(); }

    void openPalette() {
        form3->N27->trigger();
        ASSERT_TRUE(form7->isVisible());
    }
    void clickTab(int tab) { QTest::mouseClick(form7->TabControl1->tab(tab), Qt::LeftButton); }
    void clickCell(int col, int row) {
        const QModelIndex index = grid()->model()->index(row, col);
        ASSERT_TRUE(index.isValid()) << col << "," << row;
        grid()->scrollTo(index);
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, grid()->visualRect(index).center());
    }
    // The text of entry k of the page on show.
    QString entry(int k) { return grid()->Cells(k % grid()->ColCount(), k / grid()->ColCount()); }
    // How many entries the page on show has: up to its last character.
    int entryCount() {
        const int cells = grid()->ColCount() * grid()->RowCount();
        for (int k = cells - 1; k >= 0; --k) {
            if (!entry(k).isEmpty()) {
                return k + 1;
            }
        }
        return 0;
    }
    // The caret goes after the first character.
    void caretAfterFirst() {
        pressInEditor(Qt::Key_Home, Qt::ControlModifier);
        pressInEditor(Qt::Key_Right);
    }
};

TEST_F(CharPaletteTest, EditorMenuOpensThePaletteModelessAndOnTop) {
    const QList<QAction*> items = form3->PopupMenu1->actions();
    const qsizetype at = items.indexOf(form3->N27);
    ASSERT_GT(at, 1);
    EXPECT_EQ(form3->N27->text(), QStringLiteral("특수문자 넣기"));
    EXPECT_EQ(items[at - 1], form3->N7);  // after the other insertions
    EXPECT_EQ(items[at + 1], form3->N30);
    EXPECT_TRUE(items[at + 2]->isSeparator());
    EXPECT_EQ(items[at + 3], form3->N19);

    EXPECT_FALSE(form7->isVisible());
    openPalette();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(form7->windowTitle(), QStringLiteral("특수문자"));
    EXPECT_TRUE(form7->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(form7->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(form7->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(form7->size(), QSize(294, 313));
    EXPECT_EQ(form7->minimumSize(), form7->maximumSize());

    const QStringList captions = {"기호 문자", "영문 전각, 한글 자모", "선, 단위 문자", "원, 괄호 문자",
                                  "일본 문자", "그리스, 러시아 문자",  "한문",          "기타"};
    ASSERT_EQ(form7->TabControl1->count(), captions.size());
    for (int tab = 0; tab < captions.size(); ++tab) {
        EXPECT_EQ(form7->TabControl1->tab(tab)->text(), captions[tab]);
        // Every tab can be seen and clicked inside the window.
        const QRect shown(form7->TabControl1->tab(tab)->mapTo(form7.get(), QPoint()),
                          form7->TabControl1->tab(tab)->size());
        EXPECT_TRUE(form7->rect().contains(shown)) << tab;
    }
    EXPECT_GT(form7->TabControl1->rowCount(), 1);
    EXPECT_EQ(form7->TabControl1->TabIndex(), 0);
    EXPECT_EQ(grid()->columnWidth(0), 18);
    EXPECT_EQ(grid()->rowHeight(0), 18);
    EXPECT_TRUE(grid()->showGrid());
    EXPECT_EQ(grid()->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(grid()->viewport()->cursor().shape(), Qt::PointingHandCursor);
    // All fifteen columns fit beside the scroll bar.
    EXPECT_LE(grid()->visualRect(grid()->model()->index(0, 14)).right(), grid()->viewport()->width());
}

TEST_F(CharPaletteTest, EveryPageHasItsEntriesRowsAndColumns) {
    openPalette();
    const int counts[] = {138, 191, 150, 159, 172, 151, 4888, 33};
    for (int tab = 0; tab < 8; ++tab) {
        clickTab(tab);
        ASSERT_EQ(form7->TabControl1->TabIndex(), tab);
        const int columns = tab == 6 ? 14 : 15;
        EXPECT_EQ(form7->characterList().size(), counts[tab]) << tab;
        EXPECT_EQ(entryCount(), counts[tab]) << tab;
        EXPECT_EQ(grid()->ColCount(), columns) << tab;
        EXPECT_EQ(grid()->RowCount(), std::max(13, counts[tab] / columns + 1)) << tab;
    }
    clickTab(6);
    EXPECT_EQ(grid()->ColCount(), 14);
    EXPECT_EQ(grid()->RowCount(), 350);
    // "기타" fills three rows, 15 + 2 blanks + 16, and still shows thirteen.
    clickTab(7);
    EXPECT_EQ(grid()->RowCount(), 13);
    EXPECT_FALSE(grid()->Cells(2, 2).isEmpty());
    EXPECT_TRUE(grid()->Cells(3, 2).isEmpty());
    for (int col = 0; col < 15; ++col) {
        EXPECT_TRUE(grid()->Cells(col, 3).isEmpty()) << col;
    }
    clickTab(0);
    EXPECT_EQ(grid()->RowCount(), 13);
    EXPECT_EQ(grid()->ColCount(), 15);
}

TEST_F(CharPaletteTest, CellsShowTheCharactersOfTheirBytePairs) {
    openPalette();
    EXPECT_EQ(grid()->Cells(0, 0), ch(0x3000));  // A1A1
    EXPECT_EQ(entry(137), ch(0x2121));           // A2E5, the last of the page
    clickTab(1);
    EXPECT_EQ(grid()->Cells(0, 0), ch(0xFF01));  // A3A1
    EXPECT_EQ(entry(93), ch(0xFFE3));            // A3FE
    EXPECT_TRUE(entry(94).isEmpty() && entry(95).isEmpty() && entry(96).isEmpty());
    EXPECT_EQ(grid()->Cells(7, 6), ch(0x3131));  // A4A1, entry 97
    clickTab(5);
    EXPECT_EQ(entry(0), ch(0x2170));    // A5A1, small Roman one
    EXPECT_EQ(entry(15), ch(0x2160));   // A5B0, after five blanks
    EXPECT_EQ(entry(150), ch(0x044F));  // ACF1
    clickTab(6);
    EXPECT_EQ(grid()->Cells(0, 0), ch(0x4F3D));    // CAA1
    EXPECT_EQ(grid()->Cells(1, 349), ch(0x8A70));  // FDFE, the last Hanja
    EXPECT_TRUE(grid()->Cells(2, 349).isEmpty());
}

// Two pairs of "기타", A8A5 and A8A7, are not characters of the code page. Decoded within the
// page's byte string, the decoder would take their trail bytes as lead bytes and every character
// after them would be wrong; shown as they decode alone, they would put replacement characters
// into the document.
TEST_F(CharPaletteTest, UnassignedPairsKeepEmptyCellsAndShiftNothing) {
    openPalette();
    clickTab(7);
    EXPECT_EQ(entry(0), ch(0x00C6));   // A8A1
    EXPECT_TRUE(entry(4).isEmpty());   // A8A5
    EXPECT_EQ(entry(5), ch(0x0132));   // A8A6
    EXPECT_TRUE(entry(6).isEmpty());   // A8A7
    EXPECT_EQ(entry(7), ch(0x013F));   // A8A8
    EXPECT_EQ(entry(14), ch(0x014A));  // A8AF
    EXPECT_TRUE(entry(15).isEmpty() && entry(16).isEmpty());
    EXPECT_EQ(entry(17), ch(0x00E6));  // A9A1
    EXPECT_EQ(entry(32), ch(0x0149));  // A9B0
    for (int tab = 0; tab < 8; ++tab) {
        clickTab(tab);
        for (const QString& cell : form7->characterList()) {
            EXPECT_LE(cell.size(), 1) << tab;
            EXPECT_FALSE(cell.contains(QChar::ReplacementCharacter)) << tab;
        }
    }

    // Clicking such a cell types nothing.
    caretAfterFirst();
    clickTab(7);
    clickCell(4, 0);
    EXPECT_TRUE(text().startsWith(QStringLiteral("봄 여름")));
}

TEST_F(CharPaletteTest, ClickingCellsTypesTheirCharactersAtTheCaret) {
    caretAfterFirst();
    openPalette();
    clickTab(1);
    clickCell(7, 6);
    EXPECT_TRUE(text().startsWith(QStringLiteral("봄ㄱ 여름"))) << text().toStdString();
    EXPECT_EQ(caret(), 2);
    EXPECT_EQ(selected(), 0);
    EXPECT_EQ(form3->modifiedMark(), QStringLiteral("*"));

    // The cell already selected, clicked again, types again.
    clickCell(7, 6);
    EXPECT_TRUE(text().startsWith(QStringLiteral("봄ㄱㄱ 여름"))) << text().toStdString();
    EXPECT_EQ(caret(), 3);

    // Only the left button selects.
    const QModelIndex other = grid()->model()->index(0, 0);
    QTest::mouseClick(grid()->viewport(), Qt::RightButton, {}, grid()->visualRect(other).center());
    EXPECT_TRUE(text().startsWith(QStringLiteral("봄ㄱㄱ 여름"))) << text().toStdString();
    EXPECT_EQ(grid()->Col(), 7);

    // Another page: the Hanja block.
    clickTab(6);
    clickCell(0, 0);
    EXPECT_TRUE(text().startsWith(QStringLiteral("봄ㄱㄱ伽 여름"))) << text().toStdString();
    EXPECT_EQ(caret(), 4);
    EXPECT_EQ(selected(), 0);
}

TEST_F(CharPaletteTest, ArrowKeysTypeEveryCellPassedOver) {
    caretAfterFirst();
    openPalette();
    clickCell(0, 0);                         // A1A1
    QTest::keyClick(grid(), Qt::Key_Right);  // A1A2
    QTest::keyClick(grid(), Qt::Key_Right);  // A1A3
    QTest::keyClick(grid(), Qt::Key_Down);   // entry 17, A1B2
    QTest::keyClick(grid(), Qt::Key_Left);   // entry 16, A1B1
    const QString typed = ch(0x3000) + ch(0x3001) + ch(0x3002) + ch(0x3014) + ch(0x201D);
    EXPECT_TRUE(text().startsWith(QStringLiteral("봄") + typed + QStringLiteral(" 여름"))) << text().toStdString();
    EXPECT_EQ(caret(), 6);
    EXPECT_EQ(selected(), 0);
}

TEST_F(CharPaletteTest, AnEmptyCellRemovesTheSelectionAndTypesNothing) {
    openPalette();
    clickTab(1);
    pressInEditor(Qt::Key_Home, Qt::ControlModifier);
    pressInEditor(Qt::Key_Right, Qt::ShiftModifier);  // "봄"
    clickCell(4, 6);                                  // entry 94, a blank
    EXPECT_TRUE(text().startsWith(QStringLiteral(" 여름"))) << text().toStdString();
    EXPECT_EQ(caret(), 0);
    EXPECT_EQ(selected(), 0);

    // A cell after the last entry does the same.
    pressInEditor(Qt::Key_Right, Qt::ShiftModifier);  // " "
    clickTab(7);
    clickCell(0, 12);
    EXPECT_TRUE(text().startsWith(QStringLiteral("여름"))) << text().toStdString();
    EXPECT_EQ(selected(), 0);
}

TEST_F(CharPaletteTest, TheTabSurvivesCloseAndShowingAgainOnlyRaises) {
    openPalette();
    clickTab(6);
    QSignalSpy rebuilt(grid()->model(), &QAbstractItemModel::modelReset);
    openPalette();  // shown already: only brought to the front
    EXPECT_EQ(rebuilt.count(), 0);
    EXPECT_EQ(form7->characterList().size(), 4888);

    EXPECT_TRUE(form7->close());
    EXPECT_FALSE(form7->isVisible());
    EXPECT_TRUE(form7->characterList().isEmpty());
    const QString before = text();
    openPalette();
    EXPECT_EQ(form7->TabControl1->TabIndex(), 6);
    EXPECT_TRUE(form7->TabControl1->tab(6)->isChecked());
    EXPECT_EQ(grid()->ColCount(), 14);
    EXPECT_EQ(grid()->RowCount(), 350);
    EXPECT_EQ(form7->characterList().size(), 4888);
    // Showing selects nothing by itself: the document is as it was.
    EXPECT_EQ(text(), before);
    // A click on the selected tab changes nothing.
    rebuilt.clear();
    clickTab(6);
    EXPECT_EQ(rebuilt.count(), 0);
}

// This was text typed into the closed editor's emptied document: unseen, it then asked to be saved
// when the next entry was opened, and a "yes" made a new entry of it.
TEST_F(CharPaletteTest, NothingIsTypedWhileTheEditorIsClosed) {
    openPalette();
    form3->close();
    ASSERT_FALSE(form3->isVisible());
    ASSERT_TRUE(form7->isVisible());
    clickCell(3, 0);
    QTest::keyClick(grid(), Qt::Key_Right);
    EXPECT_TRUE(text().isEmpty()) << text().toStdString();
    EXPECT_FALSE(form3->isModified());

    openRow(0);
    ASSERT_TRUE(form3->isVisible());
    EXPECT_TRUE(messages.texts().isEmpty());
    EXPECT_TRUE(text().startsWith(QStringLiteral("봄 여름")));
    caretAfterFirst();
    clickCell(6, 0);
    EXPECT_EQ(text().mid(1, 1), ch(0x00A8));  // A1A7

    // Nor while it shows a web page, over the rich text it hides.
    messages.queue(MsgAnswer::No);
    ASSERT_TRUE(form3->N1Click());
    QTemporaryDir dir;
    tk::test::writeFile(dir.filePath("page.html"), "<html><body>page</body></html>");
    ASSERT_TRUE(form3->openFile(dir.filePath("page.html")));
    ASSERT_TRUE(form3->isWebBody());
    clickCell(7, 0);
    EXPECT_TRUE(text().isEmpty()) << text().toStdString();
}
