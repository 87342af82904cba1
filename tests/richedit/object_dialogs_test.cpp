#include "object_servers_fixture.h"
#include "richedit/insert_object_dialog.h"
#include "richedit/object_properties_dialog.h"
#include "richedit/paste_special_dialog.h"

#include <QCheckBox>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QTemporaryDir>

using namespace objtest;
using namespace tk::richedit;

namespace {

void clickButton(QDialog* dialog, QDialogButtonBox::StandardButton which) {
    QPushButton* button = dialog->findChild<QDialogButtonBox*>()->button(which);
    ASSERT_NE(button, nullptr);
    QTest::keyClick(button, Qt::Key_Space);
}

void clickItem(QListWidget* list, const QString& text) {
    const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << text.toStdString();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found[0]).center());
}

QStringList labelsOf(QWidget* page) {
    QStringList texts;
    for (const QLabel* label : page->findChildren<QLabel*>()) {
        texts << label->text();
    }
    return texts;
}

}  // namespace

TEST_F(ObjectsTest, InsertDialogMakesANewObjectOfAChosenClassAndOpensIt) {
    control->SetText(QStringLiteral("ab"));
    control->SetSelectionRange(1, 1, false);
    QStringList offered;
    whenShown<TInsertObjectDialog>([&](TInsertObjectDialog* d) {
        EXPECT_EQ(d->windowTitle(), QStringLiteral("개체 삽입"));
        EXPECT_TRUE(d->newButton()->isChecked());
        for (int i = 0; i < d->classList()->count(); ++i) {
            offered << d->classList()->item(i)->text();
        }
        // Only the help option shows the help button.
        EXPECT_EQ(d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Help), nullptr);
        clickItem(d->classList(), QStringLiteral("시험 그림"));
        clickButton(d, QDialogButtonBox::Ok);
    });
    control->ShowInsertObjectDialog();
    EXPECT_TRUE(offered.contains(QStringLiteral("시험 그림")));
    EXPECT_FALSE(offered.contains(QStringLiteral("패키지")));  // not insertable
    EXPECT_EQ(objectCharacters(), 1);
    control->SetSelectionRange(1, 2, false);
    TReObject record;
    ASSERT_EQ(control->GetSelectedObject(record), S_OK);
    EXPECT_EQ(record.clsid, kPictureId);
    EXPECT_EQ(record.dwFlags & ~REO_SELECTED, REO_RESIZABLE | REO_BELOWBASELINE | REO_DYNAMICSIZE);
    EXPECT_EQ(journal().events, QStringList{"verb -1"});
}

// This was an empty object left in the document when the new object's own window (a picture's file
// choice) was cancelled: the object is opened first and inserted only when it was filled.
TEST_F(ObjectsTest, ANewObjectLeftEmptyIsNotInserted) {
    ServerClass cancelled;
    cancelled.name = QStringLiteral("Test.Cancelled");
    cancelled.classId = QUuid::createUuid();
    cancelled.fullTypeName = QStringLiteral("빈 개체");
    cancelled.create = [id = cancelled.classId] {
        return std::make_unique<FakeObject>("Test.Cancelled", id, Qt::yellow, false);
    };
    ObjectServers::instance().registerClass(cancelled);
    whenShown<TInsertObjectDialog>([&](TInsertObjectDialog* d) {
        clickItem(d->classList(), QStringLiteral("빈 개체"));
        clickButton(d, QDialogButtonBox::Ok);
    });
    control->ShowInsertObjectDialog();
    ObjectServers::instance().unregisterClass(cancelled.name);
    EXPECT_EQ(journal().events, QStringList{"verb -1"});
    EXPECT_EQ(objectCharacters(), 0);
    EXPECT_FALSE(control->Modified());
}

TEST_F(ObjectsTest, InsertDialogEmbedsAFileWithoutOpeningIt) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("memo.txt"));
    tk::test::writeFile(path, "file bytes");
    control->ObjectDialog().Title = QStringLiteral("넣을 개체");
    control->ObjectDialog().Options = TObjectDialogOption::ioSelectCreateFromFile | TObjectDialogOption::ioShowHelp;
    whenShown<TInsertObjectDialog>([&](TInsertObjectDialog* d) {
        EXPECT_EQ(d->windowTitle(), QStringLiteral("넣을 개체"));
        EXPECT_TRUE(d->fileButton()->isChecked());
        EXPECT_NE(d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Help), nullptr);
        // OK waits for a file name.
        EXPECT_FALSE(d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->isEnabled());
        QTest::keyClicks(d->fileEdit(), path);
        clickButton(d, QDialogButtonBox::Ok);
    });
    control->ShowInsertObjectDialog();
    EXPECT_EQ(objectCharacters(), 1);
    const QTextImageFormat f = formatAt(0);
    EXPECT_EQ(f.stringProperty(richformat::ObjectClass), QLatin1String(kPackageClassName));
    EXPECT_EQ(f.property(richformat::ObjectData).toByteArray(), QByteArray("file bytes"));
    EXPECT_FALSE(journal().events.contains(QStringLiteral("verb -1")));

    // A file that is not there, and a cancelled dialog, insert nothing and say nothing.
    tk::test::ScriptedMessages messages;
    whenShown<TInsertObjectDialog>([&](TInsertObjectDialog* d) {
        QTest::keyClicks(d->fileEdit(), folder.filePath(QStringLiteral("missing.txt")));
        clickButton(d, QDialogButtonBox::Ok);
    });
    control->ShowInsertObjectDialog();
    whenShown<TInsertObjectDialog>([&](TInsertObjectDialog* d) { clickButton(d, QDialogButtonBox::Cancel); });
    control->ShowInsertObjectDialog();
    EXPECT_EQ(objectCharacters(), 1);
    EXPECT_TRUE(messages.requests().isEmpty());
}

TEST(ObjectDialogPlacement, ScreenThirdOrCentredOnTheReferenceAndKeptOnScreen) {
    const QRect screen(0, 0, 1920, 1080);
    EXPECT_EQ(tk::objectDialogPosition({400, 300}, screen, nullptr), QPoint(760, 260));
    const QRect middle(100, 100, 800, 600);
    EXPECT_EQ(tk::objectDialogPosition({400, 300}, screen, &middle), QPoint(300, 250));
    // A window near the right edge: the dialog moves left until it fits.
    const QRect right(1700, 100, 600, 400);
    EXPECT_EQ(tk::objectDialogPosition({400, 300}, screen, &right), QPoint(1520, 150));
    const QRect offTopLeft(-500, -400, 300, 200);
    EXPECT_EQ(tk::objectDialogPosition({400, 300}, screen, &offTopLeft), QPoint(0, 0));
}

TEST_F(ObjectsTest, InsertDialogBesideAFormAtTheRightEdgeStaysOnTheScreen) {
    const QRect area = control->screen()->geometry();
    control->ObjectDialog().Position = TObjectDialogPosition::dpParentFormCenter;
    control->move(area.right() - 100, area.top() + 50);
    QRect placed;
    whenShown<TInsertObjectDialog>([&](TInsertObjectDialog* d) {
        placed = d->frameGeometry();
        clickButton(d, QDialogButtonBox::Cancel);
    });
    control->ShowInsertObjectDialog();
    ASSERT_TRUE(placed.isValid());
    EXPECT_LE(placed.right(), area.right());
    EXPECT_GE(placed.left(), area.left());
}

TEST_F(ObjectsTest, PasteSpecialWithOnlyTextOffersOnlyText) {
    control->SetText(QStringLiteral("ab"));
    control->SetSelectionRange(1, 1, false);
    QApplication::clipboard()->clear();
    EXPECT_FALSE(control->ShowPasteSpecialDialog());  // nothing to paste: no dialog
    QApplication::clipboard()->setText(QStringLiteral("글"));
    QStringList entries;
    whenShown<TPasteSpecialDialog>([&](TPasteSpecialDialog* d) {
        for (int i = 0; i < d->entryList()->count(); ++i) {
            entries << d->entryList()->item(i)->text();
        }
        EXPECT_FALSE(d->iconBox()->isEnabled());
        clickButton(d, QDialogButtonBox::Ok);
    });
    EXPECT_TRUE(control->ShowPasteSpecialDialog());
    EXPECT_EQ(entries, QStringList{"텍스트"});
    EXPECT_EQ(control->TextRange(0, -1), QStringLiteral("a글b"));
    whenShown<TPasteSpecialDialog>([&](TPasteSpecialDialog* d) { clickButton(d, QDialogButtonBox::Cancel); });
    EXPECT_FALSE(control->ShowPasteSpecialDialog());
    EXPECT_EQ(control->TextRange(0, -1), QStringLiteral("a글b"));
}

TEST_F(ObjectsTest, PasteSpecialOfACopiedObjectAsIconLeavesItSelected) {
    control->SetText(QStringLiteral("ab"));
    placeStoredObject(1, QStringLiteral("Test.Picture"), "copied");
    control->SetSelectionRange(1, 2, false);
    control->CopyToClipboard();
    control->SetSelectionRange(3, 3, false);
    QStringList entries;
    whenShown<TPasteSpecialDialog>([&](TPasteSpecialDialog* d) {
        for (int i = 0; i < d->entryList()->count(); ++i) {
            entries << d->entryList()->item(i)->text();
        }
        EXPECT_TRUE(d->iconBox()->isEnabled());
        QTest::keyClick(d->iconBox(), Qt::Key_Space);
        EXPECT_TRUE(d->iconBox()->isChecked());
        clickButton(d, QDialogButtonBox::Ok);
    });
    EXPECT_TRUE(control->ShowPasteSpecialDialog());
    ASSERT_FALSE(entries.isEmpty());
    EXPECT_EQ(entries[0], QStringLiteral("시험 그림"));
    EXPECT_TRUE(entries.contains(QStringLiteral("서식있는 문자열(RTF)")));
    EXPECT_EQ(control->SelectionStart(), 3);
    EXPECT_EQ(control->SelectionLength(), 1);
    TReObject record;
    ASSERT_EQ(control->GetSelectedObject(record), S_OK);
    EXPECT_EQ(record.dvaspect, unsigned(DVASPECT_ICON));
    EXPECT_EQ(record.dwFlags, REO_RESIZABLE | REO_SELECTED);
    EXPECT_EQ(fake(record.poleobj)->save(), QByteArray("copied"));
    EXPECT_EQ(formatAt(3).intProperty(richformat::ObjectAspect), int(DVASPECT_ICON));
}

TEST_F(ObjectsTest, PasteSpecialOfAFileMakesALinkAndOfAPictureAPlainPicture) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("원본.dat"));
    tk::test::writeFile(path, "source");
    auto* link = new QMimeData;
    link->setUrls({QUrl::fromLocalFile(path)});
    QApplication::clipboard()->setMimeData(link);
    QStringList entries;
    whenShown<TPasteSpecialDialog>([&](TPasteSpecialDialog* d) {
        for (int i = 0; i < d->entryList()->count(); ++i) {
            entries << d->entryList()->item(i)->text();
        }
        clickButton(d, QDialogButtonBox::Ok);
    });
    EXPECT_TRUE(control->ShowPasteSpecialDialog());
    EXPECT_EQ(entries, QStringList{"원본.dat"});
    TReObject record;
    ASSERT_EQ(control->GetSelectedObject(record), S_OK);
    EXPECT_TRUE(record.dwFlags & REO_LINK);
    ASSERT_NE(record.poleobj->link(), nullptr);
    EXPECT_EQ(record.poleobj->link()->sourceDisplayName(), path);
    EXPECT_EQ(record.poleobj->save(), QByteArray("source"));

    QImage picture(6, 4, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    QApplication::clipboard()->setImage(picture);
    control->SetSelectionRange(1, 1, false);
    entries.clear();
    whenShown<TPasteSpecialDialog>([&](TPasteSpecialDialog* d) {
        for (int i = 0; i < d->entryList()->count(); ++i) {
            entries << d->entryList()->item(i)->text();
        }
        clickButton(d, QDialogButtonBox::Ok);
    });
    EXPECT_TRUE(control->ShowPasteSpecialDialog());
    EXPECT_EQ(entries, QStringList{"Windows Bitmap"});
    EXPECT_EQ(objectCharacters(), 2);
    const QTextImageFormat f = formatAt(1);
    EXPECT_EQ(f.intProperty(richformat::PictureKind), int(richformat::PictureType::Png));
    EXPECT_EQ(f.width(), 6);
    EXPECT_FALSE(f.hasProperty(richformat::ObjectClass));
}

TEST_F(ObjectsTest, PropertiesShowTheObjectAndSwitchItsViewToIconAndBack) {
    control->SetTitle(QStringLiteral("일기"));
    insertPicture();
    control->SetText(control->TextRange(0, -1));  // an object is needed selected, not text
    insertPicture();
    EXPECT_FALSE(control->ShowObjectPropertiesDialog());  // the caret, not an object
    control->SetSelectionRange(2, 3, false);
    QStringList tabs;
    QStringList general;
    whenShown<TObjectPropertiesDialog>([&](TObjectPropertiesDialog* d) {
        EXPECT_EQ(d->windowTitle(), QStringLiteral("시험 그림 등록정보"));
        for (int i = 0; i < d->pages()->count(); ++i) {
            tabs << d->pages()->tabText(i);
        }
        general = labelsOf(d->pages()->widget(0));
        EXPECT_TRUE(d->contentButton()->isChecked());
        d->pages()->setCurrentIndex(1);
        QTest::keyClick(d->iconButton(), Qt::Key_Space);
        clickButton(d, QDialogButtonBox::Ok);
    });
    EXPECT_TRUE(control->ShowObjectPropertiesDialog());
    EXPECT_EQ(tabs, (QStringList{"일반", "보기"}));
    EXPECT_TRUE(general.contains(QStringLiteral("TOMEKEEP - 일기")));
    EXPECT_TRUE(general.contains(QStringLiteral("시험 그림")));
    QTextImageFormat f = formatAt(2);
    EXPECT_EQ(f.intProperty(richformat::ObjectAspect), int(DVASPECT_ICON));
    EXPECT_GE(f.width(), 48);  // the class icon with its name
    TReObject record;
    ASSERT_EQ(control->GetSelectedObject(record), S_OK);
    EXPECT_EQ(record.dvaspect, unsigned(DVASPECT_ICON));

    whenShown<TObjectPropertiesDialog>([&](TObjectPropertiesDialog* d) {
        EXPECT_TRUE(d->iconButton()->isChecked());
        QTest::keyClick(d->contentButton(), Qt::Key_Space);
        clickButton(d, QDialogButtonBox::Ok);
    });
    EXPECT_TRUE(control->ShowObjectPropertiesDialog());
    f = formatAt(2);
    EXPECT_EQ(f.intProperty(richformat::ObjectAspect), int(DVASPECT_CONTENT));
    EXPECT_EQ(f.width(), 40);
    EXPECT_EQ(control->document().resource(QTextDocument::ImageResource, QUrl(f.name())).value<QImage>().pixel(1, 1),
              QColor(Qt::red).rgb());

    whenShown<TObjectPropertiesDialog>([&](TObjectPropertiesDialog* d) {
        QTest::keyClick(d->iconButton(), Qt::Key_Space);
        clickButton(d, QDialogButtonBox::Cancel);
    });
    EXPECT_FALSE(control->ShowObjectPropertiesDialog());
    EXPECT_EQ(formatAt(2).intProperty(richformat::ObjectAspect), int(DVASPECT_CONTENT));
}

TEST_F(ObjectsTest, LinkPageOffersTheSourceAndUpdatesButNotBreakingTheLink) {
    tk::test::ScriptedMessages messages;
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("원본.dat"));
    tk::test::writeFile(path, "first");
    auto* link = new QMimeData;
    link->setUrls({QUrl::fromLocalFile(path)});
    QApplication::clipboard()->setMimeData(link);
    whenShown<TPasteSpecialDialog>([&](TPasteSpecialDialog* d) { clickButton(d, QDialogButtonBox::Ok); });
    ASSERT_TRUE(control->ShowPasteSpecialDialog());
    control->SetModified(false);
    tk::test::writeFile(path, "second");
    QStringList tabs;
    whenShown<TObjectPropertiesDialog>([&](TObjectPropertiesDialog* d) {
        for (int i = 0; i < d->pages()->count(); ++i) {
            tabs << d->pages()->tabText(i);
        }
        d->pages()->setCurrentIndex(2);
        EXPECT_EQ(d->sourceLabel()->text(), path);
        EXPECT_FALSE(d->breakButton()->isEnabled());
        EXPECT_TRUE(d->automaticButton()->isChecked());
        QTest::keyClick(d->updateButton(), Qt::Key_Space);
        QTest::keyClick(d->manualButton(), Qt::Key_Space);
        EXPECT_TRUE(d->manualButton()->isChecked());
        clickButton(d, QDialogButtonBox::Ok);
    });
    EXPECT_TRUE(control->ShowObjectPropertiesDialog());
    EXPECT_EQ(tabs, (QStringList{"일반", "보기", "연결"}));
    TReObject record;
    ASSERT_EQ(control->GetSelectedObject(record), S_OK);
    EXPECT_EQ(record.poleobj->link()->updateOptions(), 3u);
    EXPECT_EQ(formatAt(0).property(richformat::ObjectData).toByteArray(), QByteArray("second"));
    EXPECT_TRUE(control->Modified());
    EXPECT_TRUE(messages.requests().isEmpty());

    // A source that is not there, and breaking the link, are refused with a message.
    const std::unique_ptr<tk::TOleUILinkInfo> info = tk::TOleUILinkInfo::create(*control, record);
    ASSERT_NE(info, nullptr);
    int eaten = 0;
    EXPECT_EQ(info->SetLinkSource(folder.filePath(QStringLiteral("없음")), false, &eaten), E_FAIL);
    EXPECT_EQ(info->CancelLink(), E_NOTIMPL);
    ASSERT_EQ(messages.requests().size(), 2);
    EXPECT_EQ(messages.requests()[0].text,
              QStringLiteral("잘못된 원본에는 연결할 수 없습니다. 있는 파일을 고르십시오."));
    EXPECT_EQ(messages.requests()[1].text, QStringLiteral("연결 끊기는 지원하지 않습니다."));
    for (const MsgRequest& r : messages.requests()) {
        EXPECT_EQ(r.caption, QStringLiteral("연결 속성"));
        EXPECT_EQ(r.kind, MsgKind::Error);
    }
    EXPECT_EQ(record.poleobj->link()->sourceDisplayName(), path);

    // A source that is there is taken, and the object reads it.
    const QString other = folder.filePath(QStringLiteral("other.dat"));
    tk::test::writeFile(other, "other");
    EXPECT_EQ(info->SetLinkSource(other, true, &eaten), S_OK);
    EXPECT_EQ(eaten, other.size());
    EXPECT_EQ(formatAt(0).property(richformat::ObjectData).toByteArray(), QByteArray("other"));
    EXPECT_EQ(formatAt(0).stringProperty(ObjectLinkSource), other);
}
