#include "editor/web_view.h"
#include "editor/browser/local_page_policy.h"
#include "test_support.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace tk;

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
