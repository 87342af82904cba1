#include "editor/web_view.h"
#include "editor/browser/local_page_policy.h"
#include "editor/browser_api.h"
#include "editor/web_engine_gate.h"
#include "test_support.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <optional>

#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace tk;

namespace {

const QString kCannotShow = QStringLiteral("웹 문서를 표시할 수 없습니다.\n");

// Sets or clears one environment variable for the life of a test and puts the old value back.
class ScopedEnv final {
  public:
    ScopedEnv(const char* name, const std::optional<QByteArray>& value) : name_(name) {
        if (qEnvironmentVariableIsSet(name)) {
            old_ = qgetenv(name);
        }
        if (value) {
            qputenv(name, *value);
        } else {
            qunsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (old_) {
            qputenv(name_, *old_);
        } else {
            qunsetenv(name_);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* name_;
    std::optional<QByteArray> old_;
};

QString writePage(const QTemporaryDir& dir, const QString& name, const QString& title) {
    const QString path = dir.filePath(name);
    tk::test::writeFile(
        path, QStringLiteral("<html><head><title>%1</title></head><body>%1</body></html>").arg(title).toUtf8());
    return path;
}

// Why the web engine cannot start in this test's environment; empty when it can.
std::string engineBlocked() {
    return decideWebEngine(WebEngineStart::current()).reason.toStdString();
}

}  // namespace

TEST(LocalPagePolicy, OnlyThePagesOwnFolder) {
    LocalPagePolicy policy;
    EXPECT_FALSE(policy.allows(QUrl::fromLocalFile("/tmp/page.htm")));  // no page yet
    policy.setRoot("/home/me/TEMP/");
    EXPECT_TRUE(policy.allows(QUrl::fromLocalFile("/home/me/TEMP/page.htm")));
    EXPECT_TRUE(policy.allows(QUrl::fromLocalFile("/home/me/TEMP/page_files/a.png")));
    EXPECT_TRUE(policy.allows(QUrl("data:image/png;base64,AAAA")));
    EXPECT_FALSE(policy.allows(QUrl::fromLocalFile("/home/me/TEMP/../LIST/x.zip")));
    EXPECT_FALSE(policy.allows(QUrl::fromLocalFile("/home/me/TEMPEST/a.png")));
    EXPECT_FALSE(policy.allows(QUrl::fromLocalFile("/etc/passwd")));
    EXPECT_FALSE(policy.allows(QUrl("https://example.org/track.gif")));
    EXPECT_FALSE(policy.allows(QUrl("ftp://example.org/x")));
}

TEST(WebView, ShowsALocalPageAndFollowsItsHistory) {
    if (!engineBlocked().empty()) {
        GTEST_SKIP() << "the web engine cannot start here: " << engineBlocked();
    }
    QTemporaryDir dir;
    tk::test::writeFile(dir.filePath("one.htm"), "<html><head><title>one</title></head><body>first</body></html>");
    tk::test::writeFile(dir.filePath("two.htm"), "<html><head><title>two</title></head><body>second</body></html>");
    WebView view;
    view.resize(400, 300);
    view.show();
    EXPECT_FALSE(view.hasBrowser());  // nothing is paid for until a page is shown
    QSignalSpy begin(&view, &WebView::DownloadBegin);
    QSignalSpy complete(&view, &WebView::DownloadComplete);
    view.Navigate(dir.filePath("one.htm"));
    ASSERT_TRUE(complete.wait(30000));
    EXPECT_GE(begin.count(), 1);
    EXPECT_EQ(view.title(), "one");

    view.Navigate(dir.filePath("two.htm"));
    ASSERT_TRUE(complete.wait(30000));
    EXPECT_EQ(view.title(), "two");
    EXPECT_TRUE(tk::test::waitFor([&] { return view.BackButton->isEnabled(); }));
    EXPECT_FALSE(view.ForwardButton->isEnabled());
    view.GoBack();
    ASSERT_TRUE(complete.wait(30000));
    EXPECT_EQ(view.title(), "one");
    EXPECT_TRUE(tk::test::waitFor([&] { return view.ForwardButton->isEnabled(); }));
    // Home is the page the program showed last.
    view.GoHome();
    ASSERT_TRUE(complete.wait(30000));
    EXPECT_EQ(view.title(), "two");
}

TEST(BrowserLoader, AMissingOrForeignLibraryIsRefusedWithAReason) {
    QTemporaryDir dir;
    QWidget parent;
    QString error;
    const QString missing = dir.filePath("libtkbrowser.so");
    EXPECT_EQ(createBrowserFrom(missing, &parent, {}, &error), nullptr);
    EXPECT_EQ(
        error,
        QStringLiteral("웹 보기 라이브러리(%1)를 불러올 수 없습니다. 프로그램을 다시 설치하십시오.").arg(missing));
    // A library without the browser's entry points.
    EXPECT_EQ(createBrowserFrom("libz.so.1", &parent, {}, &error), nullptr);
    EXPECT_EQ(error, "웹 보기 라이브러리(libz.so.1)가 이 프로그램과 맞지 않습니다. 프로그램을 다시 설치하십시오.");
}

TEST(WebViewUnavailable, AnEngineThatCannotStartLeavesAMessageNotACrash) {
    // This was the end of the whole program: the engine found no resource pack and aborted.
    QTemporaryDir dir;
    const QString page = writePage(dir, "page.htm", "page");
    tk::test::ScriptedMessages messages;
    WebView view;
    view.resize(400, 300);
    view.show();
    QString expected;
    {
        QTemporaryDir empty;
        ScopedEnv resources("QTWEBENGINE_RESOURCES_PATH", empty.path().toUtf8());
        const WebEngineVerdict verdict = decideWebEngine(WebEngineStart::current());
        ASSERT_FALSE(verdict.canStart());
        expected = kCannotShow + verdict.reason;
        view.Navigate(page);
        ASSERT_EQ(messages.texts(), QStringList{expected});
        EXPECT_EQ(messages.requests()[0].kind, MsgKind::Error);
        EXPECT_FALSE(view.hasBrowser());
        EXPECT_EQ(view.WebBrowser1(), nullptr);
        EXPECT_TRUE(view.notice()->isVisible());
        EXPECT_EQ(view.notice()->text(), expected);

        // Asked again, the view answers the same way; the navigation buttons have nothing to act on.
        view.Navigate(page);
        EXPECT_EQ(messages.texts(), QStringList({expected, expected}));
        QTest::mouseClick(view.ToolButton8, Qt::LeftButton);
        QTest::mouseClick(view.BackButton, Qt::LeftButton);
        EXPECT_EQ(messages.texts().size(), 2);
        QTest::mouseClick(view.ToolButton10, Qt::LeftButton);  // home shows the page again
        EXPECT_EQ(messages.texts().size(), 3);
        EXPECT_FALSE(view.hasBrowser());
    }

    // Once the engine can start, the same view shows the page.
    if (!engineBlocked().empty()) {
        GTEST_SKIP() << "the web engine cannot start here: " << engineBlocked();
    }
    QSignalSpy complete(&view, &WebView::DownloadComplete);
    view.Navigate(page);
    ASSERT_TRUE(complete.wait(30000));
    EXPECT_EQ(view.title(), "page");
    EXPECT_FALSE(view.notice()->isVisible());
    EXPECT_EQ(messages.texts().size(), 3);
}

TEST(WebViewUnavailable, RootWithTheSandboxOnIsToldToRunAsAnOrdinaryUser) {
    // This was the end of the whole program: the engine refused root with its sandbox on and exited.
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only a process running as root meets the engine's refusal";
    }
    ScopedEnv sandbox("QTWEBENGINE_DISABLE_SANDBOX", std::nullopt);
    ScopedEnv flags("QTWEBENGINE_CHROMIUM_FLAGS", std::nullopt);
    QTemporaryDir dir;
    const QString page = writePage(dir, "page.htm", "page");
    tk::test::ScriptedMessages messages;
    WebView view;
    view.show();
    view.Navigate(page);
    ASSERT_EQ(messages.texts().size(), 1);
    EXPECT_EQ(messages.texts()[0], kCannotShow +
                                       "관리자(root) 권한으로 실행 중이어서 웹 엔진이 보안 격리(샌드박스) 속에서 "
                                       "시작할 수 없습니다. 일반 사용자 계정으로 프로그램을 다시 실행하십시오.");
    EXPECT_FALSE(view.hasBrowser());
}

TEST(WebViewUnavailable, AKilledRenderProcessIsReportedAndThePageShowsAgain) {
    if (!engineBlocked().empty()) {
        GTEST_SKIP() << "the web engine cannot start here: " << engineBlocked();
    }
    QTemporaryDir dir;
    const QString page = writePage(dir, "page.htm", "page");
    tk::test::ScriptedMessages messages;
    WebView view;
    view.resize(400, 300);
    view.show();
    QSignalSpy complete(&view, &WebView::DownloadComplete);
    view.Navigate(page);
    ASSERT_TRUE(complete.wait(30000));
    auto* web = qobject_cast<QWebEngineView*>(view.WebBrowser1());
    ASSERT_NE(web, nullptr);
    const qint64 pid = web->page()->renderProcessPid();
    ASSERT_GT(pid, 0);
    ASSERT_EQ(::kill(static_cast<pid_t>(pid), SIGKILL), 0);

    // This was silence: the page went blank and nothing said why.
    ASSERT_TRUE(tk::test::waitFor([&] { return !messages.texts().isEmpty(); }, 15000));
    EXPECT_EQ(messages.texts(),
              QStringList{kCannotShow + "렌더링 프로세스가 강제로 끝났습니다(메모리 부족일 수 있습니다). "
                                        "'새로 고침'을 누르거나 문서를 다시 여십시오."});
    EXPECT_EQ(messages.requests()[0].kind, MsgKind::Error);

    // Refresh brings the page back in a new render process.
    complete.clear();
    QTest::mouseClick(view.ToolButton8, Qt::LeftButton);
    ASSERT_TRUE(complete.wait(30000));
    EXPECT_EQ(view.title(), "page");
    EXPECT_NE(web->page()->renderProcessPid(), pid);
    EXPECT_EQ(messages.texts().size(), 1);
}
