#include "editor/web_engine_gate.h"
#include "test_support.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tk;

namespace {

const QString kRootReason = QStringLiteral(
    "관리자(root) 권한으로 실행 중이어서 웹 엔진이 보안 격리(샌드박스) 속에서 시작할 수 없습니다. 일반 사용자 계정으로 "
    "프로그램을 다시 실행하십시오.");

QProcessEnvironment environment(std::initializer_list<std::pair<const char*, const char*>> variables) {
    QProcessEnvironment env;
    env.insert("PATH", "/usr/bin");
    for (const auto& [name, value] : variables) {
        env.insert(QString::fromUtf8(name), QString::fromUtf8(value));
    }
    return env;
}

// An installed engine: its helper program in one folder, its resource pack in another.
struct FakeInstall {
    QTemporaryDir dir;

    FakeInstall() {
        tk::test::writeFile(dir.filePath("libexec/QtWebEngineProcess"), "helper");
        tk::test::writeFile(dir.filePath("data/resources/qtwebengine_resources.pak"), "pack");
    }

    WebEngineStart start(uid_t uid, const QProcessEnvironment& env = environment({})) const {
        WebEngineStart start;
        start.uid = uid;
        start.environment = env;
        start.arguments = {"/opt/tomekeep/tomekeep"};
        start.helperFolders = {dir.filePath("libexec"), dir.filePath("bin"), dir.filePath("app")};
        start.resourceFolders = {dir.filePath("data/resources"), dir.filePath("data"), dir.filePath("app")};
        return start;
    }
};

}  // namespace

TEST(WebEngineGate, RootNeedsTheSandboxTurnedOffByTheUser) {
    FakeInstall install;
    // This was the end of the whole program: the engine refused root with its sandbox on and exited.
    const WebEngineVerdict root = decideWebEngine(install.start(0));
    EXPECT_EQ(root.block, WebEngineBlock::SandboxAsRoot);
    EXPECT_EQ(root.reason, kRootReason);

    EXPECT_TRUE(decideWebEngine(install.start(1000)).canStart());
    EXPECT_TRUE(decideWebEngine(install.start(0, environment({{"QTWEBENGINE_DISABLE_SANDBOX", "1"}}))).canStart());
    // The engine looks only at whether the variable is there, not at its value.
    EXPECT_TRUE(decideWebEngine(install.start(0, environment({{"QTWEBENGINE_DISABLE_SANDBOX", ""}}))).canStart());
}

TEST(WebEngineGate, NoSandboxCountsOnlyWhereTheEngineReadsIt) {
    const QString program = "/opt/tomekeep/tomekeep";
    const auto flags = [](const char* value) { return environment({{"QTWEBENGINE_CHROMIUM_FLAGS", value}}); };
    const QProcessEnvironment none = environment({});

    EXPECT_TRUE(sandboxTurnedOff(flags("--no-sandbox"), {program}));
    EXPECT_TRUE(sandboxTurnedOff(flags("--disable-gpu  -no-sandbox"), {program}));
    EXPECT_TRUE(sandboxTurnedOff(flags("\"--no-sandbox\""), {program}));
    EXPECT_TRUE(sandboxTurnedOff(flags("--no-sandbox=1"), {program}));
    EXPECT_FALSE(sandboxTurnedOff(flags("--disable-gpu"), {program}));
    EXPECT_FALSE(sandboxTurnedOff(flags("--NO-SANDBOX"), {program}));
    EXPECT_FALSE(sandboxTurnedOff(flags("--no-sandboxes"), {program}));
    EXPECT_FALSE(sandboxTurnedOff(flags("no-sandbox"), {program}));
    EXPECT_FALSE(sandboxTurnedOff(flags("-- --no-sandbox"), {program}));
    EXPECT_FALSE(sandboxTurnedOff(flags("\"--no-sandbox --x\""), {program}));

    // The engine passes on only the application's arguments after its marker.
    EXPECT_TRUE(sandboxTurnedOff(none, {program, "--webEngineArgs", "--no-sandbox"}));
    EXPECT_TRUE(sandboxTurnedOff(none, {program, "page.htm", "--webEngineArgs", "--disable-gpu", "--no-sandbox"}));
    EXPECT_FALSE(sandboxTurnedOff(none, {program, "--no-sandbox"}));
    EXPECT_FALSE(sandboxTurnedOff(none, {program, "--no-sandbox", "--webEngineArgs"}));
    EXPECT_FALSE(sandboxTurnedOff(none, {program, "--webengineargs", "--no-sandbox"}));
    // The flags variable, when set, replaces the arguments altogether.
    EXPECT_FALSE(sandboxTurnedOff(flags("--disable-gpu"), {program, "--webEngineArgs", "--no-sandbox"}));
    EXPECT_FALSE(sandboxTurnedOff(none, {program}));

    FakeInstall install;
    WebEngineStart start = install.start(0);
    start.arguments = {program, "--webEngineArgs", "--no-sandbox"};
    EXPECT_TRUE(decideWebEngine(start).canStart());
    start.arguments = {program, "--no-sandbox"};
    EXPECT_EQ(decideWebEngine(start).block, WebEngineBlock::SandboxAsRoot);
}

TEST(WebEngineGate, MissingHelperProgram) {
    FakeInstall install;
    ASSERT_TRUE(QFile::remove(install.dir.filePath("libexec/QtWebEngineProcess")));
    // This was the end of the whole program: the engine found no helper program and aborted.
    const WebEngineVerdict missing = decideWebEngine(install.start(1000));
    EXPECT_EQ(missing.block, WebEngineBlock::HelperMissing);
    EXPECT_EQ(
        missing.reason,
        "웹 엔진의 보조 프로그램(QtWebEngineProcess)을 찾을 수 없습니다. libqt6webenginecore6-bin 패키지를 설치한 "
        "뒤 문서를 다시 여십시오.");

    // Any folder of the engine's search will do.
    tk::test::writeFile(install.dir.filePath("app/QtWebEngineProcess"), "helper");
    EXPECT_TRUE(decideWebEngine(install.start(1000)).canStart());

    // A path in the environment replaces the search, and the message points at it.
    const QString elsewhere = install.dir.filePath("nowhere/QtWebEngineProcess");
    const WebEngineVerdict overridden =
        decideWebEngine(install.start(1000, environment({{"QTWEBENGINEPROCESS_PATH", qPrintable(elsewhere)}})));
    EXPECT_EQ(overridden.block, WebEngineBlock::HelperMissing);
    EXPECT_TRUE(overridden.reason.endsWith(
        QStringLiteral(" 환경 변수 QTWEBENGINEPROCESS_PATH에 적힌 경로(%1)도 확인하십시오.").arg(elsewhere)))
        << overridden.reason.toStdString();
}

TEST(WebEngineGate, MissingResourcePack) {
    FakeInstall install;
    ASSERT_TRUE(QFile::remove(install.dir.filePath("data/resources/qtwebengine_resources.pak")));
    // This was the end of the whole program: the engine found no resource pack and aborted.
    const WebEngineVerdict missing = decideWebEngine(install.start(1000));
    EXPECT_EQ(missing.block, WebEngineBlock::ResourcesMissing);
    EXPECT_EQ(
        missing.reason,
        "웹 엔진의 자원 파일(qtwebengine_resources.pak)을 찾을 수 없습니다. libqt6webengine6-data 패키지를 설치한 "
        "뒤 문서를 다시 여십시오.");

    QTemporaryDir own;
    tk::test::writeFile(own.filePath("qtwebengine_resources.pak"), "pack");
    EXPECT_TRUE(
        decideWebEngine(install.start(1000, environment({{"QTWEBENGINE_RESOURCES_PATH", qPrintable(own.path())}})))
            .canStart());
    // With the pack in its usual place, a folder in the environment without it still stops the engine.
    tk::test::writeFile(install.dir.filePath("data/qtwebengine_resources.pak"), "pack");
    EXPECT_TRUE(decideWebEngine(install.start(1000)).canStart());
    QTemporaryDir empty;
    EXPECT_EQ(
        decideWebEngine(install.start(1000, environment({{"QTWEBENGINE_RESOURCES_PATH", qPrintable(empty.path())}})))
            .block,
        WebEngineBlock::ResourcesMissing);
}

TEST(WebEngineGate, TheSandboxIsAskedBeforeTheInstall) {
    // Root with nothing installed is told about root first: installing would not help.
    QTemporaryDir nothing;
    WebEngineStart start;
    start.uid = 0;
    start.environment = environment({});
    start.arguments = {"tomekeep"};
    start.helperFolders = {nothing.path()};
    start.resourceFolders = {nothing.path()};
    EXPECT_EQ(decideWebEngine(start).block, WebEngineBlock::SandboxAsRoot);
    start.uid = 1000;
    EXPECT_EQ(decideWebEngine(start).block, WebEngineBlock::HelperMissing);
}
