#pragma once

#include <QUrl>
#include <QWidget>

#include <memory>

class QLabel;
class QToolBar;
class QToolButton;
class QVBoxLayout;

namespace tk {

class BrowserApi;

// The web view of the editor: a saved page shown read-only, with navigation. The browser is
// created the first time a page is shown, so start-up and memory do not pay for it. Pages come
// from the local disk only: requests outside the page's own folder and remote requests are
// blocked, scripts and plugins are off, and links to other sites open, after asking, in the
// desktop's browser. When the web engine cannot start, or a page's renderer dies, the view says
// so and the program goes on.
class WebView final : public QWidget {
    Q_OBJECT

  public:
    // The browser's command identifiers in command-state changes.
    enum Command { NavigateForward = 1, NavigateBack = 2 };

    explicit WebView(QWidget* parent = nullptr);
    ~WebView() override;

    // Shows the local page at path; its folder bounds what the page may load.
    void Navigate(const QString& path);
    void GoBack();
    void GoForward();
    void Stop();
    void Refresh();
    // Home is the page last navigated to by the program.
    void GoHome();
    // Search asks for a text and finds it in the page.
    void GoSearch();

    bool hasBrowser() const { return browser_ != nullptr; }
    // The browser widget, once a page has been shown.
    QWidget* WebBrowser1() const;
    // The title of the page shown.
    QString title() const;
    QString pagePath() const { return pagePath_; }
    // The note shown in place of the page when the browser could not be created.
    const QLabel* notice() const { return notice_; }

    QToolBar* ToolBar1;
    QToolButton* ToolButton1;  // new document
    QToolButton* ToolButton2;  // save under a new name
    QToolButton* BackButton;
    QToolButton* ForwardButton;
    QToolButton* ToolButton7;   // stop
    QToolButton* ToolButton8;   // refresh
    QToolButton* ToolButton10;  // home
    QToolButton* ToolButton11;  // search

  Q_SIGNALS:
    void CommandStateChange(int command, bool enable);
    void DownloadBegin();
    void DownloadComplete();
    void StatusTextChange(const QString& text);

  private:
    QToolButton* addButton(const QString& hint, int icon);
    [[nodiscard]] bool ensureBrowser();
    void showUnavailable(const QString& reason);
    void WebBrowser1CommandStateChange(int command, bool enable);

    QVBoxLayout* layout_;
    QLabel* notice_;
    std::unique_ptr<BrowserApi> browser_;
    QString pagePath_;
};

}  // namespace tk
