#include "editor/web_view.h"

#include "editor/browser_api.h"
#include "platform/message_box.h"

#include <QInputDialog>
#include <QLabel>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace tk {
namespace {

const QString kCannotShow = QStringLiteral("웹 문서를 표시할 수 없습니다.");

QString renderEndText(RenderEnd how, int exitCode) {
    QString what;
    switch (how) {
        case RenderEnd::Crashed:
            what = QStringLiteral("렌더링 프로세스가 오류로 비정상적으로 끝났습니다.");
            break;
        case RenderEnd::Killed:
            what = QStringLiteral("렌더링 프로세스가 강제로 끝났습니다(메모리 부족일 수 있습니다).");
            break;
        case RenderEnd::Abnormal:
            what = QStringLiteral("렌더링 프로세스가 비정상적으로 끝났습니다(종료 코드 %1).").arg(exitCode);
            break;
    }
    return what + QStringLiteral(" '새로 고침'을 누르거나 문서를 다시 여십시오.");
}

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
    notice_ = new QLabel(this);
    notice_->setAlignment(Qt::AlignCenter);
    notice_->setWordWrap(true);
    notice_->setMargin(12);
    notice_->hide();
    layout_->addWidget(notice_);
    layout_->addStretch(1);

    connect(BackButton, &QToolButton::clicked, this, &WebView::GoBack);
    connect(ForwardButton, &QToolButton::clicked, this, &WebView::GoForward);
    connect(ToolButton7, &QToolButton::clicked, this, &WebView::Stop);
    connect(ToolButton8, &QToolButton::clicked, this, &WebView::Refresh);
    connect(ToolButton10, &QToolButton::clicked, this, &WebView::GoHome);
    connect(ToolButton11, &QToolButton::clicked, this, &WebView::GoSearch);
    connect(this, &WebView::CommandStateChange, this, &WebView::WebBrowser1CommandStateChange);
}

WebView::~WebView() = default;

QToolButton* WebView::addButton(const QString& hint, int icon) {
    auto* button = new QToolButton(ToolBar1);
    button->setToolTip(hint);
    button->setAccessibleName(hint);
    button->setIcon(style()->standardIcon(static_cast<QStyle::StandardPixmap>(icon)));
    button->setAutoRaise(true);
    ToolBar1->addWidget(button);
    return button;
}

bool WebView::ensureBrowser() {
    if (browser_) {
        return true;
    }
    BrowserCallbacks callbacks;
    callbacks.historyChanged = [this](bool canGoBack, bool canGoForward) {
        Q_EMIT CommandStateChange(NavigateForward, canGoForward);
        Q_EMIT CommandStateChange(NavigateBack, canGoBack);
    };
    callbacks.loadStarted = [this] { Q_EMIT DownloadBegin(); };
    callbacks.loadFinished = [this](bool) { Q_EMIT DownloadComplete(); };
    callbacks.linkHovered = [this](const QString& url) { Q_EMIT StatusTextChange(url); };
    callbacks.askExternal = [this](const QUrl& url) {
        const QString text = QStringLiteral("이 링크는 바깥 사이트로 연결됩니다.\n%1\n\n웹 브라우저로 여시겠습니까?")
                                 .arg(url.toDisplayString());
        return Messages::ask(this, text, QStringLiteral("링크 열기"), MsgButtons::YesNo, MsgAnswer::No) ==
               MsgAnswer::Yes;
    };
    // Told after the engine has finished its own handling of the dead renderer.
    callbacks.renderProcessEnded = [this](RenderEnd how, int exitCode) {
        QMetaObject::invokeMethod(
            this, [this, how, exitCode] { showUnavailable(renderEndText(how, exitCode)); }, Qt::QueuedConnection);
    };
    QString reason;
    browser_.reset(createBrowser(this, callbacks, &reason));
    if (!browser_) {
        notice_->setText(kCannotShow + u'\n' + reason);
        notice_->show();
        showUnavailable(reason);
        return false;
    }
    notice_->hide();
    delete layout_->takeAt(layout_->count() - 1);  // the stretch that stood for the browser
    layout_->addWidget(browser_->widget(), 1);
    return true;
}

void WebView::showUnavailable(const QString& reason) {
    Messages::show(window(), kCannotShow + u'\n' + reason, MsgKind::Error);
}

QWidget* WebView::WebBrowser1() const {
    return browser_ ? browser_->widget() : nullptr;
}

QString WebView::title() const {
    return browser_ ? browser_->title() : QString();
}

void WebView::WebBrowser1CommandStateChange(int command, bool enable) {
    if (command == NavigateForward) {
        ForwardButton->setEnabled(enable);
    } else if (command == NavigateBack) {
        BackButton->setEnabled(enable);
    }
}

void WebView::Navigate(const QString& path) {
    pagePath_ = path;
    if (ensureBrowser()) {
        browser_->navigate(path);
    }
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
