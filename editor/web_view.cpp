#include "editor/web_view.h"

#include "editor/local_page_policy.h"

#include "platform/message_box.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QInputDialog>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace tk {

namespace {

// Follows links inside the page's folder; a link elsewhere opens in the desktop's browser after asking.
class LocalPage final : public QWebEnginePage {
  public:
    LocalPage(QWebEngineProfile* profile, const LocalPagePolicy* policy, QObject* parent)
        : QWebEnginePage(profile, parent), policy_(policy) {}

  protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
        if (policy_->allows(url)) {
            return true;
        }
        if (type == NavigationTypeLinkClicked && isMainFrame) {
            const QString text =
                QStringLiteral("이 링크는 바깥 사이트로 연결됩니다.\n%1\n\n웹 브라우저로 여시겠습니까?")
                    .arg(url.toDisplayString());
            if (Messages::ask(QWebEngineView::forPage(this), text, QStringLiteral("링크 열기"), MsgButtons::YesNo,
                              MsgAnswer::No) == MsgAnswer::Yes) {
                QDesktopServices::openUrl(url);
            }
        }
        return false;
    }

  private:
    const LocalPagePolicy* policy_;
};

}  // namespace

WebView::WebView(QWidget* parent) : QWidget(parent) {
    layout_ = new QVBoxLayout(this);
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(0);
    ToolBar1 = new QToolBar(this);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setFixedHeight(25);
    layout_->addWidget(ToolBar1);

    ToolBar1->addSeparator();
    ToolButton1 = addButton(QStringLiteral("새로 만들기"), QStyle::SP_FileIcon);
    ToolButton2 = addButton(QStringLiteral("새 이름으로 문서 저장"), QStyle::SP_DialogSaveButton);
    ToolBar1->addSeparator();
    BackButton = addButton(QStringLiteral("뒤로"), QStyle::SP_ArrowBack);
    ForwardButton = addButton(QStringLiteral("앞으로"), QStyle::SP_ArrowForward);
    ToolButton7 = addButton(QStringLiteral("중지"), QStyle::SP_BrowserStop);
    ToolButton8 = addButton(QStringLiteral("새로 고침"), QStyle::SP_BrowserReload);
    ToolBar1->addSeparator();
    ToolButton10 = addButton(QStringLiteral("홈"), QStyle::SP_DirHomeIcon);
    ToolButton11 = addButton(QStringLiteral("검색"), QStyle::SP_FileDialogContentsView);
    layout_->addStretch(1);

    connect(BackButton, &QToolButton::clicked, this, &WebView::GoBack);
    connect(ForwardButton, &QToolButton::clicked, this, &WebView::GoForward);
    connect(ToolButton7, &QToolButton::clicked, this, &WebView::Stop);
    connect(ToolButton8, &QToolButton::clicked, this, &WebView::Refresh);
    connect(ToolButton10, &QToolButton::clicked, this, &WebView::GoHome);
    connect(ToolButton11, &QToolButton::clicked, this, &WebView::GoSearch);
    connect(this, &WebView::CommandStateChange, this, &WebView::WebBrowser1CommandStateChange);
}

WebView::~WebView() {
    // The page must go before its profile.
    delete browser_;
    browser_ = nullptr;
}

QToolButton* WebView::addButton(const QString& hint, int icon) {
    auto* button = new QToolButton(ToolBar1);
    button->setToolTip(hint);
    button->setAccessibleName(hint);
    button->setIcon(style()->standardIcon(static_cast<QStyle::StandardPixmap>(icon)));
    button->setAutoRaise(true);
    ToolBar1->addWidget(button);
    return button;
}

void WebView::ensureBrowser() {
    if (browser_) {
        return;
    }
    profile_ = new QWebEngineProfile(this);  // no storage name: off the record
    policy_ = new LocalPagePolicy(profile_);
    profile_->setUrlRequestInterceptor(policy_);
    QWebEngineSettings* settings = profile_->settings();
    settings->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    settings->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);

    browser_ = new QWebEngineView(this);
    browser_->setPage(new LocalPage(profile_, policy_, browser_));
    layout_->removeItem(layout_->itemAt(layout_->count() - 1));  // the stretch that stood for the browser
    layout_->addWidget(browser_, 1);

    QWebEnginePage* page = browser_->page();
    // The browser reports both commands after every change of its history, as the buttons need.
    const auto reportCommands = [this, page] {
        Q_EMIT CommandStateChange(NavigateForward, page->history()->canGoForward());
        Q_EMIT CommandStateChange(NavigateBack, page->history()->canGoBack());
    };
    connect(page, &QWebEnginePage::urlChanged, this, reportCommands);
    connect(page, &QWebEnginePage::loadFinished, this, reportCommands);
    connect(page, &QWebEnginePage::loadStarted, this, &WebView::DownloadBegin);
    connect(page, &QWebEnginePage::loadFinished, this, &WebView::DownloadComplete);
    connect(page, &QWebEnginePage::linkHovered, this, &WebView::StatusTextChange);
}

void WebView::WebBrowser1CommandStateChange(int command, bool enable) {
    if (command == NavigateForward) {
        ForwardButton->setEnabled(enable);
    } else if (command == NavigateBack) {
        BackButton->setEnabled(enable);
    }
}

void WebView::Navigate(const QString& path) {
    ensureBrowser();
    pagePath_ = QFileInfo(path).absoluteFilePath();
    policy_->setRoot(QFileInfo(pagePath_).absolutePath());
    browser_->load(QUrl::fromLocalFile(pagePath_));
}

void WebView::GoBack() {
    if (browser_) {
        browser_->back();
    }
}

void WebView::GoForward() {
    if (browser_) {
        browser_->forward();
    }
}

void WebView::Stop() {
    if (browser_) {
        browser_->stop();
    }
}

void WebView::Refresh() {
    if (browser_) {
        browser_->reload();
    }
}

void WebView::GoHome() {
    if (!pagePath_.isEmpty()) {
        Navigate(pagePath_);
    }
}

void WebView::GoSearch() {
    if (!browser_) {
        return;
    }
    bool ok = false;
    const QString text =
        QInputDialog::getText(this, QStringLiteral("검색"), QStringLiteral("찾을 내용:"), QLineEdit::Normal, {}, &ok);
    if (ok) {
        browser_->findText(text);
    }
}

}  // namespace tk
