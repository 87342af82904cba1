#pragma once

#include "platform/ole_objects.h"
#include "richedit/qe_rich_edit.h"
#include "richtext/rich_edit_window.h"
#include "richtext/rich_format.h"
#include "test_support.h"

#include <QApplication>
#include <QColor>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

// Object servers for the tests: a picture class with two verbs on the menu, one that fails to load
// any stored data, and a package class that embeds files.
namespace objtest {

using namespace tk;
using namespace tk::ole;

// What the fake objects were asked to do, in order.
struct Journal {
    int created = 0;
    QStringList events;  // "verb <n>", "close <data>", "load <data>"
};
inline Journal& journal() {
    static Journal j;
    return j;
}

inline const QUuid kPictureId{QStringLiteral("{0B0C9E7A-2D4B-4F36-9D2E-5C6E1F1A0001}")};
inline const QUuid kBrokenId{QStringLiteral("{0B0C9E7A-2D4B-4F36-9D2E-5C6E1F1A0002}")};
inline const QUuid kPackageId{QStringLiteral("{0B0C9E7A-2D4B-4F36-9D2E-5C6E1F1A0003}")};

class FakeObject final : public OleObject {
  public:
    FakeObject(QString name, QUuid id, QColor color, bool failLoad)
        : name_(std::move(name)), id_(id), color_(color), failLoad_(failLoad) {
        ++journal().created;
    }
    QString className() const override { return name_; }
    QUuid classId() const override { return id_; }
    QString fullTypeName() const override { return QStringLiteral("시험 그림"); }
    QString shortTypeName() const override { return QStringLiteral("그림"); }
    QList<OleVerb> verbs() const override {
        return {{0, QStringLiteral("편집(&E)")},
                {1, QStringLiteral("재생(&P)")},
                {-3, QStringLiteral("숨기기")},
                {2, QStringLiteral("뒤의 동작")}};
    }
    HRESULT doVerb(int verb, QWidget*) override {
        journal().events << QStringLiteral("verb %1").arg(verb);
        if (verb == OLEIVERB_SHOW && name_ == QStringLiteral("Test.Cancelled")) {
            return S_FALSE;  // a new object the user left empty
        }
        return verb == 1 && data_ == "fails" ? E_FAIL : S_OK;
    }
    QByteArray save() const override { return data_; }
    HRESULT load(const QByteArray& data) override {
        journal().events << QStringLiteral("load ") + QString::fromLatin1(data);
        if (failLoad_) {
            return E_FAIL;
        }
        data_ = data;
        return S_OK;
    }
    QImage picture() const override {
        QImage image(20, 10, QImage::Format_RGB32);
        image.fill(color_);
        return image;
    }
    QSize extentTwips() const override { return {600, 300}; }
    void close() override { journal().events << QStringLiteral("close ") + QString::fromLatin1(data_); }

    // The object's own window changed it.
    void edit(const QByteArray& data, QColor color) {
        data_ = data;
        color_ = color;
        if (changed) {
            changed();
        }
    }

  private:
    QString name_;
    QUuid id_;
    QColor color_;
    bool failLoad_;
    QByteArray data_;
};

inline FakeObject* fake(OleObject* object) {
    return dynamic_cast<FakeObject*>(object);
}

class ObjectsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        journal() = Journal();
        ServerClass picture;
        picture.name = QStringLiteral("Test.Picture");
        picture.classId = kPictureId;
        picture.fullTypeName = QStringLiteral("시험 그림");
        picture.shortTypeName = QStringLiteral("그림");
        picture.create = [] { return std::make_unique<FakeObject>("Test.Picture", kPictureId, Qt::red, false); };
        ObjectServers::instance().registerClass(picture);
        ServerClass broken = picture;
        broken.name = QStringLiteral("Test.Broken");
        broken.classId = kBrokenId;
        broken.fullTypeName = QStringLiteral("깨진 개체");
        broken.create = [] { return std::make_unique<FakeObject>("Test.Broken", kBrokenId, Qt::blue, true); };
        ObjectServers::instance().registerClass(broken);
        ServerClass package;
        package.name = QLatin1String(kPackageClassName);
        package.classId = kPackageId;
        package.fullTypeName = QStringLiteral("패키지");
        package.insertable = false;
        package.create = [] { return std::make_unique<FakeObject>(kPackageClassName, kPackageId, Qt::green, false); };
        package.createFromFile = [](const QString& path, HRESULT* hr) -> std::unique_ptr<OleObject> {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly)) {
                *hr = E_FAIL;
                return nullptr;
            }
            auto object = std::make_unique<FakeObject>(kPackageClassName, kPackageId, Qt::green, false);
            (void)object->load(file.readAll());
            return object;
        };
        ObjectServers::instance().registerClass(package);

        control = std::make_unique<TQE_RichEdit>();
        control->resize(400, 200);
        control->show();
        control->HandleNeeded();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(control.get()));
    }
    void TearDown() override {
        control.reset();
        for (const char* name : {"Test.Picture", "Test.Broken", kPackageClassName}) {
            ObjectServers::instance().unregisterClass(QLatin1String(name));
        }
    }

    richedit::RichEditWindow& window() { return control->richWindow(); }
    QTextImageFormat formatAt(int cp) {
        QTextCursor c(&control->document());
        c.setPosition(cp + 1);
        return c.charFormat().toImageFormat();
    }
    int objectCharacters() { return static_cast<int>(control->Text().count(QChar::ObjectReplacementCharacter)); }
    // "ab" + a picture object + "cd", with nothing selected after it.
    void insertPicture(const QString& around = QStringLiteral("abcd"), int at = 2, unsigned flags = 9) {
        control->SetText(around);
        control->SetSelectionRange(at, at, false);
        control->InsertObjectByClassName(QStringLiteral("Test.Picture"), flags);
    }
    // A character as a document read from a file holds it: class, stored data and the group read.
    void placeStoredObject(int at, const QString& className, const QByteArray& data) {
        QTextCursor c(&control->document());
        c.setPosition(at);
        QTextImageFormat f;
        f.setName(QStringLiteral("stored"));
        f.setWidth(30);
        f.setHeight(20);
        f.setProperty(richformat::ObjectClass, className);
        f.setProperty(richformat::ObjectData, data);
        f.setProperty(richformat::ObjectRtf, QByteArray("{\\object}"));
        c.insertImage(f);
    }
    // Runs f on the modal dialog of type T once it is shown.
    template <typename T, typename F>
    static void whenShown(F f) {
        QTimer::singleShot(0, [f] {
            T* dialog = nullptr;
            tk::test::waitFor(
                [&] { return (dialog = qobject_cast<T*>(QApplication::activeModalWidget())) != nullptr; });
            ASSERT_NE(dialog, nullptr);
            // Clicks go through the window: its children have to be where they are shown.
            EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog));
            f(dialog);
        });
    }

    std::unique_ptr<TQE_RichEdit> control;
};

}  // namespace objtest
