#pragma once

#include <QString>
#include <QUrl>

#include <functional>

class QWidget;

namespace tk {

// What the browser reports to the web view.
struct BrowserCallbacks {
    std::function<void(bool canGoBack, bool canGoForward)> historyChanged;
    std::function<void()> loadStarted;
    std::function<void(bool ok)> loadFinished;
    std::function<void(const QString& url)> linkHovered;
    // A link to another site was followed: true to open it in the desktop's browser.
    std::function<bool(const QUrl& url)> askExternal;
};

// The browser behind the web view. It lives in a library of its own, loaded the first time a page
// is shown, so that start-up and memory do not pay for the web engine. Only plain virtual calls
// and callbacks cross the boundary.
class BrowserApi {
  public:
    virtual ~BrowserApi() = default;
    virtual QWidget* widget() = 0;
    virtual void navigate(const QString& path) = 0;
    virtual void back() = 0;
    virtual void forward() = 0;
    virtual void stop() = 0;
    virtual void reload() = 0;
    virtual void findText(const QString& text) = 0;
    virtual QString title() const = 0;
};

// The entry point of the browser library.
using CreateBrowserFn = BrowserApi* (*)(QWidget* parent, const BrowserCallbacks* callbacks);
inline constexpr const char* kBrowserLibrary = "libtkbrowser.so";
inline constexpr const char* kCreateBrowser = "tk_create_browser";

// Loads the browser library from the program's folder and creates a browser; null with a reason
// in *error when the library or its entry point is missing.
BrowserApi* createBrowser(QWidget* parent, const BrowserCallbacks& callbacks, QString* error);

}  // namespace tk
