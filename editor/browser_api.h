#pragma once

#include <QString>
#include <QUrl>

#include <functional>

class QWidget;

namespace tk {

// How a page's render process ended when it did not end normally.
enum class RenderEnd { Abnormal, Crashed, Killed };

// What the browser reports to the web view.
struct BrowserCallbacks {
    std::function<void(bool canGoBack, bool canGoForward)> historyChanged;
    std::function<void()> loadStarted;
    std::function<void(bool ok)> loadFinished;
    std::function<void(const QString& url)> linkHovered;
    // A link to another site was followed: true to open it in the desktop's browser.
    std::function<bool(const QUrl& url)> askExternal;
    // The page's render process ended abnormally; the browser lives on and can load again.
    std::function<void(RenderEnd how, int exitCode)> renderProcessEnded;
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

// The entry points of the browser library. The interface number changes whenever the classes
// above change, so that a library left from another build is refused instead of called.
using CreateBrowserFn = BrowserApi* (*)(QWidget* parent, const BrowserCallbacks* callbacks);
using BrowserInterfaceFn = int (*)();
inline constexpr int kBrowserInterface = 2;
inline constexpr const char* kBrowserLibrary = "libtkbrowser.so";
inline constexpr const char* kCreateBrowser = "tk_create_browser";
inline constexpr const char* kBrowserInterfaceEntry = "tk_browser_interface";

// Creates a browser from the library in the program's folder once the web engine can start in
// this process; null with the reason in Korean in *error (what is wrong and what to do) otherwise.
BrowserApi* createBrowser(QWidget* parent, const BrowserCallbacks& callbacks, QString* error);
// The same from a given library file, without asking whether the engine can start.
BrowserApi* createBrowserFrom(const QString& libraryPath, QWidget* parent, const BrowserCallbacks& callbacks,
                              QString* error);

}  // namespace tk
