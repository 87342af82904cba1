#include "editor/browser_api.h"
#include "editor/web_engine_gate.h"

#include <QCoreApplication>
#include <QFile>
#include <QtGlobal>

#include <dlfcn.h>

namespace tk {

BrowserApi* createBrowserFrom(const QString& libraryPath, QWidget* parent, const BrowserCallbacks& callbacks,
                              QString* error) {
    // Never closed: the web engine cannot be unloaded while the process runs. Opening it again
    // returns the same handle.
    void* library = ::dlopen(QFile::encodeName(libraryPath).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        qWarning("%s", ::dlerror());
        *error = QStringLiteral("웹 보기 라이브러리(%1)를 불러올 수 없습니다. 프로그램을 다시 설치하십시오.")
                     .arg(libraryPath);
        return nullptr;
    }
    auto version = reinterpret_cast<BrowserInterfaceFn>(::dlsym(library, kBrowserInterfaceEntry));
    auto create = reinterpret_cast<CreateBrowserFn>(::dlsym(library, kCreateBrowser));
    if (!version || !create || version() != kBrowserInterface) {
        *error = QStringLiteral("웹 보기 라이브러리(%1)가 이 프로그램과 맞지 않습니다. 프로그램을 다시 설치하십시오.")
                     .arg(libraryPath);
        return nullptr;
    }
    return create(parent, &callbacks);
}

BrowserApi* createBrowser(QWidget* parent, const BrowserCallbacks& callbacks, QString* error) {
    const WebEngineVerdict verdict = decideWebEngine(WebEngineStart::current());
    if (!verdict.canStart()) {
        *error = verdict.reason;
        return nullptr;
    }
    const QString path = QCoreApplication::applicationDirPath() + u'/' + QLatin1String(kBrowserLibrary);
    return createBrowserFrom(path, parent, callbacks, error);
}

}  // namespace tk
