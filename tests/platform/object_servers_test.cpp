// The registry of object servers and opening files with the desktop's programs.
#include "platform/ole_objects.h"
#include "platform/shell_open.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tk {
namespace {

using namespace tk::ole;

class FakeObject : public OleObject {
  public:
    explicit FakeObject(QString name) : name_(std::move(name)) {}
    QString className() const override { return name_; }
    QUuid classId() const override { return {}; }
    QString fullTypeName() const override { return name_; }
    QString shortTypeName() const override { return name_; }
    QList<OleVerb> verbs() const override { return {}; }
    HRESULT doVerb(int, QWidget*) override { return S_OK; }
    QByteArray save() const override { return {}; }
    HRESULT load(const QByteArray&) override { return S_OK; }
    QImage picture() const override { return {}; }
    QSize extentTwips() const override { return {}; }

  private:
    QString name_;
};

ServerClass fakeClass(const QString& name, const QUuid& id) {
    ServerClass c;
    c.name = name;
    c.classId = id;
    c.create = [name] { return std::make_unique<FakeObject>(name); };
    return c;
}

// Classes are found by name without regard to case or by their braced identifier, a class
// registered again replaces the old one, and unknown names give the not-registered code.
TEST(ObjectServers, FindsClassesByNameOrIdentifierAndReplacesOnReregistration) {
    ObjectServers servers;
    const QUuid id = QUuid::createUuid();
    servers.registerClass(fakeClass(QStringLiteral("Test.Thing"), id));
    servers.registerClass(fakeClass(QStringLiteral("TEST.THING"), id));
    ASSERT_EQ(servers.classes().size(), 1u);
    EXPECT_EQ(servers.find(QStringLiteral("test.thing"))->name, QStringLiteral("TEST.THING"));
    EXPECT_NE(servers.find(id.toString()), nullptr);
    // An identifier without braces is a name, as the designed conversion treats it.
    EXPECT_EQ(servers.find(id.toString(QUuid::WithoutBraces)), nullptr);

    HRESULT hr = S_OK;
    EXPECT_NE(servers.create(QStringLiteral("Test.Thing"), &hr), nullptr);
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(servers.create(QStringLiteral("No.Such"), &hr), nullptr);
    EXPECT_EQ(hr, REGDB_E_CLASSNOTREG);
    // Without a package class nothing can be made from a file.
    EXPECT_EQ(servers.createFromFile(QStringLiteral("/etc/hostname"), &hr), nullptr);
    EXPECT_EQ(hr, REGDB_E_CLASSNOTREG);

    servers.unregisterClass(QStringLiteral("test.THING"));
    EXPECT_TRUE(servers.classes().empty());
}

// A package class that returns nothing without saying why still reports a failure.
TEST(ObjectServers, APackageThatMakesNothingIsAFailure) {
    ObjectServers servers;
    ServerClass package = fakeClass(QLatin1String(kPackageClassName), QUuid::createUuid());
    package.createFromFile = [](const QString&, HRESULT*) { return std::unique_ptr<OleObject>(); };
    servers.registerClass(package);
    HRESULT hr = S_OK;
    EXPECT_EQ(servers.createFromFile(QStringLiteral("x"), &hr), nullptr);
    EXPECT_FALSE(succeeded(hr));
}

// Documents open straight away; anything that would run a program asks first, and "no" launches
// nothing.
TEST(ShellOpen, ProgramsAskFirstAndDocumentsOpenDirectly) {
    QTemporaryDir dir;
    const QString document = dir.filePath(QStringLiteral("메모.txt"));
    const QString script = dir.filePath(QStringLiteral("run.sh"));
    const QString launcher = dir.filePath(QStringLiteral("app.desktop"));
    const QString executable = dir.filePath(QStringLiteral("tool"));
    for (const QString& path : {document, script, launcher, executable}) {
        test::writeFile(path, "x");
    }
    QFile::setPermissions(executable, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_FALSE(opensAsProgram(document));
    EXPECT_FALSE(opensAsProgram(dir.path()));
    EXPECT_TRUE(opensAsProgram(script));
    EXPECT_TRUE(opensAsProgram(launcher));
    EXPECT_TRUE(opensAsProgram(executable));

    QList<QUrl> launched;
    setShellLauncher([&](const QUrl& url) {
        launched.append(url);
        return true;
    });
    test::ScriptedMessages messages;
    EXPECT_TRUE(shellOpenFile(nullptr, document));
    EXPECT_TRUE(messages.requests().isEmpty());

    messages.queue(MsgAnswer::No);
    EXPECT_FALSE(shellOpenFile(nullptr, script));
    ASSERT_EQ(messages.requests().size(), 1);
    EXPECT_TRUE(messages.requests().at(0).text.contains(QStringLiteral("run.sh")));
    EXPECT_EQ(messages.requests().at(0).defaultAnswer, MsgAnswer::No);

    messages.queue(MsgAnswer::Yes);
    EXPECT_TRUE(shellOpenFile(nullptr, executable));
    setShellLauncher({});
    ASSERT_EQ(launched.size(), 2);
    EXPECT_EQ(launched.at(0), QUrl::fromLocalFile(document));
    EXPECT_EQ(launched.at(1), QUrl::fromLocalFile(executable));
}

}  // namespace
}  // namespace tk
