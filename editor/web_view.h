#pragma once

#include <QUrl>
#include <QWidget>

class QToolBar;
class QToolButton;
class QVBoxLayout;
class QWebEngineProfile;
class QWebEngineView;

namespace tk {

class LocalPagePolicy;

// The web view of the editor: a saved page shown read-only, with navigation. The browser is
// created the first time a page is shown, so start-up and memory do not pay for it. Pages come
// from the local disk only: requests outside the page's own folder and remote requests are
// blocked, scripts and plugins are off, and links to other sites open, after asking, in the
// desktop's browser.
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
    QWebEngineView* WebBrowser1() const { return browser_; }
    QString pagePath() const { return pagePath_; }

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
    void ensureBrowser();
    void WebBrowser1CommandStateChange(int command, bool enable);

    QVBoxLayout* layout_;
    QWebEngineProfile* profile_ = nullptr;
    LocalPagePolicy* policy_ = nullptr;
    QWebEngineView* browser_ = nullptr;
    QString pagePath_;
};

}  // namespace tk
