// The find window's searches of the whole library: entries' text through the search index, every
// category's rows, and protected entries decrypted in memory with a password.
#include "app/library_search.h"
#include "app/search_service.h"
#include "app_fixture.h"
#include "search_test_support.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>

using namespace tk;
using tk::test::AppFixture;

namespace {

QStringList titles(const EntryListView* list) {
    QStringList out;
    for (const EntryRow& r : list->entries()->rows()) {
        out.append(r.title);
    }
    return out;
}

const QString kPassword = QStringLiteral("비밀번호1");

}  // namespace

class LibraryFindTest : public AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        makeCategory(QStringLiteral("여행"));
        makeCategory(QStringLiteral("일기"));
        write(QStringLiteral("여행"), "20200101000001", QStringLiteral("제주 기록"), QStringLiteral("여행"),
              QStringLiteral("작년 여름의 한라산등반기를 정리했다.\n렌터카를 빌려 해안도로를 달렸다."));
        write(QStringLiteral("여행"), "20200101000002", QStringLiteral("가족 모임"), QStringLiteral("여행"),
              QStringLiteral("할머니 댁에서 저녁을 먹었다. 사진에 <i>렌즈</i> & 필터를 적었다."));
        write(QStringLiteral("일기"), "20200101000003", QStringLiteral("오월 일기"), QStringLiteral("일기"),
              QStringLiteral("오늘은 Library 도서관에서 책을 읽었다."));
        write(QStringLiteral("일기"), "20200101000004", QStringLiteral("비밀 일기"), QStringLiteral("일기"),
              QStringLiteral("금고 번호는 장롱 속 상자에 있다."), kPassword);
        write(QStringLiteral("일기"), "20200101000005", QStringLiteral("다른 일기"), QStringLiteral("일기"),
              QStringLiteral("금고 열쇠는 서랍에 있다."), QStringLiteral("다른암호"));
    }

    void write(const QString& category, const char* archive, const QString& title, const QString& entryCategory,
               const QString& text, const QString& password = {}) {
        ASSERT_TRUE(test::writeEntry(library() + category + u'/' + QLatin1String(archive) + QStringLiteral(".zip"),
                                     {title, entryCategory, test::rtfOf(text), password}));
    }

    // Starts the program's windows, shows the find window and waits until the index has read the
    // library.
    void startAndShowFind() {
        ASSERT_TRUE(start());
        SearchService* service = form1->searchService();
        ASSERT_NE(service, nullptr);
        QSignalSpy caughtUp(service, &SearchService::catchUpFinished);
        form1->show();
        ASSERT_TRUE(caughtUp.wait(60000));
        ASSERT_TRUE(service->isAvailable());
        click(form1->ToolButton8);
        ASSERT_TRUE(form6->isVisible());
    }

    void setBox(QCheckBox* box, bool on) {
        if (box->isChecked() != on) {
            click(box);
        }
    }

    // Types the text, presses "찾기" and waits for the results.
    QStringList find(const QString& text) {
        form6->FindText->clear();
        typeText(form6->FindText, text);
        click(form6->Button1);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !form6->isSearching(); }, 60000));
        return titles(form1->FindList);
    }

    QRect rowRect(int row) const {
        EntryListView* list = form1->FindList;
        return list->visualRect(list->model()->index(row, 0));
    }

    void doubleClickResult(int row) {
        EntryListView* list = form1->FindList;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowRect(row).center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rowRect(row).center());
    }

    QString editorText() const { return form3->RichEdit1->richWindow().toPlainText(); }
};

TEST_F(LibraryFindTest, BodySearchFindsKoreanInsideWordsAndBeforeParticlesInTheListedCategory) {
    startAndShowFind();
    pickCategory(QStringLiteral("여행"));
    setBox(form6->BodyCheck, true);
    // The column boxes have no say over a search of the text.
    EXPECT_FALSE(form6->NameCheck->isEnabled());
    // Inside a longer word, and before a particle.
    EXPECT_EQ(find(QStringLiteral("등반")), QStringList({QStringLiteral("제주 기록")}));
    EXPECT_EQ(find(QStringLiteral("렌터카")), QStringList({QStringLiteral("제주 기록")}));
    // The words around the match are the row's tool tip.
    const QString tip = form1->FindList->model()->index(0, 0).data(Qt::ToolTipRole).toString();
    EXPECT_TRUE(tip.contains(QStringLiteral("<b>렌터카</b>를 빌려"))) << tip.toStdString();
    // Markup in the text is shown as it is written.
    ASSERT_EQ(find(QStringLiteral("렌즈")), QStringList({QStringLiteral("가족 모임")}));
    const QString marked = form1->FindList->model()->index(0, 0).data(Qt::ToolTipRole).toString();
    EXPECT_TRUE(marked.contains(QStringLiteral("&lt;i&gt;<b>렌즈</b>&lt;/i&gt; &amp; 필터"))) << marked.toStdString();
    ASSERT_EQ(find(QStringLiteral("렌터카")), QStringList({QStringLiteral("제주 기록")}));
    const EntryRow& hit = form1->FindList->entries()->row(0);
    EXPECT_EQ(hit.folder, library() + QStringLiteral("여행/"));
    EXPECT_EQ(hit.category, QStringLiteral("여행"));
    // Only the listed category: the diary's word is not found here.
    EXPECT_TRUE(find(QStringLiteral("도서관")).isEmpty());
    EXPECT_TRUE(form6->Note->text().startsWith(QStringLiteral("찾는 말이 든 글이 없습니다.")))
        << form6->Note->text().toStdString();
    // Unticked, the title find is back: the text's words are not in any title.
    setBox(form6->BodyCheck, false);
    EXPECT_TRUE(form6->NameCheck->isEnabled());
    EXPECT_TRUE(find(QStringLiteral("렌터카")).isEmpty());
    EXPECT_EQ(find(QStringLiteral("제주")), QStringList({QStringLiteral("제주 기록")}));
    EXPECT_TRUE(messages.texts().isEmpty()) << messages.texts().join(u'\n').toStdString();
}

TEST_F(LibraryFindTest, AResultFromAnotherCategoryOpensFromItsOwnFolder) {
    startAndShowFind();
    pickCategory(QStringLiteral("여행"));
    setBox(form6->BodyCheck, true);
    setBox(form6->AllCheck, true);
    // English in any letter case, in another category.
    ASSERT_EQ(find(QStringLiteral("library")), QStringList({QStringLiteral("오월 일기")}));
    EXPECT_EQ(form1->FindList->entries()->row(0).folder, library() + QStringLiteral("일기/"));
    doubleClickResult(0);
    ASSERT_TRUE(form3->isVisible()) << messages.texts().join(u'\n').toStdString();
    EXPECT_TRUE(editorText().contains(QStringLiteral("도서관에서 책을"))) << editorText().toStdString();
    EXPECT_EQ(form3->windowTitle(), QStringLiteral("+일기+ TKEDIT"));
    // The list still shows the category it showed.
    EXPECT_EQ(form1->ListDir, library() + QStringLiteral("여행/"));
    EXPECT_TRUE(messages.texts().isEmpty()) << messages.texts().join(u'\n').toStdString();
}

TEST_F(LibraryFindTest, EveryCategorysTitlesWithoutTheTextAndEnterOpensAResult) {
    startAndShowFind();
    pickCategory(QStringLiteral("여행"));
    setBox(form6->AllCheck, true);
    // Titles of every category; the text's words are not looked at.
    EXPECT_TRUE(find(QStringLiteral("도서관")).isEmpty());
    QStringList found = find(QStringLiteral("일기"));
    found.sort();
    EXPECT_EQ(found,
              QStringList({QStringLiteral("다른 일기"), QStringLiteral("비밀 일기"), QStringLiteral("오월 일기")}));
    setBox(form6->PassCheck, true);
    found = find(QStringLiteral("일기"));
    found.sort();
    EXPECT_EQ(found, QStringList({QStringLiteral("다른 일기"), QStringLiteral("비밀 일기")}));
    setBox(form6->PassCheck, false);
    ASSERT_EQ(find(QStringLiteral("오월")), QStringList({QStringLiteral("오월 일기")}));
    // Enter in the results does not open (only the main list's Enter does); a double click opens
    // the result from its own folder.
    EntryListView* list = form1->FindList;
    QApplication::setActiveWindow(form1.get());
    list->setFocus();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowRect(0).center());
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_FALSE(form3->isVisible());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rowRect(0).center());
    ASSERT_TRUE(form3->isVisible()) << messages.texts().join(u'\n').toStdString();
    EXPECT_TRUE(editorText().contains(QStringLiteral("도서관")));
}

TEST_F(LibraryFindTest, ProtectedTextIsFoundOnlyWithItsPasswordAndNeverWrittenDown) {
    startAndShowFind();
    pickCategory(QStringLiteral("일기"));
    setBox(form6->BodyCheck, true);
    // Without the password the protected text is never found, not even by a protected title.
    EXPECT_TRUE(find(QStringLiteral("금고")).isEmpty());
    EXPECT_TRUE(find(QStringLiteral("비밀")).isEmpty());
    setBox(form6->PassCheck, true);
    const qsizetype earlier = messages.texts().size();
    QString purpose;
    answerEntryDialog([&](TForm4& d) {
        purpose = d.EntryLabel->text();
        typeText(d.Pass_in, kPassword);
        click(d.Button3);
    });
    EXPECT_EQ(find(QStringLiteral("금고")), QStringList({QStringLiteral("비밀 일기")}));
    EXPECT_EQ(pendingDialogAnswers(), 0u);
    EXPECT_TRUE(purpose.contains(QStringLiteral("암호가 걸린 글 2개"))) << purpose.toStdString();
    // The entry the password does not open is named in the count, with what to do.
    ASSERT_EQ(messages.texts().size(), earlier + 1);
    const QString report = messages.texts().last();
    EXPECT_TRUE(report.startsWith(QStringLiteral("암호가 걸린 글 1개는 이 암호로 열지 못해"))) << report.toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral("다른 일기"))) << report.toStdString();
    EXPECT_FALSE(report.contains(QStringLiteral("비밀 일기")));
    EXPECT_TRUE(report.contains(QStringLiteral("다른 암호를 건 글은 그 암호로 다시 찾으세요")));
    EXPECT_TRUE(
        form1->FindList->model()->index(0, 0).data(Qt::ToolTipRole).toString().contains(QStringLiteral("장롱")));
    // The password is left nowhere, and the decrypted text reached no file.
    EXPECT_TRUE(form4->Pass_in->text().isEmpty());
    for (const QByteArray& secret :
         {QStringLiteral("장롱").toUtf8(), test::rtfOf(QStringLiteral("장롱")).mid(15).chopped(1)}) {
        EXPECT_EQ(test::filesHolding(cacheDir(), secret), QStringList());
        EXPECT_EQ(test::filesHolding(home(), secret), QStringList());
    }
    // The found entry opens with the password asked for again, as any protected entry does.
    answerEntryDialog([&](TForm4& d) {
        typeText(d.Pass_in, kPassword);
        click(d.Button3);
    });
    doubleClickResult(0);
    ASSERT_TRUE(form3->isVisible()) << messages.texts().join(u'\n').toStdString();
    EXPECT_TRUE(editorText().contains(QStringLiteral("장롱")));
}

TEST_F(LibraryFindTest, ACancelledPasswordSearchesNothing) {
    startAndShowFind();
    pickCategory(QStringLiteral("일기"));
    setBox(form6->BodyCheck, true);
    setBox(form6->PassCheck, true);
    const qsizetype earlier = messages.texts().size();
    answerEntryDialog([&](TForm4& d) { click(d.Button4); });
    EXPECT_TRUE(find(QStringLiteral("금고")).isEmpty());
    EXPECT_EQ(messages.texts().mid(earlier),
              QStringList({QStringLiteral("암호 입력을 취소했습니다. 암호가 걸린 글을 찾으려면 다시 "
                                          "찾기를 누르고 암호를 넣으세요.")}));
    EXPECT_EQ(form6->Note->text(), QStringLiteral("암호가 걸린 글은 찾지 않았습니다."));
    // A category without protected entries asks for no password.
    pickCategory(QStringLiteral("여행"));
    EXPECT_TRUE(find(QStringLiteral("제주")).isEmpty());
    EXPECT_EQ(dialogShowings(), 1);
    EXPECT_TRUE(form6->Note->text().startsWith(QStringLiteral("이 분류에는 암호가 걸린 글이 없습니다.")));
}

TEST_F(LibraryFindTest, AnIndexThatCannotBeOpenedIsSaidAndTheTitleFindStillWorks) {
    // A cache folder that is a file: no index can be made below it.
    test::writeFile(cacheDir() + "blocked", "x");
    qputenv("XDG_CACHE_HOME", (cacheDir() + "blocked").toUtf8());
    ASSERT_TRUE(start());
    QSignalSpy unavailable(form1->searchService(), &SearchService::unavailable);
    form1->show();
    ASSERT_TRUE(unavailable.wait(30000));
    pickCategory(QStringLiteral("여행"));
    click(form1->ToolButton8);
    setBox(form6->BodyCheck, true);
    const qsizetype earlier = messages.texts().size();
    EXPECT_TRUE(find(QStringLiteral("렌터카")).isEmpty());
    ASSERT_EQ(messages.texts().size(), earlier + 1);
    const QString said = messages.texts().last();
    EXPECT_TRUE(said.startsWith(QStringLiteral("검색 색인을 쓸 수 없어 본문에서 찾지 못했습니다.\n") +
                                unavailable.first().first().toString() + u'\n'))
        << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("'본문' 체크를 풀면")));
    EXPECT_FALSE(form6->isSearching());
    setBox(form6->BodyCheck, false);
    EXPECT_EQ(find(QStringLiteral("제주")), QStringList({QStringLiteral("제주 기록")}));
}

class LongProtectedFindTest : public LibraryFindTest {
  protected:
    void SetUp() override {
        LibraryFindTest::SetUp();
        makeCategory(QStringLiteral("업무"));
        QString text;
        for (int i = 0; i < 300; ++i) {
            text += QStringLiteral("회의에서 일정과 예산을 다시 정리했다. 다음 주에 보고서를 낸다. ");
        }
        for (int i = 0; i < kEntries; ++i) {
            const QByteArray name = QByteArray("20210101") + QByteArray::number(100000 + i);
            write(QStringLiteral("업무"), name.constData(), QStringLiteral("회의록 %1").arg(i), QStringLiteral("업무"),
                  text + QStringLiteral("열쇠말 code%1end").arg(i), kPassword);
        }
    }
    static constexpr int kEntries = 300;
};

TEST_F(LongProtectedFindTest, CancelStopsTheSearchAndTheWindowsStayResponsive) {
    startAndShowFind();
    pickCategory(QStringLiteral("업무"));
    setBox(form6->BodyCheck, true);
    setBox(form6->PassCheck, true);
    answerEntryDialog([&](TForm4& d) {
        typeText(d.Pass_in, kPassword);
        click(d.Button3);
    });
    typeText(form6->FindText, QStringLiteral("보고서"));
    click(form6->Button1);
    ASSERT_TRUE(form6->isSearching());
    // The window system is served while entries are read: a timer keeps its beat.
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 longestGap = 0;
    QTimer beat;
    QObject::connect(&beat, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, clock.elapsed() - last);
        last = clock.elapsed();
    });
    beat.start(5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return form6->ProgressBar1->value() >= 3; }, 60000));
    EXPECT_TRUE(form6->ProgressBar1->isVisible());
    EXPECT_LT(form6->ProgressBar1->value(), kEntries) << "the search ended before it could be cancelled";
    EXPECT_LT(longestGap, 500);
    click(form6->Button2);
    EXPECT_FALSE(form6->isVisible());
    EXPECT_FALSE(form6->isSearching());
    // The thread ends soon after, and what it found is dropped.
    QElapsedTimer stopping;
    stopping.start();
    form6->stopSearches();
    EXPECT_LT(stopping.elapsed(), 5000);
    QTest::qWait(50);
    EXPECT_EQ(form1->FindList->entries()->rowCount(), 0);
    // A new search runs to its end and finds every entry.
    click(form1->ToolButton8);
    answerEntryDialog([&](TForm4& d) {
        typeText(d.Pass_in, kPassword);
        click(d.Button3);
    });
    EXPECT_EQ(find(QStringLiteral("code7end")), QStringList({QStringLiteral("회의록 7")}));
    EXPECT_TRUE(form6->Note->text().startsWith(QStringLiteral("1개를 찾았습니다.")))
        << form6->Note->text().toStdString();
}
