#include "object_servers_fixture.h"

#include "richtext/rtf_reader.h"
#include "richtext/rtf_writer.h"

#include <QBuffer>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QMenu>
#include <QMimeData>

using namespace objtest;
using namespace tk::richedit;

namespace {

// An RTF document with an object of the given class between "ab" and "cd".
QByteArray rtfWithObject(const QByteArray& className) {
    return "{\\rtf1\\ansi ab{\\object\\objemb{\\*\\objclass " + className +
           "}\\objw600\\objh300{\\*\\objdata 01050000}}cd}";
}

}  // namespace

TEST_F(ObjectsTest, InsertByClassNameGivesOneCharacterWithItsRecord) {
    QList<TReObject> inserted;
    control->OnInsertObject = [&](QObject* sender, TReObject& record) {
        EXPECT_EQ(sender, control.get());
        inserted.append(record);
    };
    control->SetModified(false);
    insertPicture();
    ASSERT_EQ(inserted.size(), 1);
    EXPECT_EQ(inserted[0].cp, 2);
    EXPECT_EQ(inserted[0].dwFlags, 9u);
    EXPECT_EQ(inserted[0].dvaspect, unsigned(DVASPECT_CONTENT));
    EXPECT_TRUE(inserted[0].clsid.isNull());  // the class field stays zero
    ASSERT_NE(inserted[0].poleobj, nullptr);
    EXPECT_EQ(control->TextRange(0, -1), QStringLiteral("ab") + QChar::ObjectReplacementCharacter + "cd");
    EXPECT_EQ(control->SelectionStart(), 3);
    EXPECT_TRUE(control->Modified());
    EXPECT_FALSE(control->SelectedObjectPresent());  // the caret is after it

    // The editor steps back over the new object and drives it.
    control->SetSelectionRange(2, 3, false);
    EXPECT_EQ(control->SelectionKinds(), TSelectionKinds(TSelectionKind::skObject));
    ASSERT_TRUE(control->SelectedObjectPresent());
    TReObject record;
    ASSERT_EQ(control->GetSelectedObject(record), S_OK);
    EXPECT_EQ(record.poleobj, inserted[0].poleobj);
    EXPECT_EQ(record.cp, 2);
    EXPECT_EQ(record.clsid, kPictureId);
    EXPECT_EQ(record.dwFlags, 9u | REO_SELECTED);
    EXPECT_EQ(record.sizel, QSize(600, 300));  // the object's own size
    const QTextImageFormat f = formatAt(2);
    EXPECT_EQ(f.stringProperty(richformat::ObjectClass), QStringLiteral("Test.Picture"));
    EXPECT_EQ(f.width(), 40);
    EXPECT_EQ(f.intProperty(richformat::PictureKind), int(richformat::PictureType::None));
    EXPECT_EQ(control->document().resource(QTextDocument::ImageResource, QUrl(f.name())).value<QImage>().pixel(1, 1),
              QColor(Qt::red).rgb());
}

TEST_F(ObjectsTest, UnknownClassesAndRefusalsInsertNothingAndSayNothing) {
    tk::test::ScriptedMessages messages;
    int inserted = 0;
    control->OnInsertObject = [&](QObject*, TReObject&) { ++inserted; };
    control->SetText(QStringLiteral("abcd"));
    control->InsertObjectByClassName(QStringLiteral("No.Such.Class"), 9);
    control->InsertObjectByClassName(QStringLiteral("{00000000-1111-2222-3333-444444444444}"), 9);
    control->InsertObjectByClassName(QStringLiteral("not a class"), 9);

    QList<QUuid> asked;
    control->OnQueryInsertObject = [&](QObject*, const QUuid& clsid, bool& canInsert) {
        asked.append(clsid);
        canInsert = false;
    };
    control->InsertObjectByClassName(QStringLiteral("Test.Picture"), 9);
    EXPECT_EQ(asked, QList<QUuid>{kPictureId});

    // Without roOLEInsert the handler is not even asked.
    control->OnQueryInsertObject = [&](QObject*, const QUuid& clsid, bool& canInsert) {
        asked.append(clsid);
        canInsert = true;
    };
    control->SetOptions(TRichOption::roDragDrop);
    control->InsertObjectByClassName(QStringLiteral("Test.Picture"), 9);
    EXPECT_EQ(asked.size(), 1);
    EXPECT_EQ(control->TextRange(0, -1), QStringLiteral("abcd"));
    EXPECT_EQ(inserted, 2);  // raised just before the window refused
    EXPECT_TRUE(messages.requests().isEmpty());
}

TEST_F(ObjectsTest, ObjectsOfADocumentAreMadeOnlyWhenAskedFor) {
    control->SetText(QStringLiteral("abcd"));
    placeStoredObject(1, QStringLiteral("Test.Picture"), "stored");
    placeStoredObject(3, QStringLiteral("Test.Broken"), "stored");
    placeStoredObject(5, QStringLiteral("Unknown.Class"), "stored");
    QApplication::processEvents();
    EXPECT_EQ(journal().created, 0);
    EXPECT_EQ(window().objects().count(), 3);

    control->SetSelectionRange(1, 2, false);
    TReObject record;
    ASSERT_EQ(control->GetSelectedObject(record), S_OK);
    EXPECT_EQ(journal().events, QStringList{"load stored"});
    EXPECT_EQ(fake(record.poleobj)->save(), QByteArray("stored"));

    // A class that fails to load and one that is not registered still show and are kept, with a
    // record but no instance.
    for (int at : {3, 5}) {
        control->SetSelectionRange(at, at + 1, false);
        EXPECT_FALSE(control->SelectedObjectPresent());
        EXPECT_EQ(control->GetSelectedObject(record), REGDB_E_CLASSNOTREG);
        EXPECT_EQ(record.cp, at);
        EXPECT_EQ(record.poleobj, nullptr);
        EXPECT_EQ(record.sizel, QSize(450, 300));
    }
    EXPECT_EQ(objectCharacters(), 3);
}

TEST_F(ObjectsTest, AChangedObjectRewritesItsCharacter) {
    control->SetText(QStringLiteral("ab"));
    placeStoredObject(1, QStringLiteral("Test.Picture"), "old");
    control->SetSelectionRange(1, 2, false);
    TReObject record;
    ASSERT_EQ(control->GetSelectedObject(record), S_OK);
    control->SetModified(false);
    fake(record.poleobj)->edit("new", Qt::yellow);
    const QTextImageFormat f = formatAt(1);
    EXPECT_EQ(f.property(richformat::ObjectData).toByteArray(), QByteArray("new"));
    EXPECT_FALSE(f.hasProperty(richformat::ObjectRtf));  // written anew, not as read
    EXPECT_EQ(f.width(), 40);
    EXPECT_EQ(control->document().resource(QTextDocument::ImageResource, QUrl(f.name())).value<QImage>().pixel(0, 0),
              QColor(Qt::yellow).rgb());
    EXPECT_TRUE(control->Modified());
    // The instance stays the same one.
    TReObject again;
    ASSERT_EQ(control->GetSelectedObject(again), S_OK);
    EXPECT_EQ(again.poleobj, record.poleobj);
    EXPECT_EQ(journal().created, 1);
}

TEST_F(ObjectsTest, UndoingAnObjectsChangeMakesItAgainFromTheDataBefore) {
    control->SetText(QStringLiteral("ab"));
    placeStoredObject(1, QStringLiteral("Test.Picture"), "before");
    control->SetSelectionRange(1, 2, false);
    TReObject record;
    ASSERT_EQ(control->GetSelectedObject(record), S_OK);
    fake(record.poleobj)->edit("after", Qt::yellow);
    control->Undo();
    EXPECT_EQ(formatAt(1).property(richformat::ObjectData).toByteArray(), QByteArray("before"));
    control->SetSelectionRange(1, 2, false);
    ASSERT_EQ(control->GetSelectedObject(record), S_OK);
    EXPECT_EQ(record.poleobj->save(), QByteArray("before"));
    EXPECT_EQ(journal().created, 2);
}

TEST_F(ObjectsTest, WithoutObjectSupportNothingIsInsertedOrFound) {
    control->SetText(QStringLiteral("ab"));
    placeStoredObject(1, QStringLiteral("Test.Picture"), "kept");
    control->SetAllowObjects(false);
    control->SetSelectionRange(1, 2, false);
    TReObject record;
    EXPECT_EQ(control->GetSelectedObject(record), E_FAIL);
    EXPECT_FALSE(control->SelectedObjectPresent());
    control->InsertObjectByClassName(QStringLiteral("Test.Picture"), 9);
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(Qt::green);
    QApplication::clipboard()->setImage(picture);
    control->SetSelectionRange(0, 0, false);
    control->PasteFromClipboard();
    EXPECT_EQ(objectCharacters(), 1);  // the document's own object stays
    EXPECT_EQ(journal().created, 0);
}

TEST_F(ObjectsTest, RightAfterInsertionTheFirstPictureAndTheObjectGoWithOneUndo) {
    control->SetText(QStringLiteral("ab"));
    control->SetSelectionRange(1, 1, false);
    control->InsertObjectByClassName(QStringLiteral("Test.Picture"), 9);
    control->SetSelectionRange(1, 2, false);
    TReObject record;
    ASSERT_EQ(control->GetSelectedObject(record), S_OK);
    fake(record.poleobj)->edit("loaded picture", Qt::blue);
    control->Undo();
    EXPECT_EQ(control->TextRange(0, -1), QStringLiteral("ab"));
}

TEST_F(ObjectsTest, EveryEditThatRemovesAnObjectReportsItOnce) {
    QList<TReObject> deleted;
    QStringList closedAtEvent;
    control->OnDeleteObject = [&](QObject*, const TReObject& record) {
        deleted.append(record);
        closedAtEvent = journal().events;
    };
    RichEditWindow& w = window();

    // The Delete key on the selected object.
    insertPicture();
    control->SetSelectionRange(2, 3, false);
    TReObject live;
    ASSERT_EQ(control->GetSelectedObject(live), S_OK);
    QTest::keyClick(&w, Qt::Key_Delete);
    ASSERT_EQ(deleted.size(), 1);
    EXPECT_EQ(deleted[0].cp, 2);
    EXPECT_EQ(deleted[0].poleobj, live.poleobj);
    EXPECT_EQ(deleted[0].clsid, kPictureId);
    EXPECT_TRUE(closedAtEvent.isEmpty());  // the event comes before the object is closed
    EXPECT_EQ(journal().events, QStringList{"close "});

    // Undo brings the character back with its format; a new instance is made when asked for.
    control->Undo();
    EXPECT_EQ(objectCharacters(), 1);
    EXPECT_EQ(formatAt(2).stringProperty(richformat::ObjectClass), QStringLiteral("Test.Picture"));
    control->SetSelectionRange(2, 3, false);
    ASSERT_TRUE(control->SelectedObjectPresent());
    EXPECT_EQ(journal().created, 2);

    // Typing over a selection that holds it, Backspace after it, cut, and Clear.
    control->SetSelectionRange(1, 4, false);
    QTest::keyClick(&w, Qt::Key_X);
    EXPECT_EQ(deleted.size(), 2);
    EXPECT_EQ(deleted[1].cp, 2);
    insertPicture();
    QTest::keyClick(&w, Qt::Key_Backspace);
    EXPECT_EQ(deleted.size(), 3);
    insertPicture();
    control->SetSelectionRange(0, 5, false);
    control->CutToClipboard();
    EXPECT_EQ(deleted.size(), 4);
    insertPicture();
    insertPicture(QStringLiteral("x"), 1);  // the first object goes with the text replaced
    EXPECT_EQ(deleted.size(), 5);
    control->Clear();
    EXPECT_EQ(deleted.size(), 6);
    EXPECT_EQ(control->TextRange(0, -1), QString());

    // Formatting over an object and typing beside it remove nothing.
    insertPicture();
    control->SetSelectionRange(0, 5, false);
    CharFormat2 bold;
    bold.dwMask = CFM_BOLD;
    bold.dwEffects = CFE_BOLD;
    ASSERT_TRUE(w.model().setCharFormat(SCF_SELECTION, bold));
    control->SetSelectionRange(5, 5, false);
    QTest::keyClicks(&w, QStringLiteral("ef"));
    QTest::keyClick(&w, Qt::Key_Backspace);
    EXPECT_EQ(deleted.size(), 6);
}

TEST_F(ObjectsTest, WithoutADeleteHandlerTheObjectIsClosed) {
    insertPicture();
    QTest::keyClick(&window(), Qt::Key_Backspace);
    EXPECT_EQ(objectCharacters(), 0);
    EXPECT_EQ(journal().events, QStringList{"close "});
}

TEST_F(ObjectsTest, LoadingADocumentDeletesTheOldObjectsAndMakesNoNewOnes) {
    int deleted = 0;
    control->OnDeleteObject = [&](QObject*, const TReObject&) { ++deleted; };
    insertPicture();
    control->SetStreamFormat(TRichStreamFormat::sfRichText);
    QByteArray rtf = rtfWithObject("Test.Picture");
    QBuffer source(&rtf);
    source.open(QIODevice::ReadOnly);
    ASSERT_TRUE(control->Lines().LoadStream(source));
    EXPECT_EQ(deleted, 1);
    EXPECT_EQ(objectCharacters(), 1);
    EXPECT_EQ(journal().created, 1);
    EXPECT_EQ(window().objects().count(), 1);
    // The object read is one of the window's: deleting it is reported too.
    control->SetSelectionRange(2, 3, false);
    QTest::keyClick(&window(), Qt::Key_Delete);
    EXPECT_EQ(deleted, 2);
}

TEST_F(ObjectsTest, WithoutOleInsertPastesKeepTheTextAndLeaveTheObjectsOut) {
    QApplication::clipboard()->clear();
    control->SetText(QStringLiteral("xy"));
    auto* rtf = new QMimeData;
    rtf->setData(QStringLiteral("text/rtf"), rtfWithObject("Test.Picture"));
    QApplication::clipboard()->setMimeData(rtf);
    control->SetOptions(TRichOption::roDragDrop);
    control->SetSelectionRange(1, 1, false);
    control->PasteFromClipboard();
    EXPECT_EQ(control->TextRange(0, -1), QStringLiteral("xabcdy"));

    // A picture alone brings nothing; OnQueryInsertObject is not asked.
    int asked = 0;
    control->OnQueryInsertObject = [&](QObject*, const QUuid&, bool&) { ++asked; };
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::green);
    QApplication::clipboard()->setImage(picture);
    control->PasteFromClipboard();
    EXPECT_EQ(objectCharacters(), 0);

    // Dropped the same.
    auto* dropped = new QMimeData;
    dropped->setData(QStringLiteral("text/rtf"), rtfWithObject("Test.Picture"));
    RichEditWindow& w = window();
    const QPoint at = w.viewport()->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, dropped, Qt::LeftButton, {});
    QApplication::sendEvent(w.viewport(), &enter);
    QDropEvent drop(at, Qt::CopyAction, dropped, Qt::LeftButton, {});
    QApplication::sendEvent(w.viewport(), &drop);
    EXPECT_EQ(control->TextRange(0, -1).count(QStringLiteral("abcd")), 2);
    EXPECT_EQ(objectCharacters(), 0);
    EXPECT_EQ(asked, 0);
    delete dropped;

    // With it, the handler decides object by object.
    control->SetOptions(TRichOption::roOLEInsert | TRichOption::roDragDrop);
    control->OnQueryInsertObject = [&](QObject*, const QUuid& clsid, bool& canInsert) {
        ++asked;
        canInsert = clsid == kPictureId;
    };
    control->SetText(QString());
    control->PasteFromClipboard();  // the picture: no picture class is registered, so a plain picture
    EXPECT_EQ(objectCharacters(), 0);
    EXPECT_EQ(asked, 1);
    auto* both = new QMimeData;
    both->setData(QStringLiteral("text/rtf"),
                  "{\\rtf1 " + rtfWithObject("Test.Picture") + rtfWithObject("Test.Broken") + "}");
    QApplication::clipboard()->setMimeData(both);
    control->PasteFromClipboard();
    EXPECT_EQ(asked, 3);
    EXPECT_EQ(objectCharacters(), 1);
}

TEST_F(ObjectsTest, CopyAndPasteOfAnObjectKeepItsClassAndData) {
    control->SetText(QStringLiteral("ab"));
    placeStoredObject(1, QStringLiteral("Test.Picture"), "kept");
    RichEditWindow& w = window();
    control->SetSelectionRange(1, 2, false);
    QTest::keyClick(&w, Qt::Key_C, Qt::ControlModifier);
    const QMimeData* copied = QApplication::clipboard()->mimeData();
    ASSERT_TRUE(copied->hasFormat(QLatin1String(kObjectMimeType)));
    CopiedObject object;
    ASSERT_TRUE(decodeCopiedObject(copied->data(QLatin1String(kObjectMimeType)), &object));
    EXPECT_EQ(object.className, QStringLiteral("Test.Picture"));
    EXPECT_EQ(object.data, QByteArray("kept"));

    control->SetSelectionRange(3, 3, false);
    QTest::keyClick(&w, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(objectCharacters(), 2);
    const QTextImageFormat pasted = formatAt(3);
    EXPECT_EQ(pasted.stringProperty(richformat::ObjectClass), QStringLiteral("Test.Picture"));
    EXPECT_EQ(pasted.property(richformat::ObjectData).toByteArray(), QByteArray("kept"));
    // Each is an object of its own.
    TReObject first;
    TReObject second;
    control->SetSelectionRange(1, 2, false);
    ASSERT_EQ(control->GetSelectedObject(first), S_OK);
    control->SetSelectionRange(3, 4, false);
    ASSERT_EQ(control->GetSelectedObject(second), S_OK);
    EXPECT_NE(first.poleobj, second.poleobj);
    fake(second.poleobj)->edit("changed", Qt::black);
    EXPECT_EQ(formatAt(1).property(richformat::ObjectData).toByteArray(), QByteArray("kept"));
    EXPECT_EQ(formatAt(3).property(richformat::ObjectData).toByteArray(), QByteArray("changed"));

    // Another program gets the object as RTF.
    control->SetSelectionRange(0, 2, false);
    control->CopyToClipboard();
    EXPECT_TRUE(QApplication::clipboard()->mimeData()->data(QStringLiteral("text/rtf")).startsWith("{\\rtf"));
}

TEST_F(ObjectsTest, CloseAllObjectsClosesTheLastFirstAndKeepsTheCharacters) {
    control->SetText(QStringLiteral("abc"));
    placeStoredObject(1, QStringLiteral("Test.Picture"), "one");
    placeStoredObject(3, QStringLiteral("Test.Picture"), "two");
    for (int at : {1, 3}) {
        control->SetSelectionRange(at, at + 1, false);
        ASSERT_TRUE(control->SelectedObjectPresent());
    }
    journal().events.clear();
    control->CloseAllObjects();
    EXPECT_EQ(journal().events, (QStringList{"close two", "close one"}));
    EXPECT_EQ(objectCharacters(), 2);
    // A re-created window closes them too, and makes them again when asked.
    ASSERT_TRUE(control->SelectedObjectPresent());
    journal().events.clear();
    control->RecreateWnd();
    EXPECT_EQ(journal().events, QStringList{"close two"});
    control->SetSelectionRange(1, 2, false);
    EXPECT_TRUE(control->SelectedObjectPresent());
    journal().events.clear();
    control.reset();
    EXPECT_EQ(journal().events, QStringList{"close one"});
}

TEST_F(ObjectsTest, VerbMenuOffersTheVerbsAndProperties) {
    tk::test::ScriptedMessages messages;
    QMenu popup;
    popup.addAction(QStringLiteral("잘라내기"));
    control->SetPopupMenu(&popup);
    insertPicture();
    control->SetSelectionRange(2, 3, false);
    QMenu* menu = control->GetPopupMenu();
    ASSERT_EQ(menu, &popup);
    QList<QAction*> items = popup.actions();
    ASSERT_EQ(items.size(), 4);
    EXPECT_TRUE(items[1]->isSeparator());
    EXPECT_EQ(items[2]->text(), QStringLiteral("시험 그림 등록정보(&R)"));
    QMenu* verbs = items[3]->menu();
    ASSERT_NE(verbs, nullptr);
    EXPECT_EQ(verbs->title(), QStringLiteral("시험 그림"));
    ASSERT_EQ(verbs->actions().size(), 2);  // the list stops at the first negative verb
    EXPECT_EQ(verbs->actions()[0]->text(), QStringLiteral("편집(&E)"));
    EXPECT_EQ(verbs->defaultAction(), verbs->actions()[0]);
    verbs->actions()[1]->trigger();
    EXPECT_EQ(journal().events, QStringList{"verb 1"});

    // The next request starts from the plain menu again; a text selection keeps it plain.
    control->SetSelectionRange(0, 2, false);
    EXPECT_EQ(control->GetPopupMenu(), &popup);
    EXPECT_EQ(popup.actions().size(), 1);

    // Without a popup menu the verb menu stands alone, the properties first.
    control->SetPopupMenu(nullptr);
    control->SetSelectionRange(2, 3, false);
    menu = control->GetPopupMenu();
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 3);
    EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("시험 그림 등록정보(&R)"));
    control->SetAutoVerbMenu(false);
    EXPECT_EQ(control->GetPopupMenu(), nullptr);

    // A verb that fails says so.
    control->SetAutoVerbMenu(true);
    TReObject record;
    ASSERT_EQ(control->GetSelectedObject(record), S_OK);
    fake(record.poleobj)->edit("fails", Qt::red);
    control->ExecuteVerb(1);
    ASSERT_EQ(messages.requests().size(), 1);
    EXPECT_EQ(messages.requests()[0].kind, MsgKind::Error);
}

// This was: the failure codes were positive in a 64-bit HRESULT, so succeeded() took every failure
// for success and an unregistered class looked created.
TEST(ObjectResults, FailureCodesAreFailures) {
    for (const HRESULT hr : {E_NOTIMPL, E_NOINTERFACE, E_FAIL, E_OUTOFMEMORY, E_INVALIDARG, REGDB_E_CLASSNOTREG}) {
        EXPECT_FALSE(succeeded(hr)) << std::hex << hr;
    }
    EXPECT_TRUE(succeeded(S_FALSE));
    HRESULT hr = S_OK;
    EXPECT_EQ(ObjectServers::instance().create(QStringLiteral("No.Such.Class"), &hr), nullptr);
    EXPECT_FALSE(succeeded(hr));
}

namespace {

const QUuid kImageId{QStringLiteral("{0B0C9E7A-2D4B-4F36-9D2E-5C6E1F1A0004}")};

// The picture class as the picture server offers it: filled from a file through its own interface.
class FakeImage final : public OleObject, public IQEImage {
  public:
    QString className() const override { return QLatin1String(kImageClassName); }
    QUuid classId() const override { return kImageId; }
    QString fullTypeName() const override { return QStringLiteral("그림 개체"); }
    QString shortTypeName() const override { return QStringLiteral("그림"); }
    QList<OleVerb> verbs() const override { return {}; }
    HRESULT doVerb(int, QWidget*) override { return S_OK; }
    QByteArray save() const override { return bytes_; }
    HRESULT load(const QByteArray& data) override {
        bytes_ = data;
        return image_.loadFromData(data) ? S_OK : E_FAIL;
    }
    QImage picture() const override { return image_; }
    QSize extentTwips() const override { return image_.size() * 15; }
    void* queryInterface(const QUuid& iid) override {
        return iid == IID_IQEImage ? static_cast<IQEImage*>(this) : nullptr;
    }
    HRESULT LoadFromFile(const QString& fileName) override {
        QFile file(fileName);
        return file.open(QIODevice::ReadOnly) ? load(file.readAll()) : E_FAIL;
    }
    HRESULT SetUpdating(bool) override { return S_OK; }
    HRESULT SetAutoSize(bool) override { return S_OK; }

  private:
    QByteArray bytes_;
    QImage image_;
};

}  // namespace

TEST_F(ObjectsTest, APastedPictureBecomesAPictureObjectWhenThatClassIsThere) {
    ServerClass image;
    image.name = QLatin1String(kImageClassName);
    image.classId = kImageId;
    image.create = [] { return std::make_unique<FakeImage>(); };
    ObjectServers::instance().registerClass(image);
    QList<QUuid> asked;
    control->OnQueryInsertObject = [&](QObject*, const QUuid& clsid, bool&) { asked.append(clsid); };
    QImage picture(8, 6, QImage::Format_RGB32);
    picture.fill(Qt::green);
    QApplication::clipboard()->setImage(picture);
    control->PasteFromClipboard();
    ObjectServers::instance().unregisterClass(QLatin1String(kImageClassName));
    EXPECT_EQ(asked, QList<QUuid>{kImageId});
    ASSERT_EQ(objectCharacters(), 1);
    const QTextImageFormat f = formatAt(0);
    EXPECT_EQ(f.stringProperty(richformat::ObjectClass), QLatin1String(kImageClassName));
    EXPECT_TRUE(f.property(richformat::ObjectData).toByteArray().startsWith("\x89PNG"));
    EXPECT_EQ(f.width(), 8);
    EXPECT_EQ(f.intProperty(richformat::ObjectFlags), int(REO_RESIZABLE | REO_DYNAMICSIZE));
}

TEST_F(ObjectsTest, PastedTextDoesNotArriveProtected) {
    control->SetText(QStringLiteral("open locked"));
    control->SetSelectionRange(5, 11, false);
    CharFormat2 protect;
    protect.dwMask = CFM_PROTECTED;
    protect.dwEffects = CFE_PROTECTED;
    ASSERT_TRUE(window().model().setCharFormat(SCF_SELECTION, protect));
    control->OnProtectChange = [](QObject*, int, int, bool& allow) { allow = false; };
    control->CopyToClipboard();
    control->SetSelectionRange(0, 0, false);
    control->PasteFromClipboard();
    EXPECT_EQ(control->TextRange(0, -1), QStringLiteral("lockedopen locked"));
    // The pasted copy can be edited like typed text.
    control->SetSelectionRange(0, 6, false);
    QTest::keyClick(&window(), Qt::Key_Delete);
    EXPECT_EQ(control->TextRange(0, -1), QStringLiteral("open locked"));
}

// This was: a click on a picture only put the caret beside it, so its menu never offered its verbs
// and a double click did not open it.
TEST_F(ObjectsTest, AClickSelectsAnObjectAndADoubleClickOpensIt) {
    insertPicture();
    control->SetSelectionRange(0, 0, false);
    QWidget* viewport = control->richWindow().viewport();
    QTextCursor c(&control->document());
    c.setPosition(2);
    const QRect before = control->richWindow().cursorRect(c);
    const QPoint inside(before.left() + 10, before.center().y());
    QTest::mouseClick(viewport, Qt::LeftButton, {}, inside);
    EXPECT_EQ(control->SelectionStart(), 2);
    EXPECT_EQ(control->SelectionLength(), 1);
    EXPECT_TRUE(control->SelectedObjectPresent());

    // A click on the text beside it still places the caret.
    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(before.left() + 30, before.center().y()));
    EXPECT_EQ(control->SelectionLength(), 0);

    // The right button selects it too, so that the menu that follows is the object's.
    QTest::mousePress(viewport, Qt::RightButton, {}, inside);
    QTest::mouseRelease(viewport, Qt::RightButton, {}, inside);
    EXPECT_EQ(control->SelectionLength(), 1);

    journal().events.clear();
    control->SetSelectionRange(0, 0, false);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, inside);
    EXPECT_EQ(journal().events, QStringList{"verb 0"});
    EXPECT_EQ(control->SelectionStart(), 2);
    EXPECT_EQ(control->SelectionLength(), 1);
}

// This was text typed or inserted after an object taking on the object's format: the window showed
// it as text, but it was saved as one more copy of the object per character, so a reopened entry
// held a row of objects where the user's words had been.
TEST_F(ObjectsTest, TextAfterAnObjectIsSavedAsText) {
    insertPicture(QStringLiteral("ab"), 2);
    EXPECT_EQ(control->SelectionStart(), 3);  // the caret after the new object
    control->richWindow().setFocus();
    QTest::keyClick(&control->richWindow(), Qt::Key_Return);
    QTest::keyClicks(&control->richWindow(), QStringLiteral("xy"));
    control->SetSelectedText(QStringLiteral("링크"));
    // The same after a click behind the object and through the input method.
    control->SetSelectionRange(3, 3, false);
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("한"));
    QApplication::sendEvent(&control->richWindow(), &commit);

    EXPECT_EQ(control->TextRange(0, -1),
              QStringLiteral("ab") + QChar::ObjectReplacementCharacter + QStringLiteral("한\rxy링크"));
    for (int at : {3, 5, 6, 7}) {
        EXPECT_FALSE(richformat::hasPicture(formatAt(at))) << at;
    }
    const QByteArray rtf = tk::rtf::writeRtf(control->document());
    EXPECT_EQ(rtf.count("\\object"), 1) << rtf.constData();
}

// A document whose text already carries a picture's format (saved before the fix above) is
// written with its text as text and its one object as an object.
TEST_F(ObjectsTest, TextWithAPictureFormatIsWrittenAsText) {
    QTextDocument document;
    QTextCursor c(&document);
    QTextImageFormat image;
    image.setName(QStringLiteral("p"));
    image.setWidth(10);
    image.setHeight(10);
    image.setProperty(richformat::ObjectClass, QStringLiteral("Test.Picture"));
    c.insertText(QString(QChar::ObjectReplacementCharacter) + QStringLiteral("글자"), image);
    const QByteArray rtf = tk::rtf::writeRtf(document);
    EXPECT_EQ(rtf.count("\\object"), 1) << rtf.constData();
    QTextDocument back;
    QTextCursor in(&back);
    ASSERT_EQ(tk::rtf::readRtf(rtf, in, nullptr), tk::rtf::RtfError::None);
    EXPECT_TRUE(back.toPlainText().endsWith(QStringLiteral("글자")));
}

// This was a new object inserted right after another one taking on its properties: after a linked
// object it became linked to the same file, and it carried the other object's stored group.
TEST_F(ObjectsTest, AnObjectAfterAnotherTakesNoneOfItsProperties) {
    insertPicture(QStringLiteral("ab"), 2);
    QTextCursor c(&control->document());
    c.setPosition(2);
    c.setPosition(3, QTextCursor::KeepAnchor);
    QTextImageFormat linked = formatAt(2);
    linked.setProperty(richformat::ObjectLinkSource, QStringLiteral("/tmp/elsewhere.txt"));
    linked.setProperty(richformat::ObjectRtf, QByteArray("{\\object kept}"));
    c.setCharFormat(linked);
    control->SetSelectionRange(3, 3, false);
    control->InsertObjectByClassName(QStringLiteral("Test.Picture"), 9);
    const QTextImageFormat second = formatAt(3);
    EXPECT_EQ(second.stringProperty(richformat::ObjectClass), QStringLiteral("Test.Picture"));
    EXPECT_FALSE(second.hasProperty(richformat::ObjectLinkSource));
    EXPECT_FALSE(second.hasProperty(richformat::ObjectRtf));
    control->SetSelectionRange(3, 4, false);
    TReObject record;
    ASSERT_EQ(control->GetSelectedObject(record), S_OK);
    EXPECT_EQ(record.poleobj->link(), nullptr);
}
