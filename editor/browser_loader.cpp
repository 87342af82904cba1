#include "editor/browser_api.h"

#include <QCoreApplication>
#include <QFile>

#include <dlfcn.h>

namespace tk {

BrowserApi* createBrowser(QWidget* parent, const BrowserCallbacks& callbacks, QString* error) {
    // Loaded once and kept: the web engine cannot be unloaded while the process runs.
    static void* library = nullptr;
    if (!library) {
        const QString path = QCoreApplication::applicationDirPath() + u'/' + QLatin1String(kBrowserLibrary);
        library = ::dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
        if (!library) {
            *error = QString::fromLocal8Bit(::dlerror());
            return nullptr;
        }
    }
    auto create = reinterpret_cast<CreateBrowserFn>(::dlsym(library, kCreateBrowser));
    if (!create) {
        *error = QStringLiteral("%1 has no %2").arg(QLatin1String(kBrowserLibrary), QLatin1String(kCreateBrowser));
        return nullptr;
    }
    return create(parent, &callbacks);
}

}  // namespace tk
