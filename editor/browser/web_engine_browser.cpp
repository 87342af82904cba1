// The browser library: a web engine view in an off-the-record profile that shows local pages only.
#include "editor/browser/local_page_policy.h"
#include "editor/browser_api.h"

#include <QDesktopServices>
#include <QFileInfo>
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
    LocalPage(QWebEngineProfile* profile, const LocalPagePolicy* policy, const BrowserCallbacks* callbacks,
              QObject* parent)
        : QWebEnginePage(profile, parent), policy_(policy), callbacks_(callbacks) {}

  protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
        if (policy_->allows(url)) {
            return true;
        }
        if (type == NavigationTypeLinkClicked && isMainFrame && callbacks_->askExternal &&
            callbacks_->askExternal(url)) {
            QDesktopServices::openUrl(url);
        }
        return false;
    }

  private:
    const LocalPagePolicy* policy_;
    const BrowserCallbacks* callbacks_;
};

RenderEnd renderEnd(QWebEnginePage::RenderProcessTerminationStatus status) {
    switch (status) {
        case QWebEnginePage::CrashedTerminationStatus:
            return RenderEnd::Crashed;
        case QWebEnginePage::KilledTerminationStatus:
            return RenderEnd::Killed;
        default:
            return RenderEnd::Abnormal;
    }
}

class WebEngineBrowser final : public BrowserApi {
  public:
    WebEngineBrowser(QWidget* parent, const BrowserCallbacks& callbacks) : callbacks_(callbacks) {
        view_ = new QWebEngineView(parent);
        profile_ = new QWebEngineProfile(view_);  // no storage name: off the record
        policy_ = new LocalPagePolicy(profile_);
        profile_->setUrlRequestInterceptor(policy_);
        QWebEngineSettings* settings = profile_->settings();
        settings->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
        settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
        settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
        settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
        settings->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
        auto* page = new LocalPage(profile_, policy_, &callbacks_, view_);
        view_->setPage(page);

        // The history is reported after every change, as the back and forward buttons need.
        const auto report = [this, page] {
            if (callbacks_.historyChanged) {
                callbacks_.historyChanged(page->history()->canGoBack(), page->history()->canGoForward());
            }
        };
        QObject::connect(page, &QWebEnginePage::urlChanged, view_, report);
        QObject::connect(page, &QWebEnginePage::loadFinished, view_, [this, report](bool ok) {
            report();
            if (callbacks_.loadFinished) {
                callbacks_.loadFinished(ok);
            }
        });
        QObject::connect(page, &QWebEnginePage::loadStarted, view_, [this] {
            if (callbacks_.loadStarted) {
                callbacks_.loadStarted();
            }
        });
        QObject::connect(page, &QWebEnginePage::linkHovered, view_, [this](const QString& url) {
            if (callbacks_.linkHovered) {
                callbacks_.linkHovered(url);
            }
        });
        // A dead renderer takes only its page with it; loading again starts a new one.
        QObject::connect(page, &QWebEnginePage::renderProcessTerminated, view_,
                         [this](QWebEnginePage::RenderProcessTerminationStatus status, int exitCode) {
                             if (status != QWebEnginePage::NormalTerminationStatus && callbacks_.renderProcessEnded) {
                                 callbacks_.renderProcessEnded(renderEnd(status), exitCode);
                             }
                         });
    }

    ~WebEngineBrowser() override {
        // The page must go before its profile, which the view owns.
        delete view_->page();
        delete view_;
    }

    QWidget* widget() override { return view_; }

    void navigate(const QString& path) override {
        const QString page = QFileInfo(path).absoluteFilePath();
        policy_->setRoot(QFileInfo(page).absolutePath());
        view_->load(QUrl::fromLocalFile(page));
    }
    void back() override { view_->back(); }
    void forward() override { view_->forward(); }
    void stop() override { view_->stop(); }
    void reload() override { view_->reload(); }
    void findText(const QString& text) override { view_->findText(text); }
    QString title() const override { return view_->title(); }

  private:
    BrowserCallbacks callbacks_;
    QWebEngineView* view_;
    QWebEngineProfile* profile_;
    LocalPagePolicy* policy_;
};

}  // namespace
}  // namespace tk

extern "C" __attribute__((visibility("default"))) int tk_browser_interface() {
    return tk::kBrowserInterface;
}

extern "C" __attribute__((visibility("default"))) tk::BrowserApi* tk_create_browser(
    QWidget* parent, const tk::BrowserCallbacks* callbacks) {
    return new tk::WebEngineBrowser(parent, *callbacks);
}
